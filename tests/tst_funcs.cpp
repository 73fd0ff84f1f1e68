#include "settings/funcs.h"

#include "Version.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// One Intel HEX record with its checksum, upper-case digits.
QString record(int type, quint16 address, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    quint8 sum = 0;
    for (const char b : std::as_const(bytes))
        sum += quint8(b);
    bytes.append(char(quint8(0x100 - sum)));
    return QLatin1Char(':') + QString::fromLatin1(bytes.toHex().toUpper());
}

// Data bytes that differ from block to block, so a shifted or lost record shows.
QByteArray imageData(int size)
{
    QByteArray data;
    for (int i = 0; i < size; ++i)
        data.append(char((i * 7 + i / 128 * 13 + 1) & 0xFF));
    return data;
}

// The data as consecutive data records of `recordSize` bytes from `start`, running from FFFF
// into 0000 without extended records, as the carried images do.
QStringList imageLines(const QByteArray &data, int recordSize, quint16 start = 0)
{
    QStringList lines;
    quint16 address = start;
    for (qsizetype pos = 0; pos < data.size(); pos += recordSize) {
        const QByteArray chunk = data.mid(pos, recordSize);
        lines.append(record(0, address, chunk));
        address = quint16(address + chunk.size());
    }
    return lines;
}

// The block the boot loader expects for 128 data bytes at `offset`.
QString expectedBlockLine(const QByteArray &bytes, int offset)
{
    quint8 check = 0;
    for (const char b : bytes)
        check ^= quint8(b);
    return IntToHex(offset / 16, 4) + QLatin1Char(':') +
           QString::fromLatin1(bytes.toHex().toUpper()) + QLatin1Char(':') + IntToHex(check, 2);
}

int refusedLine(const QStringList &lines)
{
    try {
        CheckHexImage(lines);
    } catch (const EHexImageError &e) {
        if (!e.message().contains(QStringLiteral("line %1").arg(e.line())))
            return -2;
        return e.line();
    }
    return 0;
}

} // namespace

class TestFuncs : public QObject
{
    Q_OBJECT
private slots:
    void minutesAndSeconds()
    {
        QCOMPARE(MsToMinSec(59999), QStringLiteral("0 мин. 59 сек."));
        QCOMPARE(MsToMinSec(3600000), QStringLiteral("60 мин. 0 сек."));
        QCOMPARE(MsToMinSec(0), QStringLiteral("0 мин. 0 сек."));
        QCOMPARE(MsToMinSec(0xFFFFFFFFu), QStringLiteral("71582 мин. 47 сек."));
    }

    void parseAndPrintVersions()
    {
        const TFwVersion v = ParseVersion(QStringLiteral("REV 07.505.030"));
        QCOMPARE(v.Name, QStringLiteral("REV"));
        QCOMPARE(v.Sep, QLatin1Char(' '));
        QCOMPARE(int(v.Major), 7);
        QCOMPARE(int(v.Minor), 505);
        QCOMPARE(int(v.Build), 30);
        QCOMPARE(v.Rest, QString());
        QCOMPARE(VersionToStr(v), QStringLiteral("REV 07.505.030"));
        const TFwVersion beta = ParseVersion(QStringLiteral("REV 08.504.117 beta"));
        QCOMPARE(beta.Rest, QStringLiteral(" beta"));
        QCOMPARE(VersionToStr(beta), QStringLiteral("REV 08.504.117 beta"));

        for (const char *bad :
             {"", "REV", "REV 7.505.030", "REV 07.50", "REV 07.505.03", "garbage text here"})
            QVERIFY_THROWS_EXCEPTION(EConvertError, ParseVersion(QString::fromLatin1(bad)));
    }

