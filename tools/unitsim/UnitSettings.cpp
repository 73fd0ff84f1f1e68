#include "unitsim/UnitSettings.h"

#include <algorithm>

namespace unitsim {

namespace {

struct DefaultSetting
{
    const char *word;
    const char *value;
};

// Factory values of a unit fresh from the workshop.
constexpr DefaultSetting kDefaults[] = {
    // position and track
    {"object", "0917"},
    {"latit", "00E6"},
    {"longit", "012C"},
    {"timefix", "01"},
    {"turn", "00"},
    {"qsafe", "FF"},
    {"safemodoff", "FF"},
    {"timegps", "00"},
    {"safemodon", "0A"},
    {"tunfix", "FF"},
    // GPRS
    {"gprsena", "00"},
    {"cashback", "FF"},
    {"tsource", "FF"},
    {"timegpres", "0A"},
    {"servpswd", "quillmop"},
    {"gphone", "+79161234567"},
    {"GAPN", "internet.mts.ru"},
    {"gprsname", "internet"},
    {"gprspswd", "quillmop"},
    {"IPadr", "000.000.000.000"},
    {"IPport", "0"},
    {"maindns0", "000.000.000.000"},
    {"altdns0", "000.000.000.000"},
    {"gphon1", "+79161234567"},
    {"GAP1", "internet.beeline.ru"},
    {"gprsnam1", "internet"},
    {"gprspsw1", "quillmop"},
    {"IPad1", "000.000.000.000"},
    {"IPpor1", "0"},
    {"maindns1", "000.000.000.000"},
    {"altdns1", "000.000.000.000"},
    {"alphon0", " "},
    {"alphon1", " "},
    {"allogic", "3F"},
    // events
    {"zact", "00"},
    {"zren", "00"},
    {"flagact", "00"},
    {"flagren", "0001"},
    {"feedtime", "1E"},
    {"feedpause", "0A"},
    {"init5regim", "0AFF"},
    {"ident4time", "05"},
    {"bsettings", "FF"},
    {"OUTS", "00"},
    {"freqsens", "FF"},
    {"sensflow", "FF"},
    {"canignit", "FF"},
    // engineering numbers and keys
    {"disp", "FF"},
    {"enaing", "FF"},
    {"touchon", "FF"},
    {"idtm", "FF"},
    {"ing0", "+79161112233"},
    {"ing1", " "},
    {"ing2", " "},
    {"ing3", " "},
    {"ing4", " "},
    {"ing5", " "},
    {"ing6", " "},
    {"ing7", " "},
    {"ing8", " "},
    {"ing9", " "},
    // CAN
    {"canuser", "000000000000000000000000"},
    {"carid", "0000"},
    {"zacc", "000000"},
    {"zrec", "000000"},
    // add-on module
    {"qlxfunc", "00"},
    {"qlxregim", "00"},
    {"qlxflag", "00"},
};

} // namespace

UnitSettings::UnitSettings(int deviceType)
{
    for (const DefaultSetting &setting : kDefaults)
        m_values.insert(QByteArray(setting.word), QByteArray(setting.value));
    if (deviceType == 505) {
        m_values["carid"] = "0123";
        m_values["zacc"] = "00000F";
    }
    m_byLength = m_values.keys();
    std::stable_sort(m_byLength.begin(), m_byLength.end(),
                     [](const QByteArray &a, const QByteArray &b) { return a.size() > b.size(); });
}

QByteArray UnitSettings::matchWord(const QByteArray &text) const
{
    for (const QByteArray &word : m_byLength) {
        if (text.startsWith(word))
            return word;
    }
    return {};
}

} // namespace unitsim
