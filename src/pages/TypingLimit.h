#pragma once

// The length limit of a line edit as the pages mean it: it stops what the user types, pastes or
// drops, while a text the program puts in (a read, the store, a settings file) stays whole.
// QLineEdit's own maxLength does the cutting, so a cut paste lands at the cursor and can be
// undone as any edit; since maxLength also cuts setText, the program puts its texts in through
// SetText, which raises the edit's maxLength to a longer text's length. As the user shortens such
// a text, maxLength follows it down to the limit (QLineEdit clears its undo history then).

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

    // Lowers maxLength to the text's length, or to the limit for a text within it.
    void FollowText();

    QLineEdit *Edit;
    int Limit;
};
