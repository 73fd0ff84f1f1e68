#include "can/ShownColumnProxy.h"

TShownColumnProxy::TShownColumnProxy(QAbstractItemModel *Source, int Column, QObject *parent)
    : QSortFilterProxyModel(parent), Column(Column)
{
    setSourceModel(Source);
}

bool TShownColumnProxy::filterAcceptsColumn(int SourceColumn, const QModelIndex &) const
{
    return SourceColumn == Column;
}
