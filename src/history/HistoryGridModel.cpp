#include "history/HistoryGridModel.h"

#include "history/HistoryRecord.h"
#include "settings/Delphi.h"

THistoryGridModel::THistoryGridModel(QObject *parent) : THistoryRecordsModel(parent) {}

void THistoryGridModel::SetTitles(const QStringList &Titles)
{
    beginResetModel();
    titles = Titles;
    Records().clear();
    cachedRow = -1;
    endResetModel();
}

void THistoryGridModel::SetRecords(THistoryVariant Variant,
                                   const QVector<THistoryRecordText> &Records)
{
    QVector<THistoryRecordText> fitting;
    fitting.reserve(Records.size());
    for (const THistoryRecordText &record : Records) {
        if (HistoryRows::RecordFits(Variant, record.Record))
            fitting.append(record);
    }
    variant = Variant;
    degrees = true;
    cachedRow = -1;
    ReplaceRecords(std::move(fitting));
}

void THistoryGridModel::Clear()
{
    cachedRow = -1;
    ReplaceRecords({});
}

void THistoryGridModel::SetCoordinatesAsDegrees(bool Degrees)
{
    degrees = Degrees;
    if (!Records().isEmpty())
        emit dataChanged(index(0, HistoryRows::LatitudeColumn),
                         index(rowCount() - 1, HistoryRows::LongitudeColumn), {Qt::DisplayRole});
}

QStringList THistoryGridModel::RowTexts(int Row) const
{
    if (Row < 0 || Row >= Records().size())
        return {};
    if (Row != cachedRow) {
        const THistoryRecordText &record = Records()[Row];
        try {
            cachedTexts = builder.ComposeRow(variant, record.Label, record.Record);
        } catch (const EConvertError &) {
            cachedTexts = QStringList{record.Label};
        }
        cachedRow = Row;
    }
    return cachedTexts;
}

int THistoryGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(titles.size());
}

QVariant THistoryGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= Records().size())
        return {};
    const int column = index.column();
    const bool coordinate =
        column == HistoryRows::LatitudeColumn || column == HistoryRows::LongitudeColumn;
    if (role == ObjectRole && coordinate) {
        const QString &record = Records()[index.row()].Record;
        return column == HistoryRows::LatitudeColumn ? HistoryRecord::RawLatitude(record)
                                                     : HistoryRecord::RawLongitude(record);
    }
    if (role != Qt::DisplayRole)
        return {};
    if (coordinate && !degrees)
        return IntToHex(data(index, ObjectRole).toInt(), 8);
    return RowTexts(index.row()).value(column);
}

QVariant THistoryGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return titles.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
