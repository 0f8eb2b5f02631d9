#pragma once

#include "access/SerBtn.h"
#include "access/Uscans.h"
#include "model/DialogService.h"

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;

// A yes/no question that a pupil answers with the scanning device: the frame
// goes over "Sì" and "No" as over the feedback window's buttons, and the
// switch chooses. exec() gives QDialog::Accepted for "Sì".
class TdomandaForm : public QDialog
{
    Q_OBJECT

public:
    // `serial`: the serial-switch object of the serial devices (borrowed).
    TdomandaForm(QWidget* owner, const QString& question, AccessDevice device,
                 const ScanTiming& timing, TBottoneSeriale* serial);
    ~TdomandaForm() override;

    TScansione* scanning() const { return scan.get(); }

    QLabel* Label1;
    QWidget* panelPulsanti;
    QPushButton* yesBut;
    QPushButton* noBut;

    // A press of a serial switch (the window's handler while it exists).
    void serialPress(TBottoneSeriale* sender);

protected:
    void showEvent(QShowEvent* event) override;

private:
    AccessDevice accessDevice;
    std::unique_ptr<TScansione> scan;
    TBottoneSeriale* serialSwitches = nullptr;
    TBottoneSeriale::PressHandler keptHandler;
};

// A Yes/No question of a run ("Attenzione!"): scanned with the pupil's device
// and timing when the pupil works by scanning, otherwise a message box of the
// dialog service. Returns YesButton or NoAnswerButton.
DialogButton askPupil(QWidget* owner, const QString& text, bool scanningAccess, AccessDevice device,
                      const ScanTiming& timing, TBottoneSeriale* serial);
