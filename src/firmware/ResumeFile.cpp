#include "firmware/ResumeFile.h"

#include <QFile>

#include <utility>

namespace {

const char *const kFileName = "~fw.tmp";
constexpr int kBlockBytes = 128;
constexpr qsizetype kBlockText = 4 + 1 + 2 * kBlockBytes + 1 + 2;

// Line `index` of the file as the block it must be.
TBlock CheckedBlock(const QString &line, int index)
{
    const auto fault = [index](const QString &what) {
        return EConvertError(QStringLiteral("~fw.tmp, line %1: %2").arg(index + 1).arg(what));
    };
    if (line.size() != kBlockText || line[4] != QLatin1Char(':') ||
        line[kBlockText - 3] != QLatin1Char(':'))
        throw fault(QStringLiteral("not an upload block"));
    if (line.left(4) != IntToHex(qint64(index) * 8, 4))
        throw fault(QStringLiteral("the block position %1 is out of sequence").arg(line.left(4)));
    for (const QChar c : line.mid(5, 2 * kBlockBytes) + line.right(2)) {
        if (HexDigitValue(c) < 0)
            throw fault(QStringLiteral("'%1' is not a hex digit").arg(c));
    }
    const int check = HexDigitValue(line[kBlockText - 2]) * 16 + HexDigitValue(line.back());
    if (HexXorSum(line.mid(5, 2 * kBlockBytes)) != check)
        throw fault(QStringLiteral("wrong check byte"));
    return TBlock{line, check};
}

} // namespace

TResumeFile::TResumeFile() : FilePath(ProgramFilePath(QLatin1String(kFileName))) {}

TResumeFile::TResumeFile(QString path) : FilePath(std::move(path)) {}

bool TResumeFile::Exists() const
{
    return QFile::exists(FilePath);
}

void TResumeFile::Write(const TBlockList &blocks) const
{
    QByteArray text;
    text.reserve(blocks.size() * (kBlockText + 2));
    for (const TBlock &block : blocks)
        text += block.line.toLatin1() + "\r\n";
    QString error;
    if (!SaveWholeFile(FilePath, text, false, error))
        throw EConvertError(QStringLiteral("Не удалось записать файл %1: %2").arg(FilePath, error));
}

TBlockList TResumeFile::Read() const
{
    QFile file(FilePath);
    if (!file.open(QIODevice::ReadOnly))
        throw EConvertError(
            QStringLiteral("Не удалось прочитать файл %1: %2").arg(FilePath, file.errorString()));
    const QList<QByteArray> lines = file.readAll().split('\n');
    TBlockList blocks;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromLatin1(lines[i]).remove(QLatin1Char('\r'));
        if (line.isEmpty() && i == lines.size() - 1)
            break; // the last line's end
        blocks.append(CheckedBlock(line, int(i)));
    }
    if (blocks.isEmpty())
        throw EConvertError(QStringLiteral("~fw.tmp: no blocks"));
    return blocks;
}

void TResumeFile::Remove() const
{
    QFile::remove(FilePath);
}
