#pragma once

// The engineering numbers page: access numbers and the display link.

#include "pages/PageFrame.h"

class TEngNumbersFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 7;

    explicit TEngNumbersFrame(QWidget *parent = nullptr);
};
