#include "history/HistoryRawModel.h"

THistoryRawModel::THistoryRawModel(QObject *parent) : THistoryRecordsModel(parent) {}

void THistoryRawModel::SetTitles(const QStringList &Titles)
{
    for (int c = 0; c < 2; ++c)
        setHeaderData(c, Qt::Horizontal, Titles.value(c));
}

void THistoryRawModel::SetLines(const QVector<THistoryRecordText> &Lines)
{
    editedValues.clear();
    ReplaceRecords(Lines);
}

QString THistoryRawModel::Pairs(const QString &Text)
{
    QString pairs;
    pairs.reserve(Text.size() + Text.size() / 2);
    for (qsizetype i = 0; i < Text.size(); ++i) {
        pairs += Text[i];
        if (i % 2 == 1)
            pairs += QLatin1Char(' ');
    }
    return pairs;
}

int THistoryRawModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant THistoryRawModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= Records().size() ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    if (index.column() == 0)
        return Records()[index.row()].Label;
    const auto edited = editedValues.constFind(index.row());
    return edited != editedValues.cend() ? *edited : Pairs(Records()[index.row()].Record);
}

bool THistoryRawModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= Records().size() || role != Qt::EditRole)
        return false;
    if (index.column() == 0)
        Records()[index.row()].Label = value.toString();
    else
        editedValues.insert(index.row(), value.toString());
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags THistoryRawModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

QVariant THistoryRawModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return titles.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool THistoryRawModel::setHeaderData(int section, Qt::Orientation orientation,
                                     const QVariant &value, int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section > 1 || role != Qt::EditRole)
        return false;
    titles[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}
