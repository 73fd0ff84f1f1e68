#pragma once

// The common base of the nine settings pages shown one at a time in the main window.
//
// Every page offers the same five operations, called by the main window:
//   Init(Key)             once after creation: keeps the store's product key and loads the page's
//                         captions and last values (LoadUISettings creates Settings);
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

#include "pages/PageData.h"
#include "settings/SettingsRW.h"

#include <QColor>
#include <QFrame>
#include <QString>

#include <memory>

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

protected:
    // Creates Settings; pages extend it to apply their tables.
    virtual void LoadUISettings();
    // Shows a read; SetPageData passes V on unchanged.
    virtual void ApplyPageData(const TPageData &V);

    static void SetLabelColor(QWidget *Label, const QColor &Color);
    // Paints Label with ResultColors[Result]; any other result leaves it unchanged.
    static void SetResultColor(QWidget *Label, int Result);
    static void ResetLabelColor(QWidget *Label);
    // Whether a key types a character into an edit. Tab moves the focus and Delete edits the
    // text; on some systems their events also carry a control character, which no key filter of
    // an edit must see.
    static bool IsTypedCharacter(const QKeyEvent &Key);

    QString SettingsKey;
    std::unique_ptr<TSettingsRW> Settings;

private:
    int tag;
};
