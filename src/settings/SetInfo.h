#pragma once

// Caption and default tables of the pages and the main window.
//
// A TSetInfo table binds (component name, property) to a stored value name and a default text;
// LoadSetInfoTable / SaveSetInfoTable (settings/SetInfoLoader.h) apply a whole table to a frame.
// A caption pair table is a list of (value name, default text) whose binding to controls is fixed
// in the owner's code.

#include <QStringList>
#include <QtGlobal>

#include <span>

enum class TSetInfoKind : quint8
{
    CheckBoxCaption = 0,   // QCheckBox text
    GroupBoxCaption = 1,   // QGroupBox title
    LabelCaption = 2,      // QLabel text
    RadioGroupCaption = 3, // TRadioGroup title
    RadioButtonCaption = 4,
    ButtonCaption = 5,      // QAbstractButton text
    EditText = 6,           // QLineEdit text, "#" stored for the decimal separator
    CheckBoxChecked = 7,    // "-1" ticked, "0" clear
    RadioButtonChecked = 8, // as CheckBoxChecked
    ComboItems = 10,        // one item per line
    RadioGroupItems = 11,   // one item per line
    ValueListTitles = 12,   // two lines: key title, value title
    ValueListRows = 13,     // lines "key=value"
    ComboIndex = 14,        // decimal integer
    RadioGroupIndex = 15,   // decimal integer
    TabSheetCaption = 16,   // tab text of a page of a QTabWidget
};

struct TSetInfo
{
    const char *CompName; // objectName of the control, exact
    TSetInfoKind Kind;
    const char *Ident;    // value name in the owner's section
    const char *DefValue; // default text, UTF-8
};

using TSetInfoTable = std::span<const TSetInfo>;

struct TCaptionPair
{
    const char *Ident;
    const char *Default; // UTF-8
};

using TCaptionPairTable = std::span<const TCaptionPair>;

class TSettingsRW;

// The texts of a caption pair table in table order: the stored text, or the default.
QStringList LoadCaptionPairs(const TSettingsRW &Settings, const QString &Section,
                             TCaptionPairTable Pairs);
// Writes every pair back as it is stored (or its default), so the store always holds a complete,
// editable set; the texts shown on the controls are not read back.
void SaveCaptionPairs(TSettingsRW &Settings, const QString &Section, TCaptionPairTable Pairs);

// Stored check states: "-1"/"0"; any other non-zero number or "True" reads as ticked, "False" as
// clear. Returns false for text that is neither.
bool TryStoredTextToBool(const QString &Text, bool &Value);
QString BoolToStoredText(bool Value);
