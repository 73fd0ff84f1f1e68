#include "device/Commands.h"

#include <QtTest>

// The command vocabulary: texts and terminating replies of the codes that are easy to get wrong.
class TestCommands : public QObject
{
    Q_OBJECT
private slots:
    void sharedAndLookAlikeTexts()
    {
        QCOMPARE(GetCommandText(1024), QStringLiteral("ATZ"));
        QCOMPARE(GetCommandText(1031), QStringLiteral("ATZ"));
        QCOMPARE(GetCommandText(3), QStringLiteral("+v"));
        QCOMPARE(GetCommandText(4096), QStringLiteral("+v"));
        QCOMPARE(GetCommandText(26), QStringLiteral("+gprsena"));
        QCOMPARE(GetCommandText(71), QStringLiteral("+gprsena"));
        QCOMPARE(GetCommandText(27), QStringLiteral("+gprsena00"));
        QCOMPARE(GetCommandText(28), QStringLiteral("+gprsenaFF"));
        QCOMPARE(GetCommandText(103), QStringLiteral("+MFLAG"));
        QCOMPARE(GetCommandText(104), QStringLiteral("+mflag%s"));
        QCOMPARE(GetCommandText(1029), QStringLiteral("+++"));
        QCOMPARE(GetCommandText(1028), QStringLiteral("ATD%s"));
        QCOMPARE(GetCommandText(1), QStringLiteral("CABLE CONNECT"));
        QCOMPARE(GetCommandText(125), QStringLiteral("+keysafe"));
        QCOMPARE(GetCommandText(114), QStringLiteral("+keysafe%d%s"));
    }

    void familiesGiveReadAndWriteForms()
    {
        QCOMPARE(GetCommandText(6), QStringLiteral("+latit"));
        QCOMPARE(GetCommandText(7), QStringLiteral("+latit%s"));
        QCOMPARE(GetCommandText(95), QStringLiteral("+OUTS"));
        QCOMPARE(GetCommandText(139), QStringLiteral("+canignit%s"));
        QCOMPARE(GetCommandText(12), QStringLiteral("+turn"));
        QCOMPARE(GetCommandText(13), QStringLiteral("+turn00"));
        QCOMPARE(GetCommandText(14), QStringLiteral("+turnFF"));
        QCOMPARE(GetCommandText(34), QStringLiteral("+tsourceFF"));
        QCOMPARE(GetCommandText(5), QStringLiteral("+object"));
        QCOMPARE(GetCommandText(76), QStringLiteral("+object%s"));
        // write first, then read
        QCOMPARE(GetCommandText(133), QStringLiteral("+zacc%s"));
        QCOMPARE(GetCommandText(134), QStringLiteral("+zacc"));
        QCOMPARE(GetCommandText(135), QStringLiteral("+zrec%s"));
        QCOMPARE(GetCommandText(136), QStringLiteral("+zrec"));
        QCOMPARE(GetCommandText(256), QStringLiteral("+idtm%s"));
        QCOMPARE(GetCommandText(257), QStringLiteral("+idtm"));
        // indexed
        QCOMPARE(GetCommandText(109), QStringLiteral("+ing%d"));
        QCOMPARE(GetCommandText(110), QStringLiteral("+ing%d%s"));
        QCOMPARE(GetCommandText(113), QStringLiteral("+keyread%d"));
    }

    void terminatingReplies()
    {
        QCOMPARE(GetCommandReply(1026), QStringLiteral("0,1"));
        QCOMPARE(GetCommandReply(1028), QStringLiteral("CONNECT"));
        QCOMPARE(GetCommandReply(1029), QStringLiteral("OK"));
        QCOMPARE(GetCommandReply(117), QStringLiteral("OK"));
        QCOMPARE(GetCommandReply(257), QStringLiteral("OK"));
    }

    void codesOutsideTheTableGiveNothing()
    {
        for (const int code : {0, 25, 126, -1, 5000, 140, 255, 258, 1023, 1033, 4095, 4097,
                               std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
            QCOMPARE(GetCommandText(code), QString());
            QCOMPARE(GetCommandReply(code), QString());
        }
    }

    void tableHas149CodesAllEndingOnOkButTwo()
    {
        int count = 0;
        for (int code = -10; code <= 10000; ++code) {
            const QString text = GetCommandText(code);
            if (text.isEmpty()) {
                QVERIFY(GetCommandReply(code).isEmpty());
                continue;
            }
            ++count;
            if (code != 1026 && code != 1028)
                QCOMPARE(GetCommandReply(code), QStringLiteral("OK"));
            // every unit command starts with "+" except the cable and modem commands
            if (code > 2 && code < 1024)
                QVERIFY2(text.startsWith(QLatin1Char('+')), qPrintable(text));
        }
        QCOMPARE(count, 149);
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
