#pragma once

#include <QDialog>

struct AppContext;

class QComboBox;
class QLabel;
class QPushButton;

// The exercise chooser: the long names of the exercises of the exercises
// folder, sorted, to open or to delete one. Files without a line in the name
// table are listed under their upper-case name without extension and get
// their line at once. The caller sets the caption, looks at count() (with no
// exercise it does not show the dialog) and reads chosenName() after OK.
class TcaricaElimina : public QDialog
{
    Q_OBJECT
public:
    explicit TcaricaElimina(const AppContext& context, QWidget* parent = nullptr);

    int count() const;
    QString chosenName() const;

    QLabel* Label1;
    QComboBox* ComboEsercizi;
    QPushButton* okBut;
    QPushButton* annullaBut;
};

// The long names in the order the chooser shows them: Italian alphabetical
// order, without regard to case and accents (model/ReadingOrder.h).
void sortLongNames(QStringList& names);
