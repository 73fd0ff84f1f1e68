#include "pages/UnitGPRSSettingsFrame.h"

TGPRSSettingsFrame::TGPRSSettingsFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("GPRSSettingsFrame"), parent)
{}