    void olderVersions()
    {
        auto older = [](const char *device, const char *image) {
            return IsVersionOlder(ParseVersion(QString::fromLatin1(device)),
                                  ParseVersion(QString::fromLatin1(image)));
        };
        QVERIFY(older("REV 07.505.017", "REV 07.505.030"));
        QVERIFY(!older("REV 07.505.031", "REV 07.505.030"));
        QVERIFY(!older("REV 07.505.030", "REV 07.505.030"));
        QVERIFY(older("REV 07.504.041", "REV 07.505.030"));
        QVERIFY(older("REV 06.999.999", "REV 07.000.000"));
        // a newer major is not older because its build number is lower
        QVERIFY(!older("REV 08.505.017", "REV 07.505.030"));
        QVERIFY(!older("REV 07.506.001", "REV 07.505.030"));
        // image builds above 700
        QVERIFY(!older("REV 07.505.702", "REV 07.505.701"));
        QVERIFY(older("REV 07.505.703", "REV 07.505.701"));
        QVERIFY(!older("REV 06.505.030", "REV 07.505.701"));
    }

    void bitStrings()
    {
        QCOMPARE(IntToBin(5, 8), QStringLiteral("00000101"));
        QCOMPARE(IntToBin(0, 8), QStringLiteral("00000000"));
        QCOMPARE(IntToBin(255, 4), QStringLiteral("11111111"));
        QCOMPARE(IntToBin(0, 0), QStringLiteral("0"));
    }

