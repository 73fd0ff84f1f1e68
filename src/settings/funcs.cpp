#include "settings/funcs.h"

#include "Version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <optional>
#include <tuple>

#include <fcntl.h>
#include <unistd.h>

// ---- time and versions ---------------------------------------------------------------------

QString MsToMinSec(quint32 ms)
{
    const quint32 s = ms / 1000;
    return Format(QStringLiteral("%d мин. %d сек."), {s / 60, s % 60});
}

TFwVersion ParseVersion(const QString &s)
{
    TFwVersion v;
    v.Name = s.left(3);
    v.Sep = s.size() >= 4 ? s[3] : QChar();
    v.Major = quint8(StrToInt(
        RegExMatch(RegExMatch(s, QStringLiteral(" [0-9]{2}")), QStringLiteral("[0-9]{2}"))));
    v.Minor = quint16(StrToInt(
        RegExMatch(RegExMatch(s, QStringLiteral(".[0-9]{3}.")), QStringLiteral("[0-9]{3}"))));
    v.Build = quint16(StrToInt(RegExMatch(s.mid(11), QStringLiteral("[0-9]{3}"))));
    v.Rest = s.mid(14, 250);
    return v;
}

QString VersionToStr(const TFwVersion &v)
{
    const QString sep = v.Sep.isNull() ? QString() : QString(v.Sep);
    return Format(QStringLiteral("%s%s%.2d.%.3d.%.3d%s"),
                  {v.Name, sep, int(v.Major), int(v.Minor), int(v.Build), v.Rest});
}

bool IsVersionOlder(const TFwVersion &device, const TFwVersion &image)
{
    bool older = std::tie(device.Major, device.Minor, device.Build) <
                 std::tie(image.Major, image.Minor, image.Build);
    if (image.Build > 700)
        older = device.Build >= 703;
    return older;
}

QString IntToBin(int value, int digits)
{
    QString text = QString::number(quint32(value), 2);
    if (text.size() < digits)
        text.prepend(QString(digits - text.size(), QLatin1Char('0')));
    return text;
}

QString ProgramFilePath(const QString &fileName)
{
    const QString programDir = QCoreApplication::applicationDirPath();
    const QFileInfo dirInfo(programDir);
    if (!programDir.isEmpty() && dirInfo.isDir() && dirInfo.isWritable())
        return QDir(programDir).filePath(fileName);
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataDir);
    return QDir(dataDir).filePath(fileName);
}

QString GetFileVersion(const QString &fileName)
{
    if (fileName.isEmpty() || QCoreApplication::instance() == nullptr)
        return QString();
    const QString own = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QString given = QFileInfo(fileName).canonicalFilePath();
    if (given.isEmpty() || own.isEmpty() || given != own)
        return QString();
    return QStringLiteral(W9CAN_VERSION);
}

namespace {

// The length of the character at `i`: 2 for a surrogate pair, else 1.
qsizetype CharLength(const QString &text, qsizetype i)
{
    return text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
               ? 2
               : 1;
}

// Each character of the text in order, a surrogate pair as one.
QStringList CharsOf(const QString &text)
{
    QStringList chars;
    for (qsizetype i = 0; i < text.size(); i += CharLength(text, i))
        chars << text.mid(i, CharLength(text, i));
    return chars;
}

// A control character as a message names it: "TAB", "LF", "CR", else its code ("U+0001").
QString CtrlCharName(QChar c)
{
    switch (c.unicode()) {
    case '\t':
        return QStringLiteral("TAB");
    case '\n':
        return QStringLiteral("LF");
    case '\r':
        return QStringLiteral("CR");
    default:
        return QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    }
}

} // namespace

