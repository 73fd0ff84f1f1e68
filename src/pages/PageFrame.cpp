#include "pages/PageFrame.h"

#include "pages/OneLinePaste.h"
#include "settings/funcs.h"

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
    TOneLinePaste::InstallAll(this);
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

void TPageFrame::SetEditTextColor(QWidget *Edit, const QColor &Color)
{
    if (Edit == nullptr)
        return;
    QPalette palette = Edit->palette();
    palette.setColor(QPalette::Text, Color.isValid() ? Color : QPalette().color(QPalette::Text));
    Edit->setPalette(palette);
}

void TPageFrame::Guarded(const std::function<void()> &Body)
{
    RunGuarded("settings page", Body, TGuardPolicy::Drop);
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

QVariant TPageFrame::ReadStored(const char *Ident, const QVariant &Default) const
{
    if (!Settings)
        return Default;
    return Settings->ReadOrDefault(MakeSetItem(Section(), QString::fromLatin1(Ident), Default));
}

int TPageFrame::ReadStoredInt(const char *Ident, int Default) const
{
    bool ok = false;
    const int value = ReadStored(Ident, Default).toInt(&ok);
    return ok ? value : Default;
}

bool TPageFrame::ReadStoredBool(const char *Ident, bool Default) const
{
    return ReadStored(Ident, Default).toBool();
}

QString TPageFrame::ReadCaption(const CaptionPair &Pair) const
{
    return ReadStored(Pair.Ident, QString::fromUtf8(Pair.Default)).toString();
}

void TPageFrame::WriteStored(const char *Ident, const QVariant &Value)
{
    if (Settings)
        Guarded(
            [&] { Settings->Write(MakeSetItem(Section(), QString::fromLatin1(Ident), Value)); });
}

void TPageFrame::SaveCaptionPairs(std::span<const CaptionPair> Pairs)
{
    for (const CaptionPair &pair : Pairs)
        WriteStored(pair.Ident, ReadCaption(pair));
}

QString TPageFrame::LabelText(const QString &Stored)
{
    QString text = Stored;
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
