#include "HexImages.h"
#include "settings/funcs.h"

#include "Version.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

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

// The data as srec_cat writes it from a binary file put at linear address `start`, in records of
// up to `recordSize` bytes; empty when srec_cat (package srecord) fails.
QStringList srecCatLines(const QByteArray &data, quint32 start, int recordSize)
{
    QTemporaryDir dir;
    QFile binary(dir.filePath(QStringLiteral("image.bin")));
    if (!binary.open(QIODevice::WriteOnly) || binary.write(data) != data.size())
        return {};
    binary.close();
    QProcess srecCat;
    srecCat.start(QStringLiteral("srec_cat"),
                  {binary.fileName(), QStringLiteral("-binary"), QStringLiteral("-offset"),
                   QString::number(start), QStringLiteral("-o"), QStringLiteral("-"),
                   QStringLiteral("-intel"), QStringLiteral("-obs=%1").arg(recordSize)});
    if (!srecCat.waitForFinished() || srecCat.exitStatus() != QProcess::NormalExit ||
        srecCat.exitCode() != 0)
        return {};
    return QString::fromLatin1(srecCat.readAllStandardOutput()).split(QLatin1Char('\n'));
}

} // namespace

class TestFuncs : public QObject
{
    Q_OBJECT
private slots:
    void versionsAndTextHelpers()
    {
        const TFwVersion beta = ParseVersion(QStringLiteral("REV 08.504.117 beta"));
        QCOMPARE(int(beta.Major) * 1000000 + int(beta.Minor) * 1000 + int(beta.Build), 8504117);
        QCOMPARE(VersionToStr(beta), QStringLiteral("REV 08.504.117 beta"));
        for (const char *bad :
             {"", "REV", "REV 7.505.030", "REV 07.50", "REV 07.505.03", "garbage text here"})
            QVERIFY_THROWS_EXCEPTION(EConvertError, ParseVersion(QString::fromLatin1(bad)));

        const struct
        {
            const char *device, *image;
            bool older;
        } cases[] = {
            {"07.505.017", "07.505.030", true},  {"07.505.030", "07.505.030", false},
            {"07.504.041", "07.505.030", true},  {"08.505.017", "07.505.030", false},
            {"07.506.001", "07.505.030", false}, {"07.505.702", "07.505.701", false},
            {"07.505.703", "07.505.701", true},  {"06.505.030", "07.505.701", false},
        };
        const QString rev = QStringLiteral("REV ");
        for (const auto &c : cases)
            QVERIFY2(IsVersionOlder(ParseVersion(rev + c.device), ParseVersion(rev + c.image)) ==
                         c.older,
                     c.device);

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

        // The corners of the small text and number helpers replies and the log go through.
        QCOMPARE(MsToMinSec(0xFFFFFFFFu), QStringLiteral("71582 мин. 47 сек."));
        QCOMPARE(IntToBin(255, 4), QStringLiteral("11111111"));
        QCOMPARE(RemoveCtrlChars(QStringLiteral("a\r\nb\x01\x7F c\tд")), QStringLiteral("ab cд"));

        // What Windows-1251 carries as it stands, every byte's character included; the rest each
        // once, a character beyond 16 bits as one.
        QString everyByte;
        for (int b = 0; b < 256; ++b)
            everyByte += DecodeCp1251(QByteArray(1, char(b)));
        QVERIFY(CarriedByCp1251(everyByte + QStringLiteral("пароль€№™?")));
        for (const char *outside : {"ß", "✓", "ż", "😀", "a\xC3\x9F"})
            QVERIFY2(!CarriedByCp1251(QString::fromUtf8(outside)), outside);
        QCOMPARE(CharsNotCarriedInOneLine(QStringLiteral("пароль✓€№ß✓😀")),
                 (QStringList{QStringLiteral("✓"), QStringLiteral("ß"), QStringLiteral("😀")}));
        // One line of a command or a file: no control character either, each named once.
        QVERIFY(CarriedInOneLine(everyByte.mid(32, 95) + everyByte.mid(128)));
        for (const char *broken : {"mts\r+object0001", "a\tb", "a\x01", "a\x7F", "\n"})
            QVERIFY2(!CarriedInOneLine(QString::fromLatin1(broken)), broken);
        QCOMPARE(
            CharsNotCarriedInOneLine(QStringLiteral("a\rb\tc\x01✓\r\nd\x7F\x1F")),
            (QStringList{"CR", "TAB", "U+0001", QStringLiteral("✓"), "LF", "U+007F", "U+001F"}));

        QCOMPARE(RegExMatch(QStringLiteral("a\r\nb"), QStringLiteral("a.+b")),
                 QStringLiteral("a\r\nb"));
        QCOMPARE(RegExMatch(QStringLiteral("ABC"), QStringLiteral("abc")), QString());
        QCOMPARE(RegExMatch(QStringLiteral("12\n34"), QStringLiteral("^\\d+$")), QString());
        QVERIFY_THROWS_EXCEPTION(EConvertError,
                                 RegExMatch(QStringLiteral("x"), QStringLiteral("(")));

        QCOMPARE(ExtractNum3Dot(QStringLiteral("+v\r\nREV 07.504.041\r\nOK\r\n")), 504);
        QCOMPARE(ExtractNum3Dot(QStringLiteral("REV 07.50")), 0);
        QVERIFY_THROWS_EXCEPTION(EConvertError, ExtractNum3Dot(QStringLiteral("505X")));
        QCOMPARE(ExtractNum3Crlf(QStringLiteral("REV 07.505.017\n")), 0);
        QCOMPARE(ExtractNum3Crlf(QStringLiteral("abc123\r\nxyz456\r\n")), 123);

        QCOMPARE(int(HexXorSum(QStringLiteral("01020"))), 3); // a lone last digit is left out
        QVERIFY_THROWS_EXCEPTION(EConvertError, HexXorSum(QString()));
        QVERIFY_THROWS_EXCEPTION(EConvertError, HexXorSum(QStringLiteral("0G")));
    }

