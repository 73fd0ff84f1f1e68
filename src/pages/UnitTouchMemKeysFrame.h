#pragma once

// The touch-memory keys page: the keys the unit accepts.

#include "pages/PageFrame.h"

class TTouchMemKeysFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 8;

    explicit TTouchMemKeysFrame(QWidget *parent = nullptr);
};
