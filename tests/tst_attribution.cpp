// Which send an answer is credited to, for every mix of faults: a seeded model of the line drives
// the answer matcher as the command engine does (one exchange on the line, resends, give-ups,
// keep-alives and version queries), on a clock the test moves. The model unit answers in the
// order it heard its commands; sends are lost, answers lost, late or garbled, and a stall
// swallows everything for a while. Each scenario is checked against what the unit really did.

#include "main/ReplyDecoder.h"
#include "main/UnansweredSends.h"

#include <QTest>

#include <deque>
#include <random>

namespace {

constexpr uint32_t kTimeoutMs = 1000;
constexpr uint32_t kPacingMs = 50;
constexpr uint32_t kLifetimeMs = 30000;

struct TSent
{
    QString Text;
    TAnswerShape Shape;
    uint32_t Exchange;
};

struct TArrival
{
    uint32_t At;
    QString Text;
    size_t Send;
};

// What the faults of one scenario are.
struct TFaults
{
    bool OlderFirmware = false;
    double LoseSend = 0, LoseAnswer = 0, Garble = 0, Late = 0;
    uint32_t StallFrom = 0, StallTo = 0;
};

class TLineModel
{
public:
    TLineModel(uint32_t seed, TFaults faults) : rng(seed), faults(faults) {}

    QStringList Failures;
    int Credited = 0, FirstSendCredits = 0;

    // A page command with one resend: true when its answer came.
    bool Command(const QString &text, TAnswerShape shape)
    {
        line = TLine::Command;
        Send(text, shape, true);
        const uint32_t exchange = lineExchange;
        for (int sent = 1;; ++sent) {
            const uint32_t deadline = now + kTimeoutMs;
            if (DeliverUntil(deadline, exchange)) {
                Check(text, shape, exchange);
                ++Credited;
                FirstSendCredits += sent == 1 ? 1 : 0;
                EndOrSync();
                return true;
            }
            if (sent == 2)
                break;
            Send(text, shape, false);
        }
        EndOrSync();
        return false;
    }

    void KeepAlive()
    {
        line = TLine::KeepAlive;
        Send(QStringLiteral("+v"), TAnswerShape::Version, true);
        DeliverUntil(now + kTimeoutMs, lineExchange);
        EndOrSync();
    }

    void Idle(uint32_t ms)
    {
        DeliverUntil(now + ms, 0);
        if (line == TLine::Sync)
            Sync();
    }

    void HealAll() { faults = {faults.OlderFirmware}; }
    uint32_t Now() const { return now; }

private:
    enum class TLine
    {
        None,
        Command,
        KeepAlive,
        Sync,
    };

    void Send(const QString &text, TAnswerShape shape, bool fresh)
    {
        now = std::max(now, lastSend + kPacingMs);
        lastSend = now;
        sends.Expire(now);
        if (fresh) {
            lineExchange = ++lastExchange;
            if (sends.Empty())
                ClearBuffer();
        }
        sends.Add({text, shape, lineExchange, now, kLifetimeMs});
        sent.push_back({text, shape, lineExchange});
        Hear(sent.size() - 1);
    }

    bool Chance(double p) { return std::uniform_real_distribution<>(0, 1)(rng) < p; }
    uint32_t Between(uint32_t a, uint32_t b)
    {
        return std::uniform_int_distribution<uint32_t>(a, b)(rng);
    }

    // The unit's side: what it answers to a send it heard, when.
    void Hear(size_t send)
    {
        const bool stalled = now >= faults.StallFrom && now < faults.StallTo;
        if (stalled || Chance(faults.LoseSend))
            return;
        QString text = AnswerTo(sent[send]);
        if (Chance(faults.LoseAnswer))
            return;
        if (Chance(faults.Garble))
            text = Garbled(text);
        uint32_t latency = Between(1, kTimeoutMs / 3);
        if (Chance(faults.Late))
            latency = Chance(0.8) ? Between(kTimeoutMs * 3 / 2, kTimeoutMs * 7 / 2)
                                  : Between(4 * kTimeoutMs, kLifetimeMs / 2);
        lastArrival = std::max(lastArrival, now + latency);
        arrivals.push_back({lastArrival, text, send});
    }

