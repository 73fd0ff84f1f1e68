#pragma once

// The CAN page: CAN data format, user parameters and vehicle selection.

#include "pages/PageFrame.h"

#include <QPointer>

class QTabWidget;

class TCANFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 5;

    explicit TCANFrame(QWidget *parent = nullptr);

    // The sheets of the page control: the J1939 standard sheet (removed at start), the user
    // parameters sheet and the vehicle selection sheet.
    QTabWidget *PageControl1() const { return pageControl; }
    QWidget *UserSetSheet() const { return userSetSheet; }
    QWidget *CarSelectSheet() const { return carSelectSheet; }
    void RemoveStandartSetSheet();
    void SetCarSelectSheetTabVisible(bool Visible);

private:
    QTabWidget *pageControl;
    QPointer<QWidget> standartSetSheet;
    QWidget *userSetSheet;
    QWidget *carSelectSheet;
};
