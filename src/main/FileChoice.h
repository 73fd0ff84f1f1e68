#pragma once

// A file dialog that runs without an event loop of its own: a page transfer that is running when
// the user opens it goes on, instead of waiting below the dialog until it closes.

#include <QFileDialog>
#include <QString>

#include <functional>

class QWidget;

// Opens a modal file dialog over `parent` (`proposed` selected, when given) and hands the chosen
// path to `chosen` once the user accepts; nothing happens when the user cancels.
void AskFileName(QWidget *parent, QFileDialog::AcceptMode mode, const QString &proposed,
                 std::function<void(const QString &path)> chosen);
