#include "pages/TypingLimit.h"

#include <QLineEdit>

#include <algorithm>

namespace {

// QLineEdit's maxLength when it has none.
constexpr int NoLimit = 32767;

} // namespace

TTypingLimit::TTypingLimit(QLineEdit *edit, int limit) : QObject(edit), Edit(edit), Limit(limit)
{
    connect(edit, &QLineEdit::textChanged, this, &TTypingLimit::FollowText);
}

void TTypingLimit::InstallAll(QWidget *parent)
{
    for (QLineEdit *edit : parent->findChildren<QLineEdit *>()) {
        const int limit = edit->maxLength();
        if (limit < NoLimit && !edit->findChild<TTypingLimit *>({}, Qt::FindDirectChildrenOnly))
            new TTypingLimit(edit, limit); // owned by the edit
    }
}

void TTypingLimit::SetText(QLineEdit *edit, const QString &text)
{
    // Raising maxLength clears the undo history, as setText does anyway.
    if (text.size() > edit->maxLength() &&
        edit->findChild<TTypingLimit *>({}, Qt::FindDirectChildrenOnly))
        edit->setMaxLength(int(std::min<qsizetype>(text.size(), NoLimit)));
    edit->setText(text);
}

void TTypingLimit::FollowText()
{
    const int fit = std::max(Limit, int(Edit->text().size()));
    if (Edit->maxLength() <= fit)
        return;
    // setMaxLength puts the cursor at the end.
    const int cursor = Edit->cursorPosition();
    Edit->setMaxLength(fit);
    Edit->setCursorPosition(cursor);
}
