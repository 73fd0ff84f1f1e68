#pragma once

// What the user pastes or drops into a one-line edit comes in without line breaks and other
// control characters: a cell copied from a spreadsheet arrives as "internet\n", and a CR inside a
// text would end its command to the unit early. They are left out on the way in; the rest lands
// where QLineEdit puts a paste or a drop, is cut by the edit's maxLength and undoes in one step.
// Texts without control characters are left to QLineEdit.

#include <QClipboard>
#include <QObject>

class QContextMenuEvent;
class QDropEvent;
class QLineEdit;
class QWidget;

class TOneLinePaste : public QObject
{
    Q_OBJECT
public:
    // Watches the edit's pastes and drops (once however often it is called).
    static void Install(QLineEdit *edit);
    // Watches every line edit under `parent`.
    static void InstallAll(QWidget *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit TOneLinePaste(QLineEdit *edit);

    bool Intercept(QEvent *event);
    // The clipboard's text of `mode` pasted without its control characters; false (nothing done)
    // when it holds none.
    bool PasteOneLine(QClipboard::Mode mode);
    // The edit's own menu, its "Paste" taking one line.
    void ShowContextMenu(const QContextMenuEvent &event);
    // The dropped text handed to the edit without its control characters; false (nothing done)
    // when it holds none.
    bool DropOneLine(QDropEvent &drop);
    void InsertAsOneUndoStep(const QString &text);
    void CloseUndoStep();

    QLineEdit *Edit;
};
