#pragma once

// The log of every exchange with the unit, shown in a tree view the main window owns: one root node
// per connection, under it one node per port event, error, write and read, with the raw text one
// level deeper. Copies selected lines to the clipboard and saves the whole tree as a text file.
// The lines live in a TLogModel the view owns.

#include <QDate>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>

#include <cstdint>

class QAction;
class QWidget;
class TLogModel;
class TLogTreeView;

class TLogView : public QObject
{
    Q_OBJECT
public:
    explicit TLogView(TLogTreeView *tree, QObject *parent = nullptr);

    bool AutoExpand = true; // expand each new timed entry
    bool AutoScroll = true; // scroll new entries into view

    // Binds the three checked toggles (all start checked); `logVisible` also shows `panel`.
    void BindToggles(QAction *autoExpand, QAction *autoScroll, QAction *logVisible, QWidget *panel);

    QModelIndex SessionNode() const { return Session; }

    void AddLogLine(const QString &text, const QString &fmt);
    void AddLogTimed(const QString &text, const QString &fmt);

    void LogPortError(const QString &text);
    void LogPortEvent(const QString &text);
    void LogPortRead(const QString &text);
    void LogPortWrite(const QString &text);
    void LogWriteError(uint32_t errorCode, const QString &cmd);
    void LogSessionStart();
    void LogSessionEnd();

    void ClearLog();

    // The selected nodes as copied: two blanks per level, an empty line for each unselected node
    // between them, every line ended by CR LF. Empty when nothing is selected.
    QString SelectedLinesText() const;
    // Puts SelectedLinesText on the clipboard; false when nothing is selected.
    bool CopyToClipboard() const;

    // The whole tree as saved: one TAB per level, CR LF line ends.
    QString TreeText() const;
    // Writes TreeText in cp1251 to a new file; throws std::runtime_error when it cannot.
    void SaveToFile(const QString &path) const;

    static QString DefaultFileName(const QDate &day);

private:
    void FollowNewLine(const QModelIndex &line);

    QPointer<TLogTreeView> Tree;
    QPointer<TLogModel> Lines;
    QPersistentModelIndex Session;
};