    QString AnswerTo(const TSent &s) const
    {
        switch (s.Shape) {
        case TAnswerShape::Version:
            return ValueAnswer(s.Text, QStringLiteral("REV 07.505.017"));
        case TAnswerShape::Value:
            return ValueAnswer(s.Text, ValueOf(s.Text));
        default:
            return QStringLiteral("\r\nOK\r\n");
        }
    }

    QString ValueAnswer(const QString &command, const QString &value) const
    {
        const QString named = faults.OlderFirmware ? QString() : QStringLiteral("\r\n") + command;
        return named + QStringLiteral("\r\n>") + value + QStringLiteral("\r\nOK\r\n");
    }

    // Every command has a value of its own.
    static QString ValueOf(const QString &command)
    {
        return QString::number(qHash(command) % 0xFFFF, 16).toUpper().rightJustified(4, '0');
    }

    // As the line garbles: a value's characters turn to others, an "OK" loses its letters.
    static QString Garbled(QString text)
    {
        const qsizetype gt = text.indexOf(QLatin1Char('>'));
        if (gt < 0)
            return text.replace(QLatin1String("OK"), QLatin1String("0X"));
        for (qsizetype i = gt + 1; i < text.size() && text[i] != QLatin1Char('\r'); ++i)
            text[i] = QLatin1Char('#');
        return text;
    }

    uint32_t OnLine() const
    {
        if (line == TLine::Sync)
            return syncSends > 0 ? lineExchange : 0;
        return line == TLine::None ? 0 : lineExchange;
    }

    // Answers arrive until `deadline`, or until `exchange` (0: none) has been credited one.
    bool DeliverUntil(uint32_t deadline, uint32_t exchange)
    {
        while (!arrivals.empty() && arrivals.front().At <= deadline) {
            const TArrival a = arrivals.front();
            arrivals.pop_front();
            now = std::max(now, a.At);
            if (line == TLine::None && sends.Empty())
                continue; // nothing awaited: the engine only logs it
            buffer += a.Text;
            segments.push_back({a.Send, a.Text.size()});
            QString answer;
            while (TReplyDecoder::TakeOkAnswer(buffer, answer)) {
                const size_t last = Consume(answer.size());
                const uint32_t onLine = OnLine();
                const std::optional<uint32_t> owner = sends.TakeAnswered(answer, onLine, now);
                if (onLine != 0 && owner == onLine) {
                    lastCredit = last;
                    if (onLine == exchange)
                        return true;
                    line = TLine::None;
                } else if (line == TLine::None && sends.Doubt()) {
                    line = TLine::Sync;
                    syncSends = 0;
                }
            }
        }
        now = std::max(now, deadline);
        return false;
    }

    // Takes `length` characters off the gathered text's sources: the send whose answer ends there.
    size_t Consume(qsizetype length)
    {
        size_t last = 0;
        while (length > 0 && !segments.empty()) {
            auto &[send, left] = segments.front();
            last = send;
            const qsizetype taken = std::min(left, length);
            left -= taken;
            length -= taken;
            if (left == 0)
                segments.pop_front();
        }
        return last;
    }

    void ClearBuffer()
    {
        buffer.clear();
        segments.clear();
    }

    // A command credited an answer: a write only its own "OK", a read only a value of its own
    // command.
    void Check(const QString &text, TAnswerShape shape, uint32_t exchange)
    {
        const TSent &source = sent[lastCredit];
        const bool right =
            shape == TAnswerShape::Value ? source.Text == text : source.Exchange == exchange;
        if (!right)
            Failures << QStringLiteral("%1 credited the answer to %2 at %3 ms")
                            .arg(text, source.Text)
                            .arg(now);
    }

