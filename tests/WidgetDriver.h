#pragma once

// Driving a window as the user does: its actions by name, keys to whatever has the focus.

#include <QAction>
#include <QApplication>
#include <QTest>

inline QAction *FindAction(const QWidget &window, const char *name)
{
    auto *action = window.findChild<QAction *>(QString::fromLatin1(name));
    if (!action)
        qFatal("no action %s", name);
    return action;
}

inline void PressKey(QWidget &window, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QWidget *focus = QApplication::focusWidget();
    QTest::keyClick(focus && focus->window() == &window ? focus : &window, key, modifiers);
    QCoreApplication::processEvents();
}
