#pragma once

// The general settings page: unit identity, tracking periods and switches.

#include "pages/PageFrame.h"

class TGeneralSettingsFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 0;

    explicit TGeneralSettingsFrame(QWidget *parent = nullptr);
};
