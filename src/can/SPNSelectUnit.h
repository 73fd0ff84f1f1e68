#pragma once

// The SPN selection dialog: the SPNs of the vehicle database, listed by number or by name,
// narrowed as the user types; Enter or a double click chooses, Up and Down move the choice while
// typing. And what the "..." buttons of the CAN page's standard sheet do with it.

#include "can/DMUnit.h"

#include <QDialog>
#include <QSqlDatabase>

#include <memory>

namespace Ui {
class TSPNSelectForm;
}
class QLineEdit;
class QSqlQueryModel;

class TSPNSelectForm : public QDialog
{
    Q_OBJECT
public:
    // Lists the SPNs of `Connection` by index.
    explicit TSPNSelectForm(const QSqlDatabase &Connection, QWidget *parent = nullptr);
    ~TSPNSelectForm() override;

    bool SearchByIndex() const { return searchByIndex; }
    // The chosen SPN, once the dialog was accepted.
    int SelectedSPN() const { return selectedSPN; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::TSPNSelectForm> ui;
    QSqlDatabase connection;
    QSqlQueryModel *query;
    bool searchByIndex = true;
    int selectedSPN = 0;

    void ModeClick();
    void ValueEditChange();
    void ResetQuery();
    void OpenQuery(const QString &text);
    void SizeColumns();
    void LayOutRadioButtons();
    void Choose();
    void MoveChoice(int step);
};

// A "..." button of the standard sheet, Tag 101..104 for slot 1..4: the dialog over the vehicle
// database; on OK the chosen SPN's record goes to the slot and its name to the slot's edit.
// False, with nothing changed, when the dialog is cancelled, the database is unavailable or the
// tag names no slot.
bool OpenSPNSelection(TDm &dm, int Tag, TSPNSlots &SPNs, QLineEdit &SPNEdit,
                      QWidget *parent = nullptr);