    void fileVersionOnlyForTheProgramItself()
    {
        // The version comes from the build and has four numbers.
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$"))
                    .match(QStringLiteral(W9CAN_VERSION))
                    .hasMatch());
        const QString self = QCoreApplication::applicationFilePath();
        QCOMPARE(GetFileVersion(self), QStringLiteral(W9CAN_VERSION));
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString link = dir.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(self, link));
        QCOMPARE(GetFileVersion(link), QStringLiteral(W9CAN_VERSION));
        QFile other(dir.filePath(QStringLiteral("other.exe")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        QCOMPARE(GetFileVersion(other.fileName()), QString());
        QCOMPARE(GetFileVersion(dir.filePath(QStringLiteral("missing"))), QString());
        QCOMPARE(GetFileVersion(QString()), QString());
    }

    void controlCharactersAndClipboard()
    {
        QCOMPARE(RemoveCtrlChars(QStringLiteral("a\r\nb\x01\x7F c\tд")), QStringLiteral("ab cд"));
        QCOMPARE(RemoveCtrlChars(QString()), QString());
        CopyTextToClipboard(QStringLiteral("Журнал\r\nстрока"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Журнал\r\nстрока"));
    }

    void regularExpressions()
    {
        QCOMPARE(RegExMatch(QStringLiteral("a\r\nb"), QStringLiteral("a.+b")),
                 QStringLiteral("a\r\nb"));
        QCOMPARE(RegExMatch(QStringLiteral("ABC"), QStringLiteral("abc")), QString());
        QCOMPARE(RegExMatch(QStringLiteral("x12y34"), QStringLiteral("[0-9]+")),
                 QStringLiteral("12"));
        QCOMPARE(RegExMatch(QStringLiteral("12\n34"), QStringLiteral("^\\d+$")), QString());
        QCOMPARE(RegExMatch(QStringLiteral(">1A\r\nOK"), QStringLiteral(">.*OK")),
                 QStringLiteral(">1A\r\nOK"));
        QVERIFY_THROWS_EXCEPTION(EConvertError,
                                 RegExMatch(QStringLiteral("x"), QStringLiteral("(")));
    }

    void numbersFromReplies()
    {
        QCOMPARE(ExtractNum3Dot(QStringLiteral("REV 07.505.017")), 505);
        QCOMPARE(ExtractNum3Dot(QStringLiteral("+v\r\nREV 07.504.041\r\nOK\r\n")), 504);
        QCOMPARE(ExtractNum3Dot(QStringLiteral("5051")), 5051);
        QCOMPARE(ExtractNum3Dot(QStringLiteral("REV 07.50")), 0);
        QCOMPARE(ExtractNum3Dot(QString()), 0);
        QVERIFY_THROWS_EXCEPTION(EConvertError, ExtractNum3Dot(QStringLiteral("505X")));
        QVERIFY_THROWS_EXCEPTION(EConvertError, ExtractNum3Dot(QStringLiteral("505\r")));

        QCOMPARE(ExtractNum3Crlf(QStringLiteral("REV 07.505.017\r\n")), 17);
        QCOMPARE(ExtractNum3Crlf(QStringLiteral("REV 07.505.017")), 0);
        QCOMPARE(ExtractNum3Crlf(QStringLiteral("REV 07.505.017\n")), 0);
        QCOMPARE(ExtractNum3Crlf(QStringLiteral("abc123\r\nxyz456\r\n")), 123);
    }

    void hexXorSum()
    {
        QCOMPARE(int(HexXorSum(QStringLiteral("0102"))), 3);
        QCOMPARE(int(HexXorSum(QStringLiteral("ff"))), 255);
        QCOMPARE(int(HexXorSum(QStringLiteral("A"))), 10);
        QCOMPARE(int(HexXorSum(QStringLiteral("01020"))), 3);
        QCOMPARE(int(HexXorSum(QStringLiteral("FFFF"))), 0);
        QVERIFY_THROWS_EXCEPTION(EConvertError, HexXorSum(QString()));
        QVERIFY_THROWS_EXCEPTION(EConvertError, HexXorSum(QStringLiteral("0G")));
        QVERIFY_THROWS_EXCEPTION(EConvertError, HexXorSum(QStringLiteral("01 2")));
    }

    void blocksOfACarriedShapedImage()
    {
        // 64 records of 16 bytes from FE00: the address runs from FFFF into 0000 half-way.
        const QByteArray data = imageData(64 * 16);
        const QStringList lines = imageLines(data, 16, 0xFE00);
        QCOMPARE(lines.size(), 64);
        QVERIFY(lines[32].startsWith(QStringLiteral(":100000")));
        const TBlockList blocks = HexToBlocks(lines);
        QCOMPARE(blocks.size(), 8);
        QStringList positions;
        for (int b = 0; b < blocks.size(); ++b) {
            const QByteArray bytes = data.mid(b * 128, 128);
            QCOMPARE(blocks[b].line, expectedBlockLine(bytes, b * 128));
            QCOMPARE(blocks[b].line.size(), 264);
            QCOMPARE(blocks[b].check, int(HexXorSum(QString::fromLatin1(bytes.toHex()))));
            positions << blocks[b].line.left(4);
        }
        QCOMPARE(positions,
                 QStringList({"0000", "0008", "0010", "0018", "0020", "0028", "0030", "0038"}));
        QCOMPARE(BlockLines(blocks).size(), 8);

        // the checked conversion agrees on such a file
        QCOMPARE(HexImageToBlocks(lines), blocks);

        // signature: XOR of check bytes 0,4 / 1,5 / 2,6 / 3,7
        QString expected;
        for (int k = 0; k < 4; ++k)
            expected += IntToHex(blocks[k].check ^ blocks[k + 4].check, 2);
        QCOMPARE(HexLinesSignature(BlockLines(blocks)), expected);
    }

    void blocksDropWhatDoesNotFill()
    {
        const QByteArray data = imageData(16 * 16);
        QCOMPARE(HexToBlocks(imageLines(data.left(8 * 16), 16)).size(), 1);
        QCOMPARE(HexToBlocks(imageLines(data.left(15 * 16), 16)).size(), 1);
        const TBlockList two = HexToBlocks(imageLines(data, 16));
        QCOMPARE(two.size(), 2);
        QCOMPARE(two[1].line.left(4), QStringLiteral("0008"));
        QVERIFY(HexToBlocks({}).isEmpty());
        // a short record makes the collected text skip past a block: nothing more comes
        QStringList lines = imageLines(data, 16);
        lines.insert(1, record(0, 0x0010, QByteArray(4, '\0')));
        QCOMPARE(HexToBlocks(lines).size(), 0);
    }

    void signatureOfFewAndOfFiveLines()
    {
        QCOMPARE(HexLinesSignature({"0000:AB", "0008:CD", "0010:EF"}), QStringLiteral("00000000"));
        QCOMPARE(HexLinesSignature({"x:12", "x:34", "x:56", "x:78", "x:0F"}),
                 QStringLiteral("1D345678"));
        QVERIFY_THROWS_EXCEPTION(EConvertError,
                                 HexLinesSignature({"x:12", "x:34", "x:56", "x:7Z"}));
    }

    void otherRecordLengthsGiveTheSameBlocks()
    {
        const QByteArray data = imageData(4 * 128);
        const TBlockList reference = HexImageToBlocks(imageLines(data, 16));
        QCOMPARE(reference.size(), 4);
        QCOMPARE(HexImageToBlocks(imageLines(data, 32)), reference);
        QCOMPARE(HexImageToBlocks(imageLines(data, 255)), reference);
        // the unchecked routine loses data on such a file
        QVERIFY(HexToBlocks(imageLines(data, 32)) != reference);

        // lower case, CR LF line ends, extended and start-address records, end record, blank tail
        QStringList lines = imageLines(data, 32, 0xFF00);
        for (QString &line : lines)
            line = line.toLower() + QLatin1Char('\r');
        lines.prepend(record(4, 0, QByteArray::fromHex("0003")));
        lines.insert(9, record(4, 0, QByteArray::fromHex("0004"))); // at 0x40000
        lines.insert(1, record(5, 0, QByteArray::fromHex("00000000")));
        lines.insert(1, record(3, 0, QByteArray::fromHex("12345678")));
        lines << record(1, 0, {}) << QString() << QString();
        QCOMPARE(HexImageToBlocks(lines), reference);

        // a segment address record that continues the data
        QStringList segmented = imageLines(data, 16, 0xFF80);
        segmented.insert(8, record(2, 0, QByteArray::fromHex("1000")));
        QCOMPARE(HexImageToBlocks(segmented), reference);
    }

    void malformedImagesAreRefusedWithTheirLine()
    {
        const QByteArray data = imageData(2 * 128);
        const QStringList good = imageLines(data, 16);
        QCOMPARE(refusedLine(good), 0);

        QStringList lines = good;
        lines[4].replace(lines[4].size() - 2, 2, QStringLiteral("00"));
        QCOMPARE(refusedLine(lines), 5); // checksum

        lines = good;
        lines[2].remove(0, 1);
        QCOMPARE(refusedLine(lines), 3); // no colon

        lines = good;
        lines[6][12] = QLatin1Char('x');
        QCOMPARE(refusedLine(lines), 7); // not hex

        lines = good;
        lines[7].chop(2);
        QCOMPARE(refusedLine(lines), 8); // byte count does not match

        lines = good;
        lines.removeAt(3);
        lines.append(record(0, 0x0100, data.right(16)));
        QCOMPARE(refusedLine(lines), 4); // gap

        lines = good;
        lines.swapItemsAt(9, 10);
        QCOMPARE(refusedLine(lines), 10); // out of order

        lines = good;
        lines.insert(5, record(1, 0, {}));
        QCOMPARE(refusedLine(lines), 7); // data after the end record

        lines = good;
        lines.insert(5, QString());
        QCOMPARE(refusedLine(lines), 6); // blank line inside

        lines = good;
        lines.insert(5, record(4, 0, QByteArray::fromHex("0001")));
        QCOMPARE(refusedLine(lines), 6); // extended address jumps away

        lines = good;
        lines.insert(5, record(6, 0, QByteArray::fromHex("00")));
        QCOMPARE(refusedLine(lines), 6); // unknown type

        lines = good;
        lines.removeLast();
        QCOMPARE(refusedLine(lines), 15); // not whole blocks

        QCOMPARE(refusedLine(imageLines(data, 32, 0xFFF0)), 1); // runs past 64 KiB
        QCOMPARE(refusedLine({}), 1);
        QCOMPARE(refusedLine({record(1, 0, {})}), 1);
        QCOMPARE(refusedLine({QStringLiteral(" ") + good[0]}), 1);
        QVERIFY_THROWS_EXCEPTION(EHexImageError, HexImageToBlocks({good[0]}));
    }
};

QTEST_MAIN(TestFuncs)
#include "tst_funcs.moc"
