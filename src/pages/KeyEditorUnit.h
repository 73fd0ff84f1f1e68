#pragma once

// The key reader: a small modal dialog that edits one touch-memory key and can fetch the key
// held to the unit's reader through the single-command service. Both key pages open it from
// their key lists ("Изменить ключ"); the list actions they share are here too.

#include <QDialog>
#include <QPointer>
#include <QString>

#include <memory>

class QAction;
class QTableWidget;
class TCommandDoneEvent;

namespace Ui {
class TKeyReaderForm;
}

class TKeyReaderForm : public QDialog
{
    Q_OBJECT
public:
    explicit TKeyReaderForm(QWidget *parent = nullptr);
    ~TKeyReaderForm() override;

    QString Key;                 // the key in, and out after OK
    QPointer<QObject> TargetWnd; // serves the key request (the main window)

protected:
    void showEvent(QShowEvent *event) override;
    void customEvent(QEvent *event) override;

private:
    void FormShow();
    void ReadBtnClick();
    void OkBtnClick();
    void CancelBtnClick();
    void WMCommandDone(const TCommandDoneEvent &done);

    std::unique_ptr<Ui::TKeyReaderForm> ui;
};

namespace KeyListActions {

// Puts the actions into the list's pop-up menu and binds "Изменить ключ" and "Очистить ключ".
void Bind(QTableWidget &list, QAction *addKey, QAction *changeKey, QAction *clearKey,
          const QPointer<QObject> &targetWnd);

// Opens the key reader for the current row when the value column is current; OK takes its key.
void ChangeKeyExecute(QTableWidget &list, QObject *targetWnd);
// Empties the current row's value.
void ClearKeyExecute(QTableWidget &list);

} // namespace KeyListActions
