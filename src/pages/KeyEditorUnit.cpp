#include "pages/KeyEditorUnit.h"

#include "pages/ExecCommandEvents.h"
#include "pages/OneLinePaste.h"
#include "pages/TouchKeysRows.h"
#include "pages/ValueListEditor.h"
#include "settings/funcs.h"
#include "ui_KeyEditorUnit.h"

#include <QApplication>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QTableWidget>

#include <exception>

namespace {

void Guarded(const std::function<void()> &body)
{
    RunGuarded("key reader", body);
}

const char *const kReadFailed = "Ошибка чтения, попробуйте еще раз";

} // namespace

TKeyReaderForm::TKeyReaderForm(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TKeyReaderForm>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("KeyReaderForm"));
    layout()->setSizeConstraint(QLayout::SetFixedSize); // a dialog's border: not resizable
    TOneLinePaste::Install(ui->KeyEdit);
    connect(ui->ReadBtn, &QPushButton::clicked, this,
            [this] { Guarded([this] { ReadBtnClick(); }); });
    connect(ui->OkBtn, &QPushButton::clicked, this, [this] { Guarded([this] { OkBtnClick(); }); });
    connect(ui->CancelBtn, &QPushButton::clicked, this,
            [this] { Guarded([this] { CancelBtnClick(); }); });
}

TKeyReaderForm::~TKeyReaderForm() = default;

void TKeyReaderForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Guarded([this] { FormShow(); });
}

void TKeyReaderForm::customEvent(QEvent *event)
{
    if (event->type() == WM_COMMANDDONE)
        Guarded([&] { WMCommandDone(*static_cast<TCommandDoneEvent *>(event)); });
}

void TKeyReaderForm::FormShow()
{
    ui->KeyEdit->setText(Key);
}

// The dialog stays open and usable while the request is served.
void TKeyReaderForm::ReadBtnClick()
{
    PostExecCommand(TargetWnd, TouchKeysRows::PresentedKeyCode, this);
}

// An answer that came without a reply, or that a later request has overtaken, leaves the key
// as it was.
void TKeyReaderForm::WMCommandDone(const TCommandDoneEvent &done)
{
    if (!done.IsCurrent() || done.Record.Status == 0) {
        QMessageBox::critical(this, QApplication::applicationName(),
                              QString::fromUtf8(kReadFailed));
        return;
    }
    Key = TouchKeysRows::ExtractKeyText(done.Record.Text());
    ui->KeyEdit->setText(Key);
}

void TKeyReaderForm::OkBtnClick()
{
    Key = ui->KeyEdit->text();
    accept();
}

void TKeyReaderForm::CancelBtnClick()
{
    Key.clear();
    reject();
}

namespace KeyListActions {

void Bind(QTableWidget &list, QAction *addKey, QAction *changeKey, QAction *clearKey,
          const QPointer<QObject> &targetWnd)
{
    auto *popup = new QMenu(&list);
    popup->setObjectName(QStringLiteral("KeyTablePopup"));
    popup->addActions({addKey, changeKey, clearKey});
    QObject::connect(
        &list, &QWidget::customContextMenuRequested, popup,
        [&list, popup](const QPoint &at) { popup->popup(list.viewport()->mapToGlobal(at)); });
    // The target is read when the action runs: the main window sets it after creating the page.
    const QPointer<QObject> *target = &targetWnd;
    QObject::connect(changeKey, &QAction::triggered, &list,
                     [&list, target] { Guarded([&] { ChangeKeyExecute(list, *target); }); });
    QObject::connect(clearKey, &QAction::triggered, &list,
                     [&list] { Guarded([&] { ClearKeyExecute(list); }); });
}

void ChangeKeyExecute(QTableWidget &list, QObject *targetWnd)
{
    if (list.currentColumn() != ValueListEditor::ValueColumn)
        return;
    const int row = list.currentRow() + 1;
    // Modal for the user, but shown without a loop of its own: whatever waits for the unit
    // meanwhile (a page transfer) goes on below it. The window owns it until it closes.
    auto *reader = new TKeyReaderForm(list.window());
    reader->setAttribute(Qt::WA_DeleteOnClose);
    reader->setWindowModality(Qt::ApplicationModal);
    reader->setWindowTitle(ValueListEditor::KeyName(list, row));
    reader->TargetWnd = targetWnd;
    reader->Key = ValueListEditor::Value(list, row);
    QObject::connect(reader, &QDialog::accepted, &list, [&list, row, reader] {
        Guarded([&] { ValueListEditor::SetValue(list, row, reader->Key); });
    });
    reader->show();
}

void ClearKeyExecute(QTableWidget &list)
{
    ValueListEditor::SetValue(list, list.currentRow() + 1, QString());
}

} // namespace KeyListActions
