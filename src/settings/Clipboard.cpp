#include "settings/funcs.h"

#include <QClipboard>
#include <QGuiApplication>

void CopyTextToClipboard(const QString &text)
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) == nullptr)
        return;
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}
