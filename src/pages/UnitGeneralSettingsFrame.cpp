#include "pages/UnitGeneralSettingsFrame.h"

TGeneralSettingsFrame::TGeneralSettingsFrame(QWidget *parent)
    : TPageFrame(PageTag, QStringLiteral("GeneralSettingsFrame"), parent)
{}
