#include "pages/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

TRadioGroup::TRadioGroup(QWidget *parent)
    : QGroupBox(parent), buttons(new QButtonGroup(this)), column(new QVBoxLayout(this))
{
    connect(buttons, &QButtonGroup::idClicked, this, &TRadioGroup::ButtonClicked);
}

QStringList TRadioGroup::Items() const
{
    return items;
}

void TRadioGroup::SetItems(const QStringList &newItems)
{
    for (QAbstractButton *button : buttons->buttons()) {
        buttons->removeButton(button);
        delete button;
    }
    items = newItems;
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items[i], this);
        button->setAccessibleName(items[i]);
        buttons->addButton(button, i);
        column->addWidget(button);
    }
    itemIndex = BoundedIndex(itemIndex);
    if (QAbstractButton *chosen = buttons->button(itemIndex))
        chosen->setChecked(true);
}

// An index beyond the last item chooses the last one, one below -1 none.
int TRadioGroup::BoundedIndex(int index) const
{
    return std::clamp(index, -1, int(items.size()) - 1);
}

void TRadioGroup::SetItemIndex(int index)
{
    index = BoundedIndex(index);
    if (index == itemIndex)
        return;
    itemIndex = index;
    if (QAbstractButton *chosen = buttons->button(index)) {
        chosen->setChecked(true);
    } else if (QAbstractButton *checked = buttons->checkedButton()) {
        buttons->setExclusive(false);
        checked->setChecked(false);
        buttons->setExclusive(true);
    }
    emit Click();
}

QRadioButton *TRadioGroup::Button(int index) const
{
    return qobject_cast<QRadioButton *>(buttons->button(index));
}

void TRadioGroup::ButtonClicked(int index)
{
    SetItemIndex(index);
}
