#include "firmware/CarriedFirmware.h"

#include "settings/Delphi.h"

#include <QDir>
#include <QFile>

QString TCarriedFirmware::DefaultFolder()
{
    return QStringLiteral(":/firmware");
}

TCarriedFirmware::TCarriedFirmware(const QString &folder) : folder(folder)
{
    const QString list = QDir(folder).filePath(QStringLiteral("LIST"));
    if (!QFile::exists(list))
        return;
    listed = true;
    for (const QString &line : ReadTextLines(list)) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            values.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
}

QString TCarriedFirmware::ImageName(const QString &memory) const
{
    if (memory.isEmpty())
        return {};
    return values.value(memory.contains(QLatin1Char('M')) ? QStringLiteral("M")
                                                          : QStringLiteral("AT"));
}

QStringList TCarriedFirmware::ImageLines(const QString &memory) const
{
    const QString name = ImageName(memory);
    if (name.isEmpty())
        throw EConvertError(
            QStringLiteral("no carried image for the memory chip \"%1\"").arg(memory));
    return ReadTextLines(QDir(folder).filePath(name));
}

QStringList ReadTextLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EConvertError(
            QStringLiteral("Не удалось прочитать файл %1: %2").arg(path, file.errorString()));
    QStringList lines = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}
