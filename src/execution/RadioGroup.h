#pragma once

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

// A framed group of radio buttons, one item chosen, as the set-up dialogs
// offer their choices. The items are stacked from the top of the frame.
class TRadioGroup final : public QGroupBox
{
    Q_OBJECT

public:
    // The group is called `name`, its items `name` + their index.
    TRadioGroup(const char* name, const QString& title, const QStringList& items,
                QWidget* parent = nullptr);

    // Replaces the items; none is chosen afterwards.
    void setItems(const QStringList& items);
    QStringList items() const;
    int count() const { return radios.size(); }
    // The chosen item, -1 when none is.
    int itemIndex() const;
    // Chooses item `index` (without the clicked signal); -1 chooses none.
    void setItemIndex(int index);
    QRadioButton* item(int index) const { return radios.value(index); }

signals:
    // The user clicked item `index`.
    void clicked(int index);

private:
    QButtonGroup* group;
    QList<QRadioButton*> radios;
};
