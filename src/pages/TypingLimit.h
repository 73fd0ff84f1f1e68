#pragma once

// The length limit of a line edit as the pages mean it: it stops what the user types, pastes or
// drops, while a text the program puts in (a read, the store, a settings file) stays whole.
// QLineEdit's own maxLength does the cutting, so a cut paste lands at the cursor and can be
// undone as any edit. The edit takes up to the longer of its limit and the text the program last
// set, so that what was there can be typed back after the user shortens it; maxLength changes
// only when the program sets a text, never while the user edits, since QLineEdit clears its undo
// history when maxLength changes. As maxLength also cuts setText, the program puts its texts in
// through SetText, which raises maxLength first and sets the allowance even for a text the edit
// holds already (QLineEdit then reports no change).

#include <QObject>

class QLineEdit;
class QWidget;

class TTypingLimit : public QObject
{
    Q_OBJECT
public:
    // Gives every line edit under `parent` that has a maxLength a typing limit of that length.
    static void InstallAll(QWidget *parent);

    // Shows a text the program sets whole, however long, in an edit with or without a limit.
    static void SetText(QLineEdit *edit, const QString &text);

private:
    TTypingLimit(QLineEdit *edit, int limit);

    // What the edit takes after the program set `text`: its limit, or the text's longer length.
    int AllowanceFor(const QString &text) const;
    // Sets the text and its allowance, also when the edit holds that text already.
    void ShowProgramText(const QString &text);
    // A text the program set: maxLength becomes its allowance.
    void FollowProgramText();

    QLineEdit *Edit;
    int Limit;
    // Set by the user's edit, which QLineEdit reports just before the change itself.
    bool UserEdit = false;
};
