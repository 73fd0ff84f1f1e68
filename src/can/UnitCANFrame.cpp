#include "can/UnitCANFrame.h"

#include <QTabWidget>
#include <QVBoxLayout>

TCANFrame::TCANFrame(QWidget *parent) : TPageFrame(PageTag, QStringLiteral("CANFrame"), parent)
{
    auto *layout = new QVBoxLayout(this);
    pageControl = new QTabWidget(this);
    pageControl->setObjectName(QStringLiteral("PageControl1"));
    auto *standart = new QWidget(pageControl);
    standart->setObjectName(QStringLiteral("StandartSetSheet"));
    standartSetSheet = standart;
    userSetSheet = new QWidget(pageControl);
    userSetSheet->setObjectName(QStringLiteral("UserSetSheet"));
    carSelectSheet = new QWidget(pageControl);
    carSelectSheet->setObjectName(QStringLiteral("CarSelectSheet"));
    pageControl->addTab(standart, QStringLiteral("Настройки протокола J1939-71"));
    pageControl->addTab(userSetSheet, QStringLiteral("Пользовательские настройки"));
    pageControl->addTab(carSelectSheet, QStringLiteral("Выбор автомобиля"));
    layout->addWidget(pageControl);
}

void TCANFrame::RemoveStandartSetSheet()
{
    delete standartSetSheet;
}

void TCANFrame::SetCarSelectSheetTabVisible(bool Visible)
{
    pageControl->setTabVisible(pageControl->indexOf(carSelectSheet), Visible);
}
