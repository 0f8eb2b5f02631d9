#include "execution/RadioGroup.h"

#include <QButtonGroup>
#include <QLayoutItem>
#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(const char* name, const QString& title, const QStringList& itemTexts,
                         QWidget* parent)
    : QGroupBox(title, parent), group(new QButtonGroup(this))
{
    setObjectName(QLatin1String(name));
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 6, 10, 6);
    layout->setSpacing(2);
    connect(group, &QButtonGroup::idClicked, this, &TRadioGroup::clicked);
    setItems(itemTexts);
}

void TRadioGroup::setItems(const QStringList& itemTexts)
{
    for (QRadioButton* radio : std::as_const(radios)) {
        group->removeButton(radio);
        delete radio;
    }
    radios.clear();
    while (QLayoutItem* spacing = layout()->takeAt(0))
        delete spacing;
    for (int i = 0; i < itemTexts.size(); ++i) {
        auto radio = new QRadioButton(itemTexts.at(i), this);
        radio->setObjectName(objectName() + QString::number(i));
        // Bold is the frame's title only.
        QFont plain = radio->font();
        plain.setBold(false);
        radio->setFont(plain);
        group->addButton(radio, i);
        layout()->addWidget(radio);
        radios.append(radio);
    }
    static_cast<QVBoxLayout*>(layout())->addStretch();
    // A fresh list has no choice until one is set.
    group->setExclusive(false);
    for (QRadioButton* radio : std::as_const(radios))
        radio->setChecked(false);
    group->setExclusive(true);
}

QStringList TRadioGroup::items() const
{
    QStringList texts;
    for (const QRadioButton* radio : radios)
        texts << radio->text();
    return texts;
}

int TRadioGroup::itemIndex() const
{
    return group->checkedId();
}

void TRadioGroup::setItemIndex(int index)
{
    if (index >= 0 && index < radios.size()) {
        radios.at(index)->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QRadioButton* radio : std::as_const(radios))
        radio->setChecked(false);
    group->setExclusive(true);
}
