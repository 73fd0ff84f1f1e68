#include "pages/PageData.h"

#include "settings/funcs.h"

#include <string>

TPageData::TPageData(int Rows, int Cols, const QVariant &Fill)
{
    if (Rows <= 0 || Cols <= 0)
        return;
    rows = Rows;
    cols = Cols;
    cells = QList<QVariant>(qsizetype(rows) * cols, Fill);
}

QVariant &TPageData::operator()(int Row, int Col)
{
    return cells[IndexOf(Row, Col)];
}

const QVariant &TPageData::operator()(int Row, int Col) const
{
    return cells[IndexOf(Row, Col)];
}

void TPageData::Fill(const QVariant &Value)
{
    cells.fill(Value);
}

void TPageData::Clear()
{
    rows = 0;
    cols = 0;
    cells.clear();
}

qsizetype TPageData::IndexOf(int Row, int Col) const
{
    if (Row < 1 || Row > rows || Col < 1 || Col > cols)
        throw EPageDataRange("PageData cell [" + std::to_string(Row) + "," + std::to_string(Col) +
                             "] outside [1.." + std::to_string(rows) + ",1.." +
                             std::to_string(cols) + "]");
    return qsizetype(Row - 1) * cols + (Col - 1);
}

QList<int> RowsNotCarriedInOneLine(const TPageData &Write)
{
    QList<int> rows;
    if (Write.ColCount() < 3)
        return rows;
    for (int r = 1; r <= Write.RowCount(); ++r) {
        const QVariant &value = Write(r, 2);
        if (Write(r, 3).toInt() != -1 && value.typeId() == QMetaType::QString &&
            !CarriedInOneLine(value.toString()))
            rows << Write(r, 1).toInt();
    }
    return rows;
}
