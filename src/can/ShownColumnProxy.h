#pragma once

// One column of a table model, as a list: a combo box that shows that column then offers only it,
// also to a screen reader, which reads every column of the model it is given.

#include <QSortFilterProxyModel>

class TShownColumnProxy : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    TShownColumnProxy(QAbstractItemModel *Source, int Column, QObject *parent = nullptr);

protected:
    bool filterAcceptsColumn(int SourceColumn, const QModelIndex &SourceParent) const override;

private:
    int Column;
};
