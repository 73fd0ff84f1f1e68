#include "history/UnitHistoryFrame.h"

#include <QVBoxLayout>

THistoryFrame::THistoryFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("HistoryFrame"), parent)
{
    auto *layout = new QVBoxLayout(this);
    panel2 = new QWidget(this);
    panel2->setObjectName(QStringLiteral("Panel2"));
    panel3 = new QWidget(this);
    panel3->setObjectName(QStringLiteral("Panel3"));
    layout->addWidget(panel2);
    layout->addWidget(panel3);
}

void THistoryFrame::LoadGridLayout() {}

void THistoryFrame::SaveGridLayout() {}
