#include "device/Commands.h"

#include <QHash>

namespace {

struct TCommand
{
    QString text;
    QString reply;
};

using TVocabulary = QHash<int, TCommand>;

constexpr QLatin1String kOk("OK");

// Settings read with "+word" under code a and written with "+word%s" under code a + 1.
struct TReadWritePair
{
    int code;
    const char *word;
};

constexpr TReadWritePair kReadWritePairs[] = {
    {6, "latit"},       {8, "longit"},      {10, "timefix"},   {21, "timegps"},   {23, "safemodon"},
    {35, "timegpres"},  {37, "servpswd"},   {39, "gphone"},    {41, "GAPN"},      {43, "gprsname"},
    {45, "gprspswd"},   {47, "IPadr"},      {49, "IPport"},    {51, "maindns0"},  {53, "altdns0"},
    {55, "gphon1"},     {57, "GAP1"},       {59, "gprsnam1"},  {61, "gprspsw1"},  {63, "IPad1"},
    {65, "IPpor1"},     {67, "maindns1"},   {69, "altdns1"},   {74, "tunfix"},    {77, "zact"},
    {79, "zren"},       {81, "flagact"},    {83, "flagren"},   {85, "feedtime"},  {87, "feedpause"},
    {89, "init5regim"}, {91, "ident4time"}, {93, "bsettings"}, {95, "OUTS"},      {97, "alphon0"},
    {99, "alphon1"},    {101, "allogic"},   {105, "disp"},     {107, "enaing"},   {111, "touchon"},
    {118, "canuser"},   {121, "qlxregim"},  {123, "qlxflag"},  {127, "freqsens"}, {129, "sensflow"},
    {131, "carid"},     {138, "canignit"},
};

// Pairs whose lower code writes ("+word%s") and the higher reads ("+word").
constexpr TReadWritePair kWriteReadPairs[] = {
    {133, "zacc"},
    {135, "zrec"},
    {256, "idtm"},
};

// Switches read with "+word" under code a, switched on ("00") under a + 1, off ("FF") under a + 2.
constexpr TReadWritePair kSwitchTriples[] = {
    {12, "turn"},    {15, "qsafe"},    {18, "safemodoff"},
    {26, "gprsena"}, {29, "cashback"}, {32, "tsource"},
};

struct TSingleCommand
{
    int code;
    const char *text;
    const char *reply;
};

constexpr TSingleCommand kSingleCommands[] = {
    {1, "CABLE CONNECT", "OK"},
    {2, "CABLE DISCONNECT", "OK"},
    {3, "+v", "OK"},
    {4, "+typepan", "OK"},
    {5, "+object", "OK"},
    {71, "+gprsena", "OK"},  // the GPRS page appends "00"/"FF" itself
    {72, "+cashback", "OK"}, // as 71
    {73, "+tsource", "OK"},  // as 71
    {76, "+object%s", "OK"},
    {103, "+MFLAG", "OK"},
    {104, "+mflag%s", "OK"},
    {109, "+ing%d", "OK"},
    {110, "+ing%d%s", "OK"},
    {113, "+keyread%d", "OK"},
    {114, "+keysafe%d%s", "OK"},
    {115, "+point", "OK"},
    {116, "+read%s", "OK"},
    {117, "+erase", "OK"},
    {120, "+qlxfunc", "OK"},
    {125, "+keysafe", "OK"},
    {137, "+cancur", "OK"},
    {1032, "+imei", "OK"},
    {4096, "+v", "OK"},
    // GSM modem
    {1024, "ATZ", "OK"},
    {1025, "AT", "OK"},
    {1026, "AT+CREG?", "0,1"},
    {1027, "AT+CBST=7,0,1", "OK"},
    {1028, "ATD%s", "CONNECT"},
    {1029, "+++", "OK"},
    {1030, "ATH", "OK"},
    {1031, "ATZ", "OK"},
};

TVocabulary buildVocabulary()
{
    TVocabulary v;
    auto add = [&v](int code, const QString &text, const QString &reply) {
        Q_ASSERT(!v.contains(code));
        v.insert(code, TCommand{text, reply});
    };
    for (const auto &[code, word] : kReadWritePairs) {
        const QString read = QLatin1Char('+') + QLatin1String(word);
        add(code, read, kOk);
        add(code + 1, read + QLatin1String("%s"), kOk);
    }
    for (const auto &[code, word] : kWriteReadPairs) {
        const QString read = QLatin1Char('+') + QLatin1String(word);
        add(code, read + QLatin1String("%s"), kOk);
        add(code + 1, read, kOk);
    }
    for (const auto &[code, word] : kSwitchTriples) {
        const QString read = QLatin1Char('+') + QLatin1String(word);
        add(code, read, kOk);
        add(code + 1, read + QLatin1String("00"), kOk);
        add(code + 2, read + QLatin1String("FF"), kOk);
    }
    for (const auto &[code, text, reply] : kSingleCommands)
        add(code, QLatin1String(text), QLatin1String(reply));
    return v;
}

const TVocabulary &vocabulary()
{
    static const TVocabulary v = buildVocabulary();
    return v;
}

} // namespace

QString GetCommandText(int code)
{
    return vocabulary().value(code).text;
}

QString GetCommandReply(int code)
{
    return vocabulary().value(code).reply;
}
