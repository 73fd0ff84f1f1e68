#include "device/Commands.h"

#include <QtTest>

// The command vocabulary: texts and terminating replies of the codes that are easy to get wrong.
class TestCommands : public QObject
{
    Q_OBJECT
private slots:
    void trickyTextsAndReplies()
    {
        // Shared and look-alike texts, read and write forms, write-first pairs, indexed forms.
        const QList<std::pair<int, const char *>> texts = {
            {1024, "ATZ"},      {1031, "ATZ"},      {4096, "+v"},      {71, "+gprsena"},
            {27, "+gprsena00"}, {28, "+gprsenaFF"}, {103, "+MFLAG"},   {104, "+mflag%s"},
            {1029, "+++"},      {1028, "ATD%s"},    {125, "+keysafe"}, {114, "+keysafe%d%s"},
            {133, "+zacc%s"},   {134, "+zacc"},     {256, "+idtm%s"},  {257, "+idtm"},
            {109, "+ing%d"},    {110, "+ing%d%s"},  {76, "+object%s"}, {13, "+turn00"},
            {14, "+turnFF"},    {26, "+gprsena"}};
        for (const auto &[code, text] : texts)
            QCOMPARE(GetCommandText(code), QString::fromLatin1(text));

        QCOMPARE(GetCommandReply(1026), QStringLiteral("0,1"));
        QCOMPARE(GetCommandReply(1028), QStringLiteral("CONNECT"));
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
        for (const int code : {std::numeric_limits<int>::min(), std::numeric_limits<int>::max()})
            QVERIFY(GetCommandText(code).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
