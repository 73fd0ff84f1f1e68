#pragma once

// What a page may ask of the main window, handed to it by the window that creates it. A page
// without a window, or with a hook left empty, acts on itself only.

#include <QPointer>
#include <QString>

#include <functional>
#include <utility>

class QObject;
class QWidget;

struct TWindowHooks
{
    // The identified unit's type and firmware number; (0, 0) before an identification.
    std::function<std::pair<int, int>()> DeviceModel;
    // True while a page transfer reads the pages.
    std::function<bool()> Reading;
    // Serves the page's single-command requests.
    QPointer<QObject> CommandTarget;
    // Sends a command at once, without waiting for the unit's answer; false without a connection.
    std::function<bool(const QString &Text)> SendDirectCommand;
    // The CAN page's controls that the Events page's sensor and ignition boxes act on.
    std::function<QWidget *(const QString &Name)> CANPageControl;
    std::function<void(int Param, bool Enabled)> SetCANParamEnabled;
    std::function<void()> SetCANFormatSecond;

    int DeviceType() const { return DeviceModel ? DeviceModel().first : 0; }
    int DeviceVersion() const { return DeviceModel ? DeviceModel().second : 0; }
    bool SendNow(const QString &Text) const { return SendDirectCommand && SendDirectCommand(Text); }
};
