#pragma once

// The settings file that carries one configuration to many units: cp1251 text with CR LF line
// ends, the marker line "CAN settings file", then one "key=value" line per key (the value is all
// that follows the first "="). Keys are looked up without regard to letter case.

#include <QByteArray>
#include <QString>
#include <QStringList>

class TSettingsFile
{
public:
    static const QString Marker;

    // A new file holding only the marker line.
    TSettingsFile();

    // The lines of a file's bytes; false (and no lines) when the file is empty or its first line
    // is not exactly the marker.
    bool Parse(const QByteArray &bytes);
    QByteArray Encode() const;

    void Add(const QString &key, const QString &value);
    // The value of the first line whose key matches; "" when there is none.
    QString Value(const QString &key) const;
    bool Has(const QString &key) const;
    const QStringList &Lines() const { return lines; }

private:
    int IndexOf(const QString &key) const;

    QStringList lines;
};
