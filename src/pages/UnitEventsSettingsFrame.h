#pragma once

// The events page: recorded and flagged input transitions, modes and outputs.

#include "pages/PageFrame.h"

class TEventsSettingsFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 3;

    explicit TEventsSettingsFrame(QWidget *parent = nullptr);
};
