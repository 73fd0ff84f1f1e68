#include "pages/UnitGPSSettingsFrame.h"

TGPSSettingsFrame::TGPSSettingsFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("GPSSettingsFrame"), parent)
{}
