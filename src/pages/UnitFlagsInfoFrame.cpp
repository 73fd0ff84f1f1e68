#include "pages/UnitFlagsInfoFrame.h"

TFlagsInfoFrame::TFlagsInfoFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("FlagsInfoFrame"), parent)
{}
