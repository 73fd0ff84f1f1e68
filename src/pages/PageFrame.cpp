#include "pages/PageFrame.h"

#include <QKeyEvent>
#include <QPalette>

const QColor TPageFrame::ResultColors[2] = {QColor(0x00, 0x80, 0x00), QColor(0xFF, 0x00, 0x00)};

TPageFrame::TPageFrame(int Tag, const QString &Name, QWidget *parent) : QFrame(parent), tag(Tag)
{
    setObjectName(Name);
}

TPageFrame::~TPageFrame() = default;

void TPageFrame::Init(const QString &Key)
{
    SettingsKey = Key;
    LoadUISettings();
}

void TPageFrame::SaveUISettings()
{
    Settings.reset();
}

void TPageFrame::SetPageData(const TPageData &V)
{
    ApplyPageData(V);
}

void TPageFrame::GetPageData(TPageData &V)
{
    V.Clear();
}

void TPageFrame::ShowWriteResults(const TWriteResults &) {}

void TPageFrame::LoadUISettings()
{
    Settings = std::make_unique<TSettingsRW>(TSettingsRW::RegistryKind, SettingsKey);
}

void TPageFrame::ApplyPageData(const TPageData &) {}

QColor TPageFrame::LabelColor(const QWidget *Label)
{
    return Label->palette().color(Label->foregroundRole());
}

void TPageFrame::SetLabelColor(QWidget *Label, const QColor &Color)
{
    QPalette palette = Label->palette();
    palette.setColor(Label->foregroundRole(), Color);
    palette.setColor(QPalette::ButtonText, Color);
    Label->setPalette(palette);
}

void TPageFrame::SetResultColor(QWidget *Label, int Result)
{
    if (Result == 0 || Result == 1)
        SetLabelColor(Label, ResultColors[Result]);
}

void TPageFrame::ResetLabelColor(QWidget *Label)
{
    Label->setPalette(QPalette());
}

bool TPageFrame::IsTypedCharacter(const QKeyEvent &Key)
{
    if (Key.text().isEmpty())
        return false;
    switch (Key.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return false;
    default:
        return true;
    }
}
