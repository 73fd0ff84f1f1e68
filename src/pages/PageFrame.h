#pragma once

// The common base of the nine settings pages shown one at a time in the main window.
//
// Every page offers the same five operations, called by the main window:
//   Init(Key)             once after creation: keeps the store's product key and loads the page's
//                         captions and last values (LoadUISettings creates Settings); pastes and
//                         drops into its edits come in as one line (TOneLinePaste);
//   SaveUISettings()      once at exit: writes them back and frees Settings;
//   SetPageData(V)        shows a page read (read form of TPageData) through ApplyPageData;
//   GetPageData(V)        builds the write form, or leaves V unassigned when nothing is to be sent;
//   ShowWriteResults(R)   colours the rows by their write results (0 written, 1 failed, -1 not
//                         sent: left as it is).
// Tag() is the page index 0..8; the object name is the page's class name without its leading T,
// which is also the page's section in the store.
//
// A row's caption shows its status: ResultColors[0] green when done, ResultColors[1] red when
// failed, back to the window-text colour (ResetLabelColor) when the user edits the row.

#include "pages/ConstForFrames.h"
#include "pages/PageData.h"
#include "pages/WindowHooks.h"
#include "settings/SettingsRW.h"

#include <QColor>
#include <QFrame>
#include <QString>

#include <functional>
#include <memory>
#include <span>

class QKeyEvent;

class TPageFrame : public QFrame
{
    Q_OBJECT
public:
    static const QColor ResultColors[2];

    TPageFrame(int Tag, const QString &Name, QWidget *parent = nullptr);
    ~TPageFrame() override;

    int Tag() const { return tag; }
    QString Section() const { return objectName(); }

    virtual void Init(const QString &Key);
    virtual void SaveUISettings();
    virtual void SetPageData(const TPageData &V);
    virtual void GetPageData(TPageData &V);
    virtual void ShowWriteResults(const TWriteResults &Results);

    // The colour a caption is shown in (for tests and the settings file).
    static QColor LabelColor(const QWidget *Label);

    // What the page asks of the main window; set by the window before Init.
    TWindowHooks Window;

protected:
    // Creates Settings; pages extend it to apply their tables.
    virtual void LoadUISettings();
    // Shows a read; SetPageData passes V on unchanged.
    virtual void ApplyPageData(const TPageData &V);

    static void SetLabelColor(QWidget *Label, const QColor &Color);
    // Paints Label with ResultColors[Result]; any other result leaves it unchanged.
    static void SetResultColor(QWidget *Label, int Result);
    static void ResetLabelColor(QWidget *Label);
    // The colour of an edit's own text; an invalid colour puts back the normal text colour.
    static void SetEditTextColor(QWidget *Edit, const QColor &Color);

    // Handlers must not let an exception out of the event loop; a failing step is dropped.
    static void Guarded(const std::function<void()> &Body);

    // Keys that type a character into an edit. Tab moves the focus and Delete edits the text; on
    // some systems their events also carry a control character, which must not reach a filter.
    static bool IsTypedCharacter(const QKeyEvent &Key);
    // A stored caption as a label shows it: stored line breaks (CR LF) become line breaks.
    static QString LabelText(const QString &Stored);

    // Values in the page's own section of the store. A stored value that cannot be read or
    // converted counts as absent: the default applies. A failed write is dropped.
    QVariant ReadStored(const char *Ident, const QVariant &Default) const;
    int ReadStoredInt(const char *Ident, int Default) const;
    bool ReadStoredBool(const char *Ident, bool Default) const;
    QString ReadCaption(const CaptionPair &Pair) const;
    void WriteStored(const char *Ident, const QVariant &Value);
    // Writes every pair back as stored (or its default), whatever the page shows.
    void SaveCaptionPairs(std::span<const CaptionPair> Pairs);

    QString SettingsKey;
    std::unique_ptr<TSettingsRW> Settings;

private:
    int tag;
};
