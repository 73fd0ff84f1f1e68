#pragma once

// The raw view of a history read: one line per record asked for, "label" and the record's text
// in pairs of hex digits ("AB CD EF "), whatever came back. The value column can be edited.

#include "history/HistoryRecordsModel.h"

#include <QHash>
#include <QStringList>

class THistoryRawModel : public THistoryRecordsModel
{
    Q_OBJECT
public:
    explicit THistoryRawModel(QObject *parent = nullptr);

    void SetTitles(const QStringList &Titles); // the key column's and the value column's
    QStringList Titles() const { return titles; }
    void SetLines(const QVector<THistoryRecordText> &Lines);

    // The text with a blank after every second character.
    static QString Pairs(const QString &Text);

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;

private:
    QStringList titles{QString(), QString()};
    QHash<int, QString> editedValues;
};
