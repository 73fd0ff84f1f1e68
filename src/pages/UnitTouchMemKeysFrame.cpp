#include "pages/UnitTouchMemKeysFrame.h"

TTouchMemKeysFrame::TTouchMemKeysFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("TouchMemKeysFrame"), parent)
{}
