#include "main/StartupProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>

TStartupProbe::TStartupProbe(const QWidget *window, std::chrono::steady_clock::time_point started)
    : window(window), started(started)
{
    // The window's native window does not exist before it is shown: watch every object.
    qApp->installEventFilter(this);
}

TStartupProbe::~TStartupProbe()
{
    qApp->removeEventFilter(this);
}

bool TStartupProbe::Wanted()
{
    return !qEnvironmentVariableIsEmpty(Switch);
}

bool TStartupProbe::eventFilter(QObject *watched, QEvent *event)
{
    if (!printed && event->type() == QEvent::Expose && watched == window->windowHandle() &&
        window->windowHandle()->isExposed()) {
        printed = true;
        const std::chrono::duration<double, std::milli> elapsed =
            std::chrono::steady_clock::now() - started;
        std::printf("startup_ms: %.2f\n", elapsed.count());
        std::fflush(stdout);
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return QObject::eventFilter(watched, event);
}
