#pragma once

// Driving a window as the user does: its actions by name, keys to whatever has the focus.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

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

// Answers every message box that opens while it lives with `Answer` (OK unless set), as the user's
// click would, and keeps their texts.
class MessageBoxCatcher : public QObject
{
public:
    QStringList Texts;
    QMessageBox::StandardButton Answer = QMessageBox::Ok;

    MessageBoxCatcher()
    {
        timer.setInterval(5);
        connect(&timer, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                Texts << box->text();
                if (QAbstractButton *button = box->button(Answer))
                    button->click();
                else
                    box->done(Answer);
            }
        });
        timer.start();
    }

private:
    QTimer timer;
};
