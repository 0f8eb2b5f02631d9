#pragma once

#include <QWidget>

class QToolButton;

// A small up/down button pair, as beside the option edits.
class SpinButton : public QWidget
{
    Q_OBJECT
public:
    explicit SpinButton(QWidget* parent = nullptr);
    QToolButton* upButton() const { return up; }
    QToolButton* downButton() const { return down; }

signals:
    void upClicked();
    void downClicked();

private:
    QToolButton* up;
    QToolButton* down;
};
