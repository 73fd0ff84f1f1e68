// Reply decoding on texts: decode kinds, the terminating reply, the value extractors, modem words.

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

    void decodeKindsByCode()
    {
        // The neighbours that differ, and the ends of the table.
        const QList<std::pair<int, TDecodeKind>> cases{
            {5, TDecodeKind::String},    {69, TDecodeKind::String},     {71, TDecodeKind::Text},
            {77, TDecodeKind::Byte},     {103, TDecodeKind::Word},      {131, TDecodeKind::Word},
            {1026, TDecodeKind::Text},   {1027, TDecodeKind::Sequence}, {1, TDecodeKind::Sequence},
            {-1, TDecodeKind::Terminal}, {120, TDecodeKind::None},      {1031, TDecodeKind::None},
            {0, TDecodeKind::None},      {5000, TDecodeKind::None}};
        for (const auto &[code, kind] : cases)
            QVERIFY2(TReplyDecoder::DecodeKindOf(code) == kind, qPrintable(QString::number(code)));
    }

    void terminatingReply()
    {
        // "OK" counts only where it begins a line, so a value holding "ok" does not end the wait.
        QVERIFY(!TReplyDecoder::HasTerminatingReply("+gprsname\r\n>internet.book.ru\r\n", "OK"));
        QVERIFY(!TReplyDecoder::HasTerminatingReply("+gprsname\r\n>OKTELECOM\r\n", "OK"));
        QVERIFY(
            TReplyDecoder::HasTerminatingReply("+gprsname\r\n>internet.book.ru\r\nOK\r\n", "OK"));
        QVERIFY(TReplyDecoder::HasTerminatingReply("ok", "OK"));
        QVERIFY(TReplyDecoder::HasTerminatingReply("x\nOk", "OK"));
        QVERIFY(!TReplyDecoder::HasTerminatingReply("+v\r\nREV 07.505.030\r\n", "OK"));
        // Other replies anywhere, letter case ignored.
        QVERIFY(TReplyDecoder::HasTerminatingReply("+CREG: 0,1\r\n", "0,1"));
        QVERIFY(!TReplyDecoder::HasTerminatingReply("+CREG: 0,5\r\n", "0,1"));
        QVERIFY(TReplyDecoder::HasTerminatingReply("\r\nconnect 9600", "CONNECT"));
        QVERIFY(TReplyDecoder::HasTerminatingReply("anything", ""));
    }

    void stringValues()
    {
        QCOMPARE(decoder.GetStringValue("+object\r\n>12345\r\nOK\r\n", 5), QString("12345"));
        // A value that holds "OK" or "ok" is kept whole.
        QCOMPARE(decoder.GetStringValue("+gprsname\r\n>internet.book.ru\r\nOK\r\n", 43),
                 QString("internet.book.ru"));
        QCOMPARE(decoder.GetStringValue("+gprsname\r\n>OKTELECOM\r\nOK\r\n", 43),
                 QString("OKTELECOM"));
        // Without ">" the value starts at the first character.
        QCOMPARE(decoder.GetStringValue("12345\r\nOK\r\n", 5), QString("12345"));
        QCOMPARE(decoder.GetStringValue("+object\r\nOK\r\n", 5), QString("+object"));
        QVERIFY(errors.isEmpty());
        // An empty value is an error-log entry and "".
        QCOMPARE(decoder.GetStringValue("+object\r\n>\r\nOK\r\n", 5), QString());
        QCOMPARE(errors, QStringList{"GetStringValue|Invalid length|Command: +object Result: "
                                     "+object>OK"});
    }

    void byteAndWordValues()
    {
        QCOMPARE(decoder.GetByte("+timefix\r\n>0A3F\r\nOK\r\n"), 10);
        QCOMPARE(decoder.GetByte(">ff"), 255);
        QCOMPARE(decoder.GetWord("+latit\r\n>0A3F\r\nOK\r\n"), 0x0A3F);
        QVERIFY(errors.isEmpty());
        QCOMPARE(decoder.GetByte("+timefix\r\n0A\r\nOK\r\n"), -1);
        QCOMPARE(decoder.GetWord("+latit\r\n>0A\r\nOK\r\n"), -1);
        QCOMPARE(decoder.GetByte(">G1"), -1);
        QCOMPARE(errors, (QStringList{"GetByte|Convert|+timefix0AOK", "GetWord|Convert|+latit>0AOK",
                                      "GetByte|Convert|>G1"}));
    }

    void modemFailureWords()
    {
        QString msg;
        QVERIFY(TReplyDecoder::CheckModemReply("+v\r\nREV 07.505.030\r\nOK\r\n", msg));
        QVERIFY(!TReplyDecoder::CheckModemReply("\r\nNO CARRIER\r\n", msg));
        QCOMPARE(msg,
                 QString("ОШИБКА! Не могу установить соединение или оно разорвано(NO CARRIER)!"));
        // The first word of the table wins, wherever it stands in the text.
        QVERIFY(!TReplyDecoder::CheckModemReply("ERROR\r\nBUSY\r\n", msg));
        QCOMPARE(msg, QString("ОШИБКА! Линия занята(BUSY)!"));
        QVERIFY(!TReplyDecoder::CheckModemReply("+CME ERROR: 3\r\n", msg));
        QCOMPARE(msg, QString("ОШИБКА! Неизвестная ошибка(ERROR)!"));
        QVERIFY(!TReplyDecoder::CheckModemReply("NO DIALTONE", msg));
        QCOMPARE(msg, QString("ОШИБКА! Нет сигнала в линии(NO DIALTONE)!"));
        QVERIFY(!TReplyDecoder::CheckModemReply("no answer", msg));
        QCOMPARE(msg, QString("ОШИБКА! Нет ответа(NO ANSWER)!"));
        // Values and the echo of the command just sent are not modem words.
        QVERIFY(TReplyDecoder::CheckModemReply("+gprsname\r\n>error.ru\r\nOK\r\n", msg));
        QVERIFY(
            TReplyDecoder::CheckModemReply("CABLE DISCONNECT\r\nOK\r\n", msg, "CABLE DISCONNECT"));
        QVERIFY(!TReplyDecoder::CheckModemReply("CABLE DISCONNECT\r\nOK\r\n", msg, "+v"));
        QCOMPARE(msg, QString("ОШИБКА! Обрыв соединения(DISCONNECT)!"));
    }

    void modemWordsAcrossChunks()
    {
        TModemWatch watch;
        QString msg;
        QVERIFY(watch.Feed("\r\nNO CAR", msg, "ATD123"));
        QVERIFY(!watch.Feed("RIER\r\n", msg, "ATD123"));
        QCOMPARE(msg,
                 QString("ОШИБКА! Не могу установить соединение или оно разорвано(NO CARRIER)!"));
        // One byte at a time: seen when the line ends.
        watch.Reset();
        const QString text = "+v\r\nBUSY\r\n";
        bool clean = true;
        for (int i = 0; i < text.size() && clean; ++i)
            clean = watch.Feed(text.mid(i, 1), msg, "+v");
        QVERIFY(!clean);
        QCOMPARE(msg, QString("ОШИБКА! Линия занята(BUSY)!"));
        // A value split across chunks stays a value.
        watch.Reset();
        QVERIFY(watch.Feed(">err", msg, "+gprsname"));
        QVERIFY(watch.Feed("or.ru\r\nOK\r\n", msg, "+gprsname"));
    }
};

QTEST_GUILESS_MAIN(TestReplyDecoding)
#include "tst_replydecoding.moc"