QString DecodeCp1251(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1251", QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

QByteArray EncodeCp1251(const QString &text)
{
    QStringEncoder encoder("windows-1251", QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    if (bytes.size() == text.size() && !bytes.contains('\x1A'))
        return bytes; // every character had a code (the usual case)
    bytes.clear();
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        // One character, a surrogate pair included, is one byte.
        const qsizetype length = CharLength(text, i);
        const QByteArray one = encoder.encode(QStringView(text).mid(i, length));
        const bool encoded = one.size() == 1 && (one.at(0) != '\x1A' || text.at(i) == QChar(0x1A));
        bytes += encoded ? one.at(0) : '?';
        i += length - 1;
    }
    return bytes;
}

bool CarriedByCp1251(const QString &text)
{
    return DecodeCp1251(EncodeCp1251(text)) == text;
}

bool IsCtrlChar(QChar c)
{
    return c.unicode() < 32 || c.unicode() == 127;
}

QString RemoveCtrlChars(const QString &s)
{
    QString result;
    result.reserve(s.size());
    for (const QChar c : s) {
        if (!IsCtrlChar(c))
            result += c;
    }
    return result;
}

bool CarriedInOneLine(const QString &text)
{
    return std::none_of(text.begin(), text.end(), IsCtrlChar) && CarriedByCp1251(text);
}

QStringList CharsNotCarriedInOneLine(const QString &text)
{
    QStringList named;
    for (const QString &one : CharsOf(text)) {
        const QString name = IsCtrlChar(one.front()) ? CtrlCharName(one.front())
                             : CarriedByCp1251(one)  ? QString()
                                                     : one;
        if (!name.isEmpty() && !named.contains(name))
            named << name;
    }
    return named;
}

void RunGuarded(const char *where, const std::function<void()> &body, TGuardPolicy policy,
                const TErrorReport &report) noexcept
{
    const auto treat = [&](const QString &text) {
        if (report)
            report(text);
        else if (policy == TGuardPolicy::Warn)
            qWarning("%s: %s", where, qPrintable(text));
    };
    try {
        try {
            body();
        } catch (const std::exception &error) {
            treat(QString::fromUtf8(error.what()));
        } catch (...) {
            treat(QStringLiteral("Неизвестная ошибка"));
        }
    } catch (...) {
        qWarning("%s: the error report itself failed", where);
    }
}

// ---- reply texts ---------------------------------------------------------------------------

QString RegExMatch(const QString &text, const QString &pattern)
{
    const QRegularExpression re(pattern, QRegularExpression::DotMatchesEverythingOption);
    if (!re.isValid())
        throw EConvertError(
            QStringLiteral("Invalid regular expression '%1': %2").arg(pattern, re.errorString()));
    const QRegularExpressionMatch match = re.match(text);
    return match.hasMatch() ? match.captured(0) : QString();
}

int ExtractNum3Dot(const QString &s)
{
    QString match = RegExMatch(s, QStringLiteral("\\d{3}."));
    if (match.isEmpty())
        return 0;
    match.remove(QLatin1Char('.'));
    return StrToInt(match);
}

int ExtractNum3Crlf(const QString &s)
{
    QString match = RegExMatch(s, QStringLiteral("\\d{3}\\x0D\\x0A"));
    if (match.isEmpty())
        return 0;
    match.remove(QLatin1Char('\r'));
    match.remove(QLatin1Char('\n'));
    return StrToInt(match);
}

// ---- hex images ----------------------------------------------------------------------------

namespace {

// One or two hex digits as a number; EConvertError otherwise.
int hexPairValue(const QString &digits)
{
    int value = 0;
    for (const QChar c : digits) {
        const int d = HexDigitValue(c);
        if (d < 0)
            throw EConvertError(QStringLiteral("'$%1' is not a valid integer value").arg(digits));
        value = value * 16 + d;
    }
    if (digits.isEmpty())
        throw EConvertError(QStringLiteral("'$' is not a valid integer value"));
    return value;
}

TBlock makeBlock(const QString &data, quint32 offset)
{
    const quint8 check = HexXorSum(data);
    const QString position = IntToHex(offset, 6).mid(1, 4);
    return TBlock{position + QLatin1Char(':') + data + QLatin1Char(':') + IntToHex(check, 2),
                  check};
}

constexpr int kBlockBytes = 128;
constexpr int kBlockDigits = 2 * kBlockBytes;
// A block's position is four hex digits of its offset / 16: past this the positions wrap to 0000.
constexpr qsizetype kMaxImageBytes = 0x10000 * 16;

} // namespace

quint8 HexXorSum(const QString &hex)
{
    int sum = hexPairValue(hex.left(2));
    for (qsizetype k = 2; k <= hex.size() / 2; ++k)
        sum ^= hexPairValue(hex.mid(2 * k - 2, 2));
    return quint8(sum);
}

TBlockList HexToBlocks(const QStringList &lines)
{
    TBlockList blocks;
    QString acc;
    quint32 offset = 0;
    for (const QString &line : lines) {
        acc += line.mid(9, 32);
        if (acc.size() == kBlockDigits) {
            blocks.append(makeBlock(acc, offset));
            acc.clear();
            offset += kBlockBytes;
        }
    }
    return blocks;
}

QStringList BlockLines(const TBlockList &blocks)
{
    QStringList lines;
    lines.reserve(blocks.size());
    for (const TBlock &block : blocks)
        lines.append(block.line);
    return lines;
}

QString HexLinesSignature(const QStringList &lines)
{
    if (lines.size() < 4)
        return QStringLiteral("00000000");
    int a[4] = {0, 0, 0, 0};
    for (qsizetype i = 0; i < lines.size(); ++i)
        a[i % 4] ^= hexPairValue(lines[i].right(2));
    return IntToHex(a[0], 2) + IntToHex(a[1], 2) + IntToHex(a[2], 2) + IntToHex(a[3], 2);
}

EHexImageError::EHexImageError(int line, const QString &what)
    : EConvertError(QStringLiteral("HEX file, line %1: %2").arg(line).arg(what)), line_(line)
{}

namespace {

struct THexRecord
{
    int type = 0;
    quint16 address = 0;
    QByteArray data;
};

// One line as a record, or an error naming the line.
THexRecord parseRecord(QString text, int lineNo)
{
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    if (!text.startsWith(QLatin1Char(':')))
        throw EHexImageError(lineNo, QStringLiteral("a record must start with ':'"));
    const qsizetype digits = text.size() - 1;
    if (digits < 10 || digits % 2 != 0)
        throw EHexImageError(lineNo, QStringLiteral("the record is too short or has an odd "
                                                    "number of hex digits"));
    QByteArray bytes;
    bytes.reserve(digits / 2);
    for (qsizetype i = 1; i < text.size(); i += 2) {
        const int hi = HexDigitValue(text[i]);
        const int lo = HexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0)
            throw EHexImageError(
                lineNo,
                QStringLiteral("'%1' is not a hex digit").arg(hi < 0 ? text[i] : text[i + 1]));
        bytes.append(char(hi * 16 + lo));
    }
    const int count = quint8(bytes[0]);
    if (bytes.size() != count + 5)
        throw EHexImageError(lineNo, QStringLiteral("the byte count %1 does not match the "
                                                    "record's length")
                                         .arg(count));
    quint8 sum = 0;
    for (const char b : std::as_const(bytes))
        sum += quint8(b);
    if (sum != 0)
        throw EHexImageError(lineNo, QStringLiteral("wrong checksum"));
    THexRecord record;
    record.address = quint16((quint8(bytes[1]) << 8) | quint8(bytes[2]));
    record.type = quint8(bytes[3]);
    record.data = bytes.mid(4, count);
    return record;
}

// The image's data bytes, checked as CheckHexImage describes.
QByteArray checkedImageData(const QStringList &lines)
{
    qsizetype end = lines.size();
    while (end > 0 && (lines[end - 1].isEmpty() || lines[end - 1] == QLatin1String("\r")))
        --end;
    QByteArray data;
    quint64 base = 0;                // from the last extended address record
    std::optional<quint64> expected; // linear address the next data byte must have
    int addressing = 0;              // type of the last extended address record, 0 before one
    bool ended = false;
    for (qsizetype i = 0; i < end; ++i) {
        const int lineNo = int(i + 1);
        if (ended)
            throw EHexImageError(lineNo, QStringLiteral("a record follows the end-of-file "
                                                        "record"));
        const THexRecord record = parseRecord(lines[i], lineNo);
        switch (record.type) {
        case 0x00: {
            if (record.data.isEmpty())
                break;
            // Images without extended address records (the carried ones) run from FFFF into
            // 0000 unmarked; once an image sets its bases, a record lies where its base says.
            if (addressing == 0 && expected && *expected - base == 0x10000 && record.address == 0)
                base += 0x10000;
            const quint64 address = base + record.address;
            if (expected && address != *expected)
                throw EHexImageError(
                    lineNo, QStringLiteral("address %1 does not continue the data (expected %2)")
                                .arg(IntToHex(qint64(address), 4), IntToHex(qint64(*expected), 4)));
            // A linear base addresses 4 GiB, and a record runs on into the next 64 KiB as
            // srec_cat writes them; a segment's addresses wrap within it.
            if (addressing != 0x04 && record.address + record.data.size() > 0x10000)
                throw EHexImageError(lineNo,
                                     QStringLiteral("the record runs past a 64 KiB boundary"));
            data += record.data;
            if (data.size() > kMaxImageBytes)
                throw EHexImageError(lineNo, QStringLiteral("the image is larger than %1 bytes "
                                                            "(%2 blocks), the most the unit's "
                                                            "block positions can address")
                                                 .arg(kMaxImageBytes)
                                                 .arg(kMaxImageBytes / kBlockBytes));
            expected = address + quint64(record.data.size());
            break;
        }
        case 0x01:
            ended = true;
            break;
        case 0x02:
        case 0x04: {
            if (record.data.size() != 2)
                throw EHexImageError(lineNo,
                                     QStringLiteral("an extended address record needs 2 bytes"));
            const quint64 value = (quint64(quint8(record.data[0])) << 8) | quint8(record.data[1]);
            // Tools write several in a row (objcopy: a segment of 0, then the linear base):
            // the next data record tells whether they continue the data.
            base = record.type == 0x02 ? value << 4 : value << 16;
            addressing = record.type;
            break;
        }
        case 0x03:
        case 0x05:
            break;
        default:
            throw EHexImageError(
                lineNo, QStringLiteral("unknown record type %1").arg(IntToHex(record.type, 2)));
        }
    }
    const int lastLine = int(std::max<qsizetype>(end, 1));
    if (data.isEmpty())
        throw EHexImageError(lastLine, QStringLiteral("the file holds no data"));
    if (data.size() % kBlockBytes != 0)
        throw EHexImageError(lastLine, QStringLiteral("the data (%1 bytes) is not a whole number "
                                                      "of %2-byte blocks")
                                           .arg(data.size())
                                           .arg(kBlockBytes));
    return data;
}

} // namespace

void CheckHexImage(const QStringList &lines)
{
    checkedImageData(lines);
}

TBlockList HexImageToBlocks(const QStringList &lines)
{
    const QByteArray data = checkedImageData(lines);
    TBlockList blocks;
    blocks.reserve(data.size() / kBlockBytes);
    for (qsizetype pos = 0; pos < data.size(); pos += kBlockBytes)
        blocks.append(
            makeBlock(QString::fromLatin1(data.mid(pos, kBlockBytes).toHex().toUpper()), pos));
    return blocks;
}

namespace {

bool WriteInPlace(const QString &path, const QByteArray &bytes, QString &error)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = qt_error_string(errno);
        return false;
    }
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        error = file.errorString();
        ::close(fd);
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

bool SaveWholeFile(const QString &path, const QByteArray &bytes, bool ownerOnly, QString &error)
{
    if (const QFileInfo target(path); target.exists() && !target.isFile())
        return WriteInPlace(path, bytes, error);
    QSaveFile file(path);
    // Unbuffered, so that a short write (a full disk) is seen here and not lost in a flush that
    // the commit would take for success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        error = file.errorString();
        return false;
    }
    if (ownerOnly)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size()) {
        error = qt_error_string(errno);
        file.cancelWriting();
        file.commit();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}
