#pragma once

// The texts a value list shows in a row's cell when its read or write failed. They are shown
// only: a cell that holds exactly a marker is never sent to the unit nor stored as a value.

#include <QString>
#include <QStringList>

namespace ResultMarkers {

inline const QString ReadError = QStringLiteral("Read error");
inline const QString WriteError = QStringLiteral("Error write");

bool IsMarker(const QString &cell);

// The value of "key=value" line `row` (from 1) of `lines`; "" when there is no such line.
QString LineValue(const QStringList &lines, int row);

// The "key=value" lines of a value list to store: a line whose value is a marker keeps the value
// of the same line in `stored` (or an empty value when `stored` has no such line).
QStringList LinesToStore(const QStringList &shown, const QStringList &stored);

} // namespace ResultMarkers
