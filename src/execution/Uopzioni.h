#pragma once

#include "common/SpinButton.h"
#include "model/RunOptions.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Threshold as shown in the options window: one decimal, a point as separator.
QString formatThreshold(double value);
// Reads a threshold written with a point; false when the text is not a number.
bool parseThreshold(const QString& text, double& value);

// The general options window. The caller shows it modally with the current
// options and, when it closes with OK, reads the four controls back.
class TopzioniForm : public QDialog
{
    Q_OBJECT
public:
    TopzioniForm(const RunOptions& current, const RunOptions& defaults, QWidget* parent = nullptr);

    // The options the controls show now (the OK rule: an unreadable threshold is 0.4).
    RunOptions chosenOptions() const;

    QLineEdit* editTempoMax;
    QLineEdit* editSogliaFeedback;
    QCheckBox* checkAzzeramento;
    QCheckBox* CheckSintesi;
    SpinButton* spinTempoMax;
    SpinButton* spinSogliaFeedback;
    QPushButton* tempoBut;
    QPushButton* sogliaBut;
    QPushButton* azzeraBut;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    // Arrow steps of one Page Up or Page Down on a value.
    static constexpr int pageSteps = 10;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void spinTempoMaxDown();
    void spinTempoMaxUp();
    void spinSogliaFeedbackDown();
    void spinSogliaFeedbackUp();

    RunOptions defaults;
};
