#pragma once

// Applies a caption and default table to the controls of a frame (by objectName) and writes the
// same properties back at exit.
//
// Loading a check state, radio button, radio group index or edit text notifies like a user's
// action would (toggled, TRadioGroup::Click, textChanged); a combo box index does not (pages react
// to QComboBox::activated for the user's choice). A stored text that does not convert for its
// kind counts as absent and the row's default applies. A row naming a control of another class
// than its kind expects throws ESettingsError; a row naming no control does nothing.

#include "settings/SetInfo.h"

#include <QString>

class QTableWidget;
class QWidget;
class TSettingsRW;

void LoadSetInfoTable(QWidget *Owner, const TSettingsRW &Settings, const QString &Section,
                      TSetInfoTable Table);
void SaveSetInfoTable(QWidget *Owner, TSettingsRW &Settings, const QString &Section,
                      TSetInfoTable Table);

// Item list texts: split at CR LF, CR or LF (a final line break adds no item); joined with a
// CR LF after every item.
QStringList SplitStoredLines(const QString &Text);
QString JoinStoredLines(const QStringList &Lines);

// A value list's rows from "key=value" lines (a line without "=" is a key with no value).
void SetValueListRows(QTableWidget *Table, const QStringList &Lines);
