#include "pages/TypingLimit.h"

#include <QLineEdit>

#include <algorithm>

namespace {

// QLineEdit's maxLength when it has none.
constexpr int NoLimit = 32767;

} // namespace

TTypingLimit::TTypingLimit(QLineEdit *edit, int limit)
    : QValidator(edit), Edit(edit), Limit(limit), Before(edit->text())
{
    connect(edit, &QLineEdit::textChanged, this, [this] { Before = Edit->text(); });
}

void TTypingLimit::InstallAll(QWidget *parent)
{
    for (QLineEdit *edit : parent->findChildren<QLineEdit *>()) {
        const int limit = edit->maxLength();
        if (limit >= NoLimit || edit->validator() != nullptr)
            continue;
        edit->setMaxLength(NoLimit);
        edit->setValidator(new TTypingLimit(edit, limit));
    }
}

// setText clears the edit's undo history, so a change that can be undone is the user's. Of what
// the user inserted, only the characters that keep the text within the limit stay.
QValidator::State TTypingLimit::validate(QString &input, int &pos) const
{
    if (!Edit->isUndoAvailable() || input.size() <= Limit || input.size() <= Before.size())
        return Acceptable;
    qsizetype prefix = 0;
    while (prefix < Before.size() && input[prefix] == Before[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < Before.size() - prefix &&
           input[input.size() - 1 - suffix] == Before[Before.size() - 1 - suffix])
        ++suffix;
    const qsizetype inserted = input.size() - prefix - suffix;
    const qsizetype room = std::clamp<qsizetype>(Limit - (prefix + suffix), 0, inserted);
    input.remove(prefix + room, inserted - room);
    pos = int(prefix + room);
    return Acceptable;
}
