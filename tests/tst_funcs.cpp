#include "HexImages.h"
#include "settings/funcs.h"

#include "Version.h"

#include <QClipboard>
#include <QGuiApplication>
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

} // namespace

class TestFuncs : public QObject
{
    Q_OBJECT
private slots:
    void minutesAndSeconds()
    {
        QCOMPARE(MsToMinSec(59999), QStringLiteral("0 мин. 59 сек."));
        QCOMPARE(MsToMinSec(0xFFFFFFFFu), QStringLiteral("71582 мин. 47 сек."));
    }

    void parseAndPrintVersions()
    {
        const TFwVersion v = ParseVersion(QStringLiteral("REV 07.505.030"));
        QCOMPARE(int(v.Major) * 1000000 + int(v.Minor) * 1000 + int(v.Build), 7505030);
        const TFwVersion beta = ParseVersion(QStringLiteral("REV 08.504.117 beta"));
        QCOMPARE(beta.Rest, QStringLiteral(" beta"));
        QCOMPARE(VersionToStr(beta), QStringLiteral("REV 08.504.117 beta"));

        for (const char *bad :
             {"", "REV", "REV 7.505.030", "REV 07.50", "REV 07.505.03", "garbage text here"})
            QVERIFY_THROWS_EXCEPTION(EConvertError, ParseVersion(QString::fromLatin1(bad)));
    }

    void olderVersions_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("image");
        QTest::addColumn<bool>("older");
        QTest::newRow("older build") << "REV 07.505.017"
                                     << "REV 07.505.030" << true;
        QTest::newRow("same") << "REV 07.505.030"
                              << "REV 07.505.030" << false;
        QTest::newRow("older type") << "REV 07.504.041"
                                    << "REV 07.505.030" << true;
        QTest::newRow("newer major, lower build") << "REV 08.505.017"
                                                  << "REV 07.505.030" << false;
        QTest::newRow("newer type") << "REV 07.506.001"
                                    << "REV 07.505.030" << false;
        QTest::newRow("image above 700") << "REV 07.505.702"
                                         << "REV 07.505.701" << false;
        QTest::newRow("device above image") << "REV 07.505.703"
                                            << "REV 07.505.701" << true;
        QTest::newRow("older major, image above 700") << "REV 06.505.030"
                                                      << "REV 07.505.701" << false;
    }
    void olderVersions()
    {
        QFETCH(QString, device);
        QFETCH(QString, image);
        QFETCH(bool, older);
        QCOMPARE(IsVersionOlder(ParseVersion(device), ParseVersion(image)), older);
    }

    void bitStrings()
    {
        QCOMPARE(IntToBin(0, 8), QStringLiteral("00000000"));
        QCOMPARE(IntToBin(255, 4), QStringLiteral("11111111"));
    }

    void fileVersionOnlyForTheProgramItself()
    {
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
        QCOMPARE(RegExMatch(QStringLiteral("12\n34"), QStringLiteral("^\\d+$")), QString());
        QVERIFY_THROWS_EXCEPTION(EConvertError,
                                 RegExMatch(QStringLiteral("x"), QStringLiteral("(")));
    }

    void numbersFromReplies()
    {
        QCOMPARE(ExtractNum3Dot(QStringLiteral("+v\r\nREV 07.504.041\r\nOK\r\n")), 504);
        QCOMPARE(ExtractNum3Dot(QStringLiteral("5051")), 5051);
        QCOMPARE(ExtractNum3Dot(QStringLiteral("REV 07.50")), 0);
        QVERIFY_THROWS_EXCEPTION(EConvertError, ExtractNum3Dot(QStringLiteral("505X")));
        QCOMPARE(ExtractNum3Crlf(QStringLiteral("REV 07.505.017\r\n")), 17);
        QCOMPARE(ExtractNum3Crlf(QStringLiteral("REV 07.505.017\n")), 0);
        QCOMPARE(ExtractNum3Crlf(QStringLiteral("abc123\r\nxyz456\r\n")), 123);
    }

    void hexXorSum()
    {
        QCOMPARE(int(HexXorSum(QStringLiteral("0102"))), 3);
        QCOMPARE(int(HexXorSum(QStringLiteral("ff"))), 255);
        QCOMPARE(int(HexXorSum(QStringLiteral("01020"))), 3); // a lone last digit is left out
        QVERIFY_THROWS_EXCEPTION(EConvertError, HexXorSum(QString()));
        QVERIFY_THROWS_EXCEPTION(EConvertError, HexXorSum(QStringLiteral("0G")));
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
             [](QStringList &l) { l.insert(5, record(4, 0, QByteArray::fromHex("0001"))); }, 6},
            {"unknown type",
             [](QStringList &l) { l.insert(5, record(6, 0, QByteArray::fromHex("00"))); }, 6},
            {"not whole blocks", [](QStringList &l) { l.removeLast(); }, 15},
            {"past 64 KiB", [&](QStringList &l) { l = imageLines(data, 32, 0xFFF0); }, 1},
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
    }
};

QTEST_MAIN(TestFuncs)
#include "tst_funcs.moc"
