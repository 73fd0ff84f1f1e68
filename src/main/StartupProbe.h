#pragma once

// Start-up timing: prints, once, how long the program took from the start of main() to the first
// exposure of a window, and ends the program. Switched on by the environment variable
// W9CAN_STARTUP_PROBE, for measuring the start-up.

#include <QObject>

#include <chrono>

class QWidget;

class TStartupProbe : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *Switch = "W9CAN_STARTUP_PROBE";

    // Watches `window`, which is not shown yet.
    TStartupProbe(const QWidget *window, std::chrono::steady_clock::time_point started);
    ~TStartupProbe() override;

    static bool Wanted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const QWidget *window;
    std::chrono::steady_clock::time_point started;
    bool printed = false;
};
