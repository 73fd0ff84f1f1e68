#include "can/SPNSelectUnit.h"

#include "ui_SPNSelectUnit.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSqlQueryModel>
#include <QSqlRecord>

#include <algorithm>

TSPNSelectForm::TSPNSelectForm(const QSqlDatabase &Connection, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TSPNSelectForm>()), connection(Connection),
      query(new QSqlQueryModel(this))
{
    ui->setupUi(this);
    ui->DBGrid->setModel(query);
    // Key preview: Enter, Up and Down act on the list whichever control has the focus.
    const std::initializer_list<QWidget *> controls{ui->ValueEdit, ui->DBGrid, ui->ByIndex,
                                                    ui->ByName};
    for (QWidget *control : controls)
        control->installEventFilter(this);
    ui->Panel1->installEventFilter(this);
    connect(ui->ByIndex, &QRadioButton::clicked, this, &TSPNSelectForm::ModeClick);
    connect(ui->ByName, &QRadioButton::clicked, this, &TSPNSelectForm::ModeClick);
    connect(ui->ValueEdit, &QLineEdit::textChanged, this, &TSPNSelectForm::ValueEditChange);
    connect(ui->DBGrid, &QAbstractItemView::doubleClicked, this, &TSPNSelectForm::Choose);
    ResetQuery();
    LayOutRadioButtons();
}

TSPNSelectForm::~TSPNSelectForm() = default;

bool TSPNSelectForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->Panel1 && event->type() == QEvent::Resize) {
        LayOutRadioButtons();
    } else if (event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            Choose();
            return true;
        case Qt::Key_Up:
            MoveChoice(-1);
            return true;
        case Qt::Key_Down:
            MoveChoice(1);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// The list was first opened before the dialog had its size.
void TSPNSelectForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    SizeColumns();
}

void TSPNSelectForm::ModeClick()
{
    searchByIndex = ui->ByIndex->isChecked();
    {
        const QSignalBlocker quiet(ui->ValueEdit);
        ui->ValueEdit->clear();
    }
    ResetQuery();
}

void TSPNSelectForm::ValueEditChange()
{
    OpenQuery(ui->ValueEdit->text());
}

void TSPNSelectForm::ResetQuery()
{
    OpenQuery(QString());
}

void TSPNSelectForm::OpenQuery(const QString &text)
{
    query->setQuery(SPNListQuery(connection, searchByIndex, text));
    if (query->rowCount() > 0)
        ui->DBGrid->selectRow(0);
    SizeColumns();
}

// The name takes what the number leaves of the grid's width.
void TSPNSelectForm::SizeColumns()
{
    const int number = searchByIndex ? 0 : 1;
    const int name = 1 - number;
    const int width = ui->DBGrid->viewport()->width() - ui->DBGrid->columnWidth(number) - 20;
    ui->DBGrid->setColumnWidth(name, std::max(width, 0));
}

// Each button takes half of the panel.
void TSPNSelectForm::LayOutRadioButtons()
{
    const int half = ui->Panel1->width() / 2;
    ui->ByIndex->setGeometry(1, ui->ByIndex->y(), half - 2, ui->ByIndex->height());
    ui->ByName->setGeometry(half, ui->ByName->y(), half - 2, ui->ByName->height());
}

// With no row listed there is nothing to choose, and the dialog stays open.
void TSPNSelectForm::Choose()
{
    const int row = ui->DBGrid->currentIndex().row();
    if (row < 0)
        return;
    selectedSPN = query->record(row).value(QStringLiteral("Индекс")).toInt();
    accept();
}

void TSPNSelectForm::MoveChoice(int step)
{
    const int current = ui->DBGrid->currentIndex().row();
    if (step > 0 && current + step >= query->rowCount() && query->canFetchMore())
        query->fetchMore();
    const int row = std::clamp(current + step, 0, query->rowCount() - 1);
    if (row >= 0)
        ui->DBGrid->selectRow(row);
}

bool OpenSPNSelection(TDm &dm, int Tag, TSPNSlots &SPNs, QLineEdit &SPNEdit, QWidget *parent)
{
    const int slot = Tag - 100;
    if (slot < 1 || slot > int(SPNs.size()) || !dm.DbAvailable())
        return false;
    TSPNSelectForm form(dm.Connection(), parent);
    if (form.exec() != QDialog::Accepted)
        return false;
    const TSPNInfo info = dm.GetSPNInfo(form.SelectedSPN());
    SPNEdit.setText(info.Name);
    SPNs[size_t(slot - 1)] = info;
    return true;
}
