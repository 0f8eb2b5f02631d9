#pragma once

#include <QChar>
#include <QDialog>

class QGroupBox;
class QPushButton;
class QRadioButton;

// Asks which character ends the sentences of a text being converted into an
// exercise: the full stop (kept in the sentence) or the backslash (dropped).
// It has no cancel button: however it is closed, the selected choice holds.
class TsepaForm : public QDialog
{
    Q_OBJECT
public:
    explicit TsepaForm(QWidget* parent = nullptr);

    // "." for the first choice, "\" for the second.
    QChar separator() const;

    QGroupBox* radioSeparatore;
    QRadioButton* puntoRadio;
    QRadioButton* barraRadio;
    QPushButton* OKBtn;
};

// Shows the dialog modally and gives the separator chosen.
QChar askSeparator(QWidget* parent);
