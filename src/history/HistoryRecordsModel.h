#pragma once

// The common ground of the history grid and raw view: a table over records as read, whose rows
// are replaced without a model reset (a reset would also put the views' column widths back).

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

// One record as read: its label ("00049[x0031]") and its text.
struct THistoryRecordText
{
    QString Label;
    QString Record;
};

class THistoryRecordsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;

protected:
    void ReplaceRecords(QVector<THistoryRecordText> Records);
    const QVector<THistoryRecordText> &Records() const { return records; }
    QVector<THistoryRecordText> &Records() { return records; }

private:
    QVector<THistoryRecordText> records;
};
