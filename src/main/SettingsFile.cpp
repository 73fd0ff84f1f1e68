#include "main/SettingsFile.h"

#include "settings/funcs.h"

const QString TSettingsFile::Marker = QStringLiteral("CAN settings file");

TSettingsFile::TSettingsFile() : lines{Marker} {}

bool TSettingsFile::Parse(const QByteArray &bytes)
{
    QStringList read = DecodeCp1251(bytes).split(QLatin1Char('\n'));
    for (QString &line : read) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    // The last line end closes the last line; it does not open another one.
    if (!read.isEmpty() && read.last().isEmpty())
        read.removeLast();
    if (read.isEmpty() || read.first() != Marker) {
        lines.clear();
        return false;
    }
    lines = read;
    return true;
}

QByteArray TSettingsFile::Encode() const
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += EncodeCp1251(line) + "\r\n";
    return bytes;
}

void TSettingsFile::Add(const QString &key, const QString &value)
{
    lines << key + QLatin1Char('=') + value;
}

int TSettingsFile::IndexOf(const QString &key) const
{
    for (int i = 1; i < lines.size(); ++i) {
        const int eq = lines[i].indexOf(QLatin1Char('='));
        if (eq >= 0 && QStringView(lines[i]).left(eq).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString TSettingsFile::Value(const QString &key) const
{
    const int i = IndexOf(key);
    return i < 0 ? QString() : lines[i].mid(lines[i].indexOf(QLatin1Char('=')) + 1);
}

bool TSettingsFile::Has(const QString &key) const
{
    return IndexOf(key) >= 0;
}
