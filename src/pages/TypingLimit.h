#pragma once

// The length limit of a line edit as the pages mean it: it stops what the user types, pastes or
// drops, while a text the program puts in (a read, the store, a settings file) stays whole.
// QLineEdit's own maxLength cuts both, so an edit's limit moves into this validator.

#include <QValidator>

class QLineEdit;

class TTypingLimit : public QValidator
{
    Q_OBJECT
public:
    // Moves the maxLength of every line edit under `parent` that has one into a typing limit.
    static void InstallAll(QWidget *parent);

    State validate(QString &input, int &pos) const override;

private:
    TTypingLimit(QLineEdit *edit, int limit);

    QLineEdit *Edit;
    int Limit;
    QString Before; // the edit's text before the change being validated
};
