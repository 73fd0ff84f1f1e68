#pragma once

// The GPRS page: data channels, servers and alarm phones.

#include "pages/PageFrame.h"

class TGPRSSettingsFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 1;

    explicit TGPRSSettingsFrame(QWidget *parent = nullptr);
};
