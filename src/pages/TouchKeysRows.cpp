#include "pages/TouchKeysRows.h"

#include "device/Commands.h"
#include "pages/ResultMarkers.h"
#include "settings/Delphi.h"

namespace TouchKeysRows {

namespace {

QString FormatCommand(int code, const QVariantList &args)
{
    return Format(GetCommandText(code), args);
}

} // namespace

QString SwitchText(bool on)
{
    return on ? QStringLiteral("00") : QStringLiteral("FF");
}

QString KeyWriteText(const QString &cell)
{
    return cell.trimmed().isEmpty() ? QString(KeyLength, QLatin1Char('0')) : cell;
}

std::optional<QChar> KeyCharFilter(QChar c)
{
    if (c == QLatin1Char('\b') || c == QLatin1Char('$') ||
        (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
        (c >= QLatin1Char('A') && c <= QLatin1Char('F')))
        return c;
    if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        return c.toUpper();
    return std::nullopt;
}

bool KeysFit(const QStringList &keys)
{
    for (const QString &key : keys)
        if (key.size() > KeyLength)
            return false;
    return true;
}

QString ExtractKeyText(const QString &reply)
{
    const qsizetype gt = reply.indexOf(QLatin1Char('>'));
    const qsizetype start = gt < 0 ? 0 : gt + 1;
    const qsizetype cr = reply.indexOf(QLatin1Char('\r'), start);
    return cr < 0 ? QString() : reply.mid(start, cr - start);
}

int ReadCode(int row)
{
    return row == 1 ? SwitchReadCode : KeyReadCode;
}

QString ReadCommandText(int row)
{
    return row == 1 ? GetCommandText(SwitchReadCode)
                    : FormatCommand(KeyReadCode, {row - FirstKeyRow});
}

int WriteCode(int row)
{
    return row == 1 ? SwitchWriteCode : KeyWriteCode;
}

QString WriteCommandText(int row, const QVariant &value)
{
    return row == 1 ? FormatCommand(SwitchWriteCode, {value.toString()})
                    : FormatCommand(KeyWriteCode, {row - FirstKeyRow, value.toString()});
}

void FillKeyRows(TPageData &v, int firstRow, const QStringList &keys)
{
    for (int i = 0; i < KeyCount && i < keys.size(); ++i) {
        if (ResultMarkers::IsMarker(keys[i]))
            continue;
        const int row = firstRow + i;
        v(row, 1) = row;
        v(row, 2) = KeyWriteText(keys[i]);
        v(row, 3) = i;
    }
}

TPageData WriteRows(bool keysOn, const QStringList &keys)
{
    TPageData v(RowCount, 3, QVariant());
    for (int r = 1; r <= RowCount; ++r)
        v(r, 3) = -1;
    v(1, 1) = 1;
    v(1, 2) = SwitchText(keysOn);
    v(1, 3) = 1;
    if (keysOn)
        FillKeyRows(v, FirstKeyRow, keys);
    return v;
}

} // namespace TouchKeysRows
