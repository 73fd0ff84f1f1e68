#pragma once

// The firmware images the program carries, and their list. A folder (the program's resources
// under ":/firmware" by default) holds the list "LIST", three lines "VER=REV 07.505.030",
// "AT=<image>" and "M=<image>": the carried version and the Intel HEX images for units with the
// AT45DB161D and the M45PE16 flash chip, each a file of that name in the same folder.

#include <QMap>
#include <QString>
#include <QStringList>

class TCarriedFirmware
{
public:
    static QString DefaultFolder();

    // Reads the list; a folder without one carries no firmware.
    explicit TCarriedFirmware(const QString &folder = DefaultFolder());

    bool Listed() const { return listed; }
    QString Version() const { return values.value(QStringLiteral("VER")); }
    // The image for a unit's memory-chip text: the "M" image when it holds an "M", else the "AT"
    // one; "" for a unit whose chip is not known.
    QString ImageName(const QString &memory) const;
    // The image's lines; EConvertError when it cannot be read.
    QStringList ImageLines(const QString &memory) const;

private:
    QString folder;
    bool listed = false;
    QMap<QString, QString> values;
};

// A text file's lines without their line ends; EConvertError naming the file when it cannot be
// read.
QStringList ReadTextLines(const QString &path);
