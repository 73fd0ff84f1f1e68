#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>

namespace unitsim {

// The unit's stored settings, one value text per command word ("latit" -> "00E6"), as the
// unit keeps them: a write stores the text it was given, a read gives it back unchanged.
class UnitSettings
{
public:
    explicit UnitSettings(int deviceType);

    // The longest known word that Text (after the "+") begins with, or "" when none does.
    QByteArray matchWord(const QByteArray &text) const;

    bool contains(const QByteArray &word) const { return m_values.contains(word); }
    QByteArray value(const QByteArray &word) const { return m_values.value(word); }
    void setValue(const QByteArray &word, const QByteArray &value) { m_values[word] = value; }
    QList<QByteArray> words() const { return m_values.keys(); }

private:
    QMap<QByteArray, QByteArray> m_values;
    QList<QByteArray> m_byLength; // longest first, for prefix matching
};

} // namespace unitsim
