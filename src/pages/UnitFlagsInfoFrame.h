#pragma once

// The flags page: the unit's event flags, which the user may clear.

#include "pages/PageFrame.h"

class TFlagsInfoFrame : public TPageFrame
{
    Q_OBJECT
public:
    static constexpr int PageTag = 4;

    explicit TFlagsInfoFrame(QWidget *parent = nullptr);
};
