// Reply decoding on texts: the terminating reply, the value extractors, modem words.
// Ordinary values through the whole engine are the engine test's; here the corner cases.

#include "main/ReplyDecoder.h"

#include <QStringList>
#include <QTest>

class TestReplyDecoding : public QObject
{
    Q_OBJECT

private:
    QStringList errors;
    TReplyDecoder decoder;

private slots:
    void init()
    {
        errors.clear();
        decoder.ErrorSink = [this](const QString &where, const QString &what,
                                   const QString &detail) {
            errors << QStringLiteral("%1|%2|%3").arg(where, what, detail);
        };
    }

    void terminatingReply()
    {
        // "OK" counts only where it begins a line, so a value holding "ok" does not end the wait;
        // other replies count anywhere. Letter case is ignored.
        const auto ends = [](const char *text, const char *reply) {
            return TReplyDecoder::HasTerminatingReply(text, reply);
        };
        QVERIFY(!ends("+gprsname\r\n>internet.book.ru\r\n", "OK"));
        QVERIFY(!ends("+gprsname\r\n>OKTELECOM\r\n", "OK"));
        QVERIFY(ends("x\nOk", "OK"));
        QVERIFY(ends("+CREG: 0,1\r\n", "0,1") && !ends("+CREG: 0,5\r\n", "0,1"));
        QVERIFY(ends("\r\nconnect 9600", "CONNECT"));
        QVERIFY(ends("anything", ""));
    }

    void malformedValuesAreLoggedWithTheReply()
    {
        // Without ">" the value starts at the first character, even when that is the echo.
        QCOMPARE(decoder.GetStringValue("+object\r\nOK\r\n", 5), QString("+object"));
        QCOMPARE(decoder.GetByte(">ff"), 255);
        QVERIFY(errors.isEmpty());
        QCOMPARE(decoder.GetStringValue("+object\r\n>\r\nOK\r\n", 5), QString());
        QCOMPARE(decoder.GetWord("+latit\r\n>0A\r\nOK\r\n"), -1);
        QCOMPARE(decoder.GetByte(">G1"), -1);
        QCOMPARE(errors, (QStringList{"GetStringValue|Invalid length|Command: +object Result: "
                                      "+object>OK",
                                      "GetWord|Convert|+latit>0AOK", "GetByte|Convert|>G1"}));
    }

    void modemFailureWords()
    {
        // The first word of the table wins wherever it stands; values and the echo of the command
        // just sent are not modem words. The words' own messages are the connection test's.
        const struct
        {
            const char *text, *sent, *message;
        } cases[] = {
            {"ERROR\r\nBUSY\r\n", "", "ОШИБКА! Линия занята(BUSY)!"},
            {"+CME ERROR: 3\r\n", "", "ОШИБКА! Неизвестная ошибка(ERROR)!"},
            {"+gprsname\r\n>error.ru\r\nOK\r\n", "", nullptr},
            {"CABLE DISCONNECT\r\nOK\r\n", "CABLE DISCONNECT", nullptr},
            {"CABLE DISCONNECT\r\nOK\r\n", "+v", "ОШИБКА! Обрыв соединения(DISCONNECT)!"},
        };
        for (const auto &c : cases) {
            QString msg;
            QCOMPARE(TReplyDecoder::CheckModemReply(c.text, msg, c.sent), c.message == nullptr);
            QCOMPARE(msg, c.message ? QString::fromUtf8(c.message) : QString());
        }
    }

    void modemWordsAcrossChunks()
    {
        TModemWatch watch;
        QString msg;
        QVERIFY(watch.Feed("\r\nNO CAR", msg, "ATD123"));
        QVERIFY(!watch.Feed("RIER\r\n", msg, "ATD123"));
        QVERIFY(msg.endsWith(QStringLiteral("(NO CARRIER)!")));
        // A value split across chunks stays a value.
        watch.Reset();
        QVERIFY(watch.Feed(">err", msg, "+gprsname"));
        QVERIFY(watch.Feed("or.ru\r\nOK\r\n", msg, "+gprsname"));
    }
};

QTEST_GUILESS_MAIN(TestReplyDecoding)
#include "tst_replydecoding.moc"
