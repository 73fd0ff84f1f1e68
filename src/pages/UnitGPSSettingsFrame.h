#pragma once

// The GPS page: receiver reboot without a position fix.

#include "pages/PageFrame.h"

class TGPSSettingsFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 2;

    explicit TGPSSettingsFrame(QWidget *parent = nullptr);
};
