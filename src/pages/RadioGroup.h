#pragma once

// A titled group of radio buttons chosen by index, built from a list of item texts. Setting the
// index from code announces it like a user's click (Click), so pages react alike to both.

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;
class QVBoxLayout;

class TRadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    explicit TRadioGroup(QWidget *parent = nullptr);

    QStringList Items() const;
    // The index is bounded to the items: beyond the last it becomes the last, below -1 it is -1.
    void SetItems(const QStringList &items);    // bounds the index without a Click
    int ItemIndex() const { return itemIndex; } // -1: none chosen
    void SetItemIndex(int index);               // emits Click when the index changes
    QRadioButton *Button(int index) const;

signals:
    void Click();

private:
    void ButtonClicked(int index);
    int BoundedIndex(int index) const;

    QButtonGroup *buttons;
    QVBoxLayout *column;
    QStringList items;
    int itemIndex = -1;
};
