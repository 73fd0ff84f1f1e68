#include "pages/TypingLimit.h"

#include <QLineEdit>

#include <algorithm>
#include <utility>

namespace {

// QLineEdit's maxLength when it has none.
constexpr int NoLimit = 32767;

TTypingLimit *LimitOf(QLineEdit *edit)
{
    return edit->findChild<TTypingLimit *>({}, Qt::FindDirectChildrenOnly);
}

} // namespace

TTypingLimit::TTypingLimit(QLineEdit *edit, int limit) : QObject(edit), Edit(edit), Limit(limit)
{
    connect(edit, &QLineEdit::textEdited, this, [this] { UserEdit = true; });
    connect(edit, &QLineEdit::textChanged, this, &TTypingLimit::FollowProgramText);
}

void TTypingLimit::InstallAll(QWidget *parent)
{
    for (QLineEdit *edit : parent->findChildren<QLineEdit *>()) {
        const int limit = edit->maxLength();
        if (limit < NoLimit && !LimitOf(edit))
            new TTypingLimit(edit, limit); // owned by the edit
    }
}

void TTypingLimit::SetText(QLineEdit *edit, const QString &text)
{
    if (TTypingLimit *limit = LimitOf(edit))
        limit->ShowProgramText(text);
    else
        edit->setText(text);
}

// Changing maxLength clears the undo history, as setText does anyway.
void TTypingLimit::ShowProgramText(const QString &text)
{
    const int allowance = AllowanceFor(text);
    if (allowance > Edit->maxLength())
        Edit->setMaxLength(allowance); // first, or setText would cut the text
    Edit->setText(text);
    // A text the edit holds already changes nothing, and QLineEdit reports no change.
    if (Edit->maxLength() != allowance)
        Edit->setMaxLength(allowance);
}

int TTypingLimit::AllowanceFor(const QString &text) const
{
    return int(std::clamp<qsizetype>(text.size(), Limit, NoLimit));
}

void TTypingLimit::FollowProgramText()
{
    if (std::exchange(UserEdit, false))
        return;
    const int allowance = AllowanceFor(Edit->text());
    if (Edit->maxLength() == allowance)
        return;
    // setMaxLength puts the cursor at the end.
    const int cursor = Edit->cursorPosition();
    Edit->setMaxLength(allowance);
    Edit->setCursorPosition(cursor);
}
