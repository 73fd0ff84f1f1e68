#include "history/HistoryRecordsModel.h"

int THistoryRecordsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(records.size());
}

void THistoryRecordsModel::ReplaceRecords(QVector<THistoryRecordText> Records)
{
    if (!records.isEmpty()) {
        beginRemoveRows({}, 0, int(records.size()) - 1);
        records.clear();
        endRemoveRows();
    }
    if (Records.isEmpty())
        return;
    beginInsertRows({}, 0, int(Records.size()) - 1);
    records = std::move(Records);
    endInsertRows();
}
