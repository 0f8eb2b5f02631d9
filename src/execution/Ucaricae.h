#pragma once

#include "model/Uevidenz.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QPushButton;
class TRadioGroup;
struct AppContext;

// The exercise chooser of a run: which exercise, shown how, with which
// feedback. "  dopo ogni frase" is offered only with one sentence at a time.
class TcaricaE : public QDialog
{
    Q_OBJECT

public:
    // Lists the exercises of the context's data root + "esercizi/".
    explicit TcaricaE(const AppContext& context, QWidget* parent = nullptr);

    // The long name of the chosen exercise (empty when there is none).
    QString exerciseName() const;
    DisplayMode displayMode() const;
    FeedbackMode feedbackMode() const;

    QLabel* Label1;
    QComboBox* ComboEsercizi;
    TRadioGroup* RadioVisualizzazione;
    TRadioGroup* Radiofeedback;
    QPushButton* okBut;
    QPushButton* annullaBut;

    void okButClick();

private:
    void rebuildFeedbackItems();
};
