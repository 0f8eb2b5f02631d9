#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The one-line name dialog: the exercise name when an exercise is saved under
// a name, the name of a stored run. The caller sets the caption, the prompt
// (Label1) and the preset text (Edit1), shows the dialog modally and reads
// Edit1 back after OK. Neither button answers Enter or Esc; closing the window
// counts as Annulla.
class TFormQuery : public QDialog
{
    Q_OBJECT
public:
    explicit TFormQuery(QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* ButtonOK;
    QPushButton* ButtonAnnulla;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