    void EndOrSync()
    {
        line = TLine::None;
        sends.Expire(now);
        if (sends.Empty())
            ClearBuffer();
        if (!sends.AllTellTheirSends() || sends.Doubt()) {
            line = TLine::Sync;
            syncSends = 0;
            Sync();
        }
    }

    void Sync()
    {
        for (syncSends = 0; syncSends < 2 && line == TLine::Sync;) {
            Send(QStringLiteral("+v"), TAnswerShape::Version, syncSends++ == 0);
            if (DeliverUntil(now + kTimeoutMs, lineExchange))
                break;
        }
        line = TLine::None;
    }

    std::mt19937 rng;
    TFaults faults;
    TUnansweredSends sends;
    std::vector<TSent> sent;
    std::deque<TArrival> arrivals;
    std::deque<std::pair<size_t, qsizetype>> segments;
    QString buffer;
    TLine line = TLine::None;
    uint32_t now = 1000, lastSend = 0, lastArrival = 0;
    uint32_t lineExchange = 0, lastExchange = 0;
    int syncSends = 0;
    size_t lastCredit = 0;
};

const QStringList kReads = {"+object", "+latit", "+longit", "+timefix", "+turn", "+qsafe"};
const QStringList kWrites = {"+object0917", "+latit00E6", "+timefix05",
                             "+turn00",     "+qsafeFF",   "+timegps1E"};

} // namespace

class TestAttribution : public QObject
{
    Q_OBJECT

private slots:
    // Several thousand scenarios: no command is ever credited another send's answer, and once
    // the faults have ended and the lifetime of a send has passed, every exchange is credited
    // again, on its first send after the first few.
    void noAnswerIsCreditedToAnotherSend()
    {
        int scenarios = 0, credited = 0;
        for (uint32_t seed = 1; seed <= 3000; ++seed) {
            std::mt19937 pick(seed);
            const auto chance = [&](double p) {
                return std::uniform_real_distribution<>(0, 1)(pick) < p;
            };
            TFaults faults;
            faults.OlderFirmware = chance(0.5);
            faults.LoseSend = chance(0.5) ? 0.1 : 0;
            faults.LoseAnswer = chance(0.5) ? 0.1 : 0;
            faults.Garble = chance(0.5) ? 0.1 : 0;
            faults.Late = chance(0.6) ? 0.2 : 0;
            if (chance(0.3)) {
                faults.StallFrom = 1000 + pick() % 20000;
                faults.StallTo = faults.StallFrom + 1500 + pick() % 6000;
            }
            TLineModel line(seed, faults);
            for (int step = 0; step < 40; ++step) {
                const int what = int(pick() % 10);
                if (what < 4)
                    line.Command(kReads[pick() % kReads.size()], TAnswerShape::Value);
                else if (what < 8)
                    line.Command(kWrites[pick() % kWrites.size()], TAnswerShape::Plain);
                else if (what == 8)
                    line.KeepAlive();
                else
                    line.Idle(pick() % 3000);
            }
            line.HealAll();
            line.Idle(kLifetimeMs + 2 * kTimeoutMs);
            const int firstSendsBefore = line.FirstSendCredits;
            int healthy = 0;
            for (int step = 0; step < 12; ++step) {
                const bool read = step % 2 == 0;
                healthy += line.Command(read ? kReads[step % kReads.size()]
                                             : kWrites[step % kWrites.size()],
                                        read ? TAnswerShape::Value : TAnswerShape::Plain)
                               ? 1
                               : 0;
            }
            const QString where = QStringLiteral("seed %1").arg(seed);
            QVERIFY2(line.Failures.isEmpty(), qPrintable(where + ": " + line.Failures.join("; ")));
            QVERIFY2(healthy == 12, qPrintable(where + ": healthy " + QString::number(healthy)));
            QVERIFY2(line.FirstSendCredits - firstSendsBefore >= 10, qPrintable(where));
            ++scenarios;
            credited += line.Credited;
        }
        QCOMPARE(scenarios, 3000);
        QVERIFY(credited > 3000 * 12);
    }
};

QTEST_GUILESS_MAIN(TestAttribution)
#include "tst_attribution.moc"
