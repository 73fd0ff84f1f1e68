#include "pages/UnitEventsSettingsFrame.h"

TEventsSettingsFrame::TEventsSettingsFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("EventsSettingsFrame"), parent)
{}