    // Blocks of 128 bytes with their position and check byte, and the signature of their check
    // bytes, from images of every record length and layout.
    void blocksFromImagesOfEveryShape()
    {
        // 16-byte records from FE00, as carried images: the address runs from FFFF into 0000.
        const QByteArray data = imageData(8 * 128);
        const TBlockList blocks = HexImageToBlocks(imageLines(data, 16, 0xFE00));
        QCOMPARE(blocks.size(), 8);
        for (int b = 0; b < blocks.size(); ++b) {
            const QByteArray bytes = data.mid(b * 128, 128);
            QCOMPARE(blocks[b].line, expectedBlockLine(bytes, b * 128));
            QCOMPARE(blocks[b].check, int(HexXorSum(QString::fromLatin1(bytes.toHex()))));
        }
        QCOMPARE(HexImageToBlocks(imageLines(data, 32)), blocks);
        QCOMPARE(HexImageToBlocks(imageLines(data, 255)), blocks);

        // lower case, CR LF line ends, extended and start-address records, end record, blank tail
        QStringList lines = imageLines(data, 32, 0xFF00);
        for (QString &line : lines)
            line = line.toLower() + QLatin1Char('\r');
        lines.prepend(record(4, 0, QByteArray::fromHex("0003")));
        lines.insert(9, record(4, 0, QByteArray::fromHex("0004"))); // at 0x40000
        lines.insert(1, record(5, 0, QByteArray::fromHex("00000000")));
        lines.insert(1, record(3, 0, QByteArray::fromHex("12345678")));
        lines << record(1, 0, {}) << QString() << QString();
        QCOMPARE(HexImageToBlocks(lines), blocks);

        // a segment address record that continues the data
        QStringList segmented = imageLines(data, 16, 0xFF80);
        segmented.insert(8, record(2, 0, QByteArray::fromHex("1000")));
        QCOMPARE(HexImageToBlocks(segmented), blocks);

        // as objcopy and srec_cat write them, also across 64 KiB and 1 MiB (where objcopy puts a
        // zero segment before the linear base)
        for (const quint32 start : {0x0u, 0xFF80u, 0xFFE00u, 0x1FFF00u})
            for (const int size : {16, 32})
                for (const bool segmented : {true, false})
                    QVERIFY2(
                        HexImageToBlocks(toolImageLines(data, size, start, segmented)) == blocks,
                        qPrintable(QStringLiteral("%1 %2 %3").arg(start).arg(size).arg(segmented)));
        // srec_cat's long records run on past a 64 KiB boundary under a linear base
        for (const quint32 start : {0xFF80u, 0x1FFF00u}) {
            const QStringList written = srecCatLines(data, start, 255);
            QVERIFY2(written.size() > 3, "srec_cat (package srecord) wrote no image");
            QCOMPARE(HexImageToBlocks(written), blocks);
        }

        // signature: XOR of check bytes 0,4 / 1,5 / 2,6 / 3,7
        QString expected;
        for (int k = 0; k < 4; ++k)
            expected += IntToHex(blocks[k].check ^ blocks[k + 4].check, 2);
        QCOMPARE(HexLinesSignature(BlockLines(blocks)), expected);
        // fewer than four lines, a fifth line folded into the first, a digit that is not hex
        QCOMPARE(HexLinesSignature({"0000:AB", "0008:CD", "0010:EF"}), QStringLiteral("00000000"));
        QCOMPARE(HexLinesSignature({"x:12", "x:34", "x:56", "x:78", "x:0F"}),
                 QStringLiteral("1D345678"));
        QVERIFY_THROWS_EXCEPTION(EConvertError,
                                 HexLinesSignature({"x:12", "x:34", "x:56", "x:7Z"}));
    }

