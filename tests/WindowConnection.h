#pragma once

// The real main window connected over the cable to a simulated unit, as the user's Connect does.

#include "SimConnection.h"
#include "WidgetDriver.h"
#include "main/Main.h"
#include "main/MainConnection.h"

// Starts the unit, connects the window to it and waits for the identification to end; the unit's
// log is cleared after.
inline bool ConnectWindow(TMainForm &form, unitsim::UnitSimulator &sim,
                          const unitsim::UnitSimOptions &options = CableUnit())
{
    if (!sim.start(options))
        return false;
    TConnectChoice choice;
    choice.PortName = sim.portPath();
    form.Connection().Connect(choice);
    const bool identified = QTest::qWaitFor(
        [&form] {
            return FindAction(form, "ReadPageAction")->isEnabled() &&
                   !form.Engine().Identity.IMEI.isEmpty() && !form.Engine().IsPending();
        },
        5000);
    sim.clearLog();
    return identified;
}
