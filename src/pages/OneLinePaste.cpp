#include "pages/OneLinePaste.h"

#include "settings/funcs.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

namespace {

// The "Paste" of QLineEdit's own menu: named so in later Qt versions, known by its text before.
QAction *PasteAction(const QMenu &menu)
{
    const QString paste = QCoreApplication::translate("QLineEdit", "&Paste");
    for (QAction *action : menu.actions())
        if (action->objectName() == QLatin1String("edit-paste") ||
            action->text().section(QLatin1Char('\t'), 0, 0) == paste)
            return action;
    return nullptr;
}

} // namespace

TOneLinePaste::TOneLinePaste(QLineEdit *edit) : QObject(edit), Edit(edit)
{
    edit->installEventFilter(this);
}

void TOneLinePaste::Install(QLineEdit *edit)
{
    if (!edit->findChild<TOneLinePaste *>({}, Qt::FindDirectChildrenOnly))
        new TOneLinePaste(edit); // owned by the edit
}

void TOneLinePaste::InstallAll(QWidget *parent)
{
    for (QLineEdit *edit : parent->findChildren<QLineEdit *>())
        Install(edit);
}

bool TOneLinePaste::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != Edit || Edit->isReadOnly())
        return false;
    bool taken = false;
    RunGuarded("one-line paste", [&] { taken = Intercept(event); });
    return taken;
}

bool TOneLinePaste::Intercept(QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        return static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste) &&
               PasteOneLine(QClipboard::Clipboard);
    case QEvent::MouseButtonRelease: // the middle button pastes the selection on X11
        return static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton &&
               QGuiApplication::clipboard()->supportsSelection() &&
               PasteOneLine(QClipboard::Selection);
    case QEvent::ContextMenu:
        if (Edit->contextMenuPolicy() != Qt::DefaultContextMenu)
            return false;
        ShowContextMenu(*static_cast<QContextMenuEvent *>(event));
        return true;
    case QEvent::Drop:
        return DropOneLine(*static_cast<QDropEvent *>(event));
    default:
        return false;
    }
}

bool TOneLinePaste::PasteOneLine(QClipboard::Mode mode)
{
    const QString text = QGuiApplication::clipboard()->text(mode);
    const QString line = RemoveCtrlChars(text);
    if (line == text)
        return false;
    if (mode == QClipboard::Selection)
        Edit->deselect(); // the selection's text goes in at the cursor, replacing nothing
    InsertAsOneUndoStep(line);
    return true;
}

void TOneLinePaste::ShowContextMenu(const QContextMenuEvent &event)
{
    QMenu *menu = Edit->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (QAction *paste = PasteAction(*menu)) {
        disconnect(paste, &QAction::triggered, Edit, nullptr);
        connect(paste, &QAction::triggered, this, [this] {
            RunGuarded("one-line paste", [this] {
                if (!PasteOneLine(QClipboard::Clipboard))
                    Edit->paste();
            });
        });
    }
    menu->popup(event.globalPos());
}

bool TOneLinePaste::DropOneLine(QDropEvent &drop)
{
    const QMimeData *data = drop.mimeData();
    if (data == nullptr || !data->hasText())
        return false;
    const QString line = RemoveCtrlChars(data->text());
    if (line == data->text())
        return false;
    QMimeData oneLine;
    oneLine.setText(line);
    QDropEvent forwarded(drop.position(), drop.possibleActions(), &oneLine, drop.buttons(),
                         drop.modifiers());
    forwarded.setDropAction(drop.dropAction());
    Edit->event(&forwarded); // straight to the edit: sent, it would find its drag target instead
    drop.setDropAction(forwarded.dropAction());
    drop.setAccepted(forwarded.isAccepted());
    return true;
}

// QLineEdit::insert joins its text to the typing just before and after it in one undo step, where
// QLineEdit's own paste makes a step of its own.
void TOneLinePaste::InsertAsOneUndoStep(const QString &text)
{
    CloseUndoStep();
    Edit->insert(text);
    CloseUndoStep();
}

// Moving the cursor closes QLineEdit's undo step; the cursor and the selection are put back.
void TOneLinePaste::CloseUndoStep()
{
    if (Edit->text().isEmpty())
        return; // nothing typed stands before or after
    const int cursor = Edit->cursorPosition();
    const int start = Edit->selectionStart();
    const int length = Edit->selectionLength();
    Edit->setCursorPosition(cursor > 0 ? cursor - 1 : cursor + 1);
    Edit->setCursorPosition(cursor);
    if (length > 0)
        cursor == start ? Edit->setSelection(start + length, -length)
                        : Edit->setSelection(start, length);
}
