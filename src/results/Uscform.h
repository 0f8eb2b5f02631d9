#pragma once

#include "model/ResultsFile.h"

#include <QDialog>
#include <QStringList>
#include <QVector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
struct AppContext;

// The chooser of a stored run: the pupils of the results archive, each once,
// and the runs of the chosen pupil. The caller sets the caption, shows it
// modally and on OK reads the chosen run.
class TscegliRisultatiForm : public QDialog
{
    Q_OBJECT
public:
    // The runs are those of the archive under the context's data root.
    explicit TscegliRisultatiForm(const AppContext& context, QWidget* parent = nullptr);

    bool hasPupils() const { return !pupils.isEmpty(); }
    QString chosenPupil() const;
    QString chosenRunName() const;
    // The identifier of the chosen run exactly as the archive stores it
    // (a pupil written in other letter cases keeps its own spelling).
    RunIdentifier chosenIdentifier() const;

    QLabel* Label1;
    QComboBox* ComboBox1;
    QLabel* Label2;
    QListWidget* ListBox1;
    QLabel* Label3;
    QLineEdit* Edit1;
    QPushButton* OKBtn;
    QPushButton* cancelBtn;

private:
    void ComboBox1Change(int index);
    void ListBox1Click();
    void OKBtnClick();

    struct Pupil {
        QString name;
        QStringList runNames;
        QList<RunIdentifier> identifiers;
    };
    QVector<Pupil> pupils;
    RunIdentifier chosenId;
};
