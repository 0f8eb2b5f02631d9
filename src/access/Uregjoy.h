#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// Asks the pupil (or the teacher) to let the joystick go and press OK, so
// that the run window can take the stick's rest position as its centre.
class TregolaJoyForm final : public QDialog
{
    Q_OBJECT

public:
    explicit TregolaJoyForm(QWidget* parent = nullptr);

    QFrame* Panel2 = nullptr;
    QLabel* Memo1 = nullptr;
    QFrame* Panel1 = nullptr;
    QPushButton* OKBtn = nullptr;
};