    void malformedImagesAreRefusedWithTheirLine()
    {
        const QByteArray data = imageData(2 * 128);
        const QStringList good = imageLines(data, 16);
        QCOMPARE(refusedLine(good), 0);
        const struct
        {
            const char *fault;
            std::function<void(QStringList &)> spoil;
            int line;
        } cases[] = {
            {"checksum", [](QStringList &l) { l[4].replace(l[4].size() - 2, 2, "00"); }, 5},
            {"no colon", [](QStringList &l) { l[2].remove(0, 1); }, 3},
            {"not hex", [](QStringList &l) { l[6][12] = QLatin1Char('x'); }, 7},
            {"byte count", [](QStringList &l) { l[7].chop(2); }, 8},
            {"gap",
             [&](QStringList &l) {
                 l.removeAt(3);
                 l.append(record(0, 0x0100, data.right(16)));
             },
             4},
            {"out of order", [](QStringList &l) { l.swapItemsAt(9, 10); }, 10},
            {"data after the end", [](QStringList &l) { l.insert(5, record(1, 0, {})); }, 7},
            {"blank line inside", [](QStringList &l) { l.insert(5, QString()); }, 6},
            {"address jumps away",
             [](QStringList &l) { l.insert(5, record(4, 0, QByteArray::fromHex("0001"))); }, 7},
            {"address set back at the wrap",
             [&](QStringList &l) {
                 l = imageLines(data, 16, 0xFF80);
                 l.insert(8, record(4, 0, QByteArray::fromHex("0000")));
             },
             10},
            // once the image sets its bases, it cannot run from FFFF into 0000 unmarked
            {"unmarked wrap in a segment",
             [&](QStringList &l) {
                 l = imageLines(data, 16, 0xFF80);
                 l.prepend(record(2, 0, QByteArray::fromHex("1000")));
             },
             10},
            {"unmarked wrap under a linear base",
             [&](QStringList &l) {
                 l = imageLines(data, 16, 0xFF80);
                 l.prepend(record(4, 0, QByteArray::fromHex("0002")));
             },
             10},
            {"unknown type",
             [](QStringList &l) { l.insert(5, record(6, 0, QByteArray::fromHex("00"))); }, 6},
            {"not whole blocks", [](QStringList &l) { l.removeLast(); }, 15},
            {"past 64 KiB", [&](QStringList &l) { l = imageLines(data, 32, 0xFFF0); }, 1},
            {"past 64 KiB in a segment",
             [&](QStringList &l) {
                 l = imageLines(data, 32, 0xFFF0);
                 l.prepend(record(2, 0, QByteArray::fromHex("1000")));
             },
             2},
            {"empty", [](QStringList &l) { l.clear(); }, 1},
            {"end only", [](QStringList &l) { l = {record(1, 0, {})}; }, 1},
            {"leading blank", [&](QStringList &l) { l = {QStringLiteral(" ") + good[0]}; }, 1},
            // one block more than the four position digits address: 8193 records of 128 bytes
            {"past 1 MiB", [](QStringList &l) { l = imageLines(imageData(8193 * 128), 128); },
             8193},
        };
        for (const auto &c : cases) {
            QStringList lines = good;
            c.spoil(lines);
            QVERIFY2(refusedLine(lines) == c.line, c.fault);
        }
        QVERIFY_THROWS_EXCEPTION(EHexImageError, HexImageToBlocks({good[0]}));

        // A tool's image of more than 1 MiB is refused for its size.
        try {
            CheckHexImage(toolImageLines(imageData(8193 * 128), 16, 0, true));
            QFAIL("an image of 8193 blocks passed");
        } catch (const EHexImageError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("larger than")), qPrintable(e.message()));
        }
    }
};

QTEST_MAIN(TestFuncs)
#include "tst_funcs.moc"
