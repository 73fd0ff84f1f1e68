#include "pages/UnitEngNumbersFrame.h"

TEngNumbersFrame::TEngNumbersFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("EngNumbersFrame"), parent)
{}
