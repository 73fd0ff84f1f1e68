#pragma once

// The main window's settings file: what the General, GPRS, Events, CAN and Engineering-numbers
// pages show, saved to a file and loaded back into the pages. Nothing is sent to the unit; the
// user writes the pages afterwards. Controls are found by their object names on their pages.

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;
class TSettingsFile;

class TMainSettingsFile
{
public:
    // The page frame with the given Tag, or null.
    std::function<QWidget *(int Tag)> Frame;
    // Runs the Events page's mode handler after the mode was loaded.
    std::function<void()> ModeComboChange;
    // The value saved for row `Row` (from 1) of the value list `List` while the row shows a
    // result marker, which is never saved itself.
    std::function<QString(const QString &List, int Row)> ValueBehindMarker;

    // The file of what the pages show now.
    TSettingsFile Collect() const;

    // One line for every value of `File` that cannot stand in one line of the file: the field's
    // caption, its key and the characters that keep it out, control characters by name. Such a
    // file must not be written (Windows-1251, the file's code page, would hold "?" for some
    // characters; a line break would cut the value) nor loaded (a control character would split
    // the value's command to the unit).
    QStringList FieldsNotCarriedInOneLine(const TSettingsFile &File) const;

    // Applies a parsed file page by page. Throws EConvertError when an index key is missing or not
    // a number: the keys before it stay applied, the later ones are not.
    void Apply(const TSettingsFile &File) const;

    struct TKey;

private:
    QWidget *Control(const TKey &Key) const;
    QString Read(const TKey &Key) const;
    QString Caption(const TKey &Key) const;
    void Write(const TKey &Key, const QString &Value) const;
    void ApplyKey(const TSettingsFile &File, const TKey &Key) const;
    void ApplyPage(const TSettingsFile &File, int Page) const;
};
