#include "pages/ResultMarkers.h"

namespace ResultMarkers {

namespace {

QString ValueOf(const QString &line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.mid(eq + 1);
}

} // namespace

bool IsMarker(const QString &cell)
{
    return cell == ReadError || cell == WriteError;
}

QString LineValue(const QStringList &lines, int row)
{
    return row >= 1 && row <= lines.size() ? ValueOf(lines[row - 1]) : QString();
}

QStringList LinesToStore(const QStringList &shown, const QStringList &stored)
{
    QStringList lines;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (!IsMarker(ValueOf(shown[i])))
            lines << shown[i];
        else if (i < stored.size())
            lines << stored[i];
        else
            lines << shown[i].left(shown[i].indexOf(QLatin1Char('=')) + 1);
    }
    return lines;
}

} // namespace ResultMarkers
