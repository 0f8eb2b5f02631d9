#pragma once

#include "access/SerBtn.h"
#include "access/Uscans.h"
#include "model/DialogService.h"

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;

// A question put to a pupil who works by scanning: its text in large type
// and the buttons "Sì" and "No", scanned with the pupil's device (the space
// bar, a joystick or switches on a serial port). Closed without an answer,
// it counts as No.
class Tdomanda : public QDialog
{
    Q_OBJECT

public:
    // `serial`: the serial-switch object that serial devices use (borrowed).
    Tdomanda(QWidget* owner, const QString& caption, const QString& text, AccessDevice device,
             TBottoneSeriale* serial);
    ~Tdomanda() override;

    QLabel* Label1;
    QWidget* panelPulsanti;
    QPushButton* yesBut;
    QPushButton* noBut;

    TScansione* scanning() const { return scan.get(); }
    // YesButton or NoAnswerButton, once closed.
    DialogButton answer() const { return result() == 1 ? YesButton : NoAnswerButton; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void serialPress(TBottoneSeriale* sender);

    AccessDevice device;
    std::unique_ptr<TScansione> scan;
    TBottoneSeriale* serialSwitches = nullptr;
    TBottoneSeriale::PressHandler keptHandler;
    bool holdsSerial = false;
};

// A Yes/No question of a run ("Attenzione!"): scanned with the pupil's device
// when the pupil works by scanning, otherwise a message box of the dialog
// service. Returns YesButton or NoAnswerButton.
DialogButton askPupil(QWidget* owner, const QString& text, bool scanningAccess,
                      AccessDevice device, TBottoneSeriale* serial);
