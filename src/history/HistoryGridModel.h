#pragma once

// The rows of the history grid: one decoded record per row in the layout of the unit. Records
// are kept as the unit sent them and decoded when a view asks for a row, so a full unit's
// history costs little memory and fills at once.
//
// Columns 2 and 3 carry their raw 32-bit coordinate field as the cell's object (ObjectRole) and
// show either the degree text or the field as eight hex digits.

#include "history/HistoryRecordsModel.h"
#include "history/HistoryRows.h"

#include <QStringList>

class THistoryGridModel : public THistoryRecordsModel
{
    Q_OBJECT
public:
    static constexpr int ObjectRole = Qt::UserRole;

    explicit THistoryGridModel(QObject *parent = nullptr);

    // A new header; every row goes.
    void SetTitles(const QStringList &Titles);
    QStringList Titles() const { return titles; }
    // The records that fit Variant become the rows, in the order given.
    void SetRecords(THistoryVariant Variant, const QVector<THistoryRecordText> &Records);
    void Clear();
    // Degrees (the rows as composed) or the raw fields in hex.
    void SetCoordinatesAsDegrees(bool Degrees);
    bool CoordinatesAsDegrees() const { return degrees; }

    // The cell texts of one row as composed (degrees in columns 2 and 3).
    QStringList RowTexts(int Row) const;

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QStringList titles;
    THistoryVariant variant = THistoryVariant::None;
    bool degrees = true;
    THistoryRowBuilder builder;
    // Views ask cell by cell along a row: the last row composed is kept.
    mutable int cachedRow = -1;
    mutable QStringList cachedTexts;
};
