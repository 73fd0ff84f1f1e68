#pragma once

// What the pages show of themselves for a unit of a given type and firmware number: a list of
// controls, each named by its page and object name, with what to do to it. Controls not listed
// keep whatever an earlier unit (or the start-up) left.

#include <QList>
#include <QString>

struct TDeviceModelCell
{
    enum TAction
    {
        Show,
        Hide,
        EnableFirstItem, // enabled, item 0 chosen without running its change handler
        DisableFirstItem // disabled, item 0 chosen likewise
    };

    int PageTag;
    QString Control;
    TAction Action;

    bool operator==(const TDeviceModelCell &other) const = default;
};

// The cells for a unit; empty for a type or version the table leaves alone (identification
// adapts the pages only for type 505 and for type 504 from version 36 to 999).
QList<TDeviceModelCell> DeviceModelCells(int DeviceType, int Version);
