#pragma once

#include "model/PupilProfile.h"

#include <QDialog>
#include <QFont>

class QCheckBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The profile of one pupil: the timing of switch access, auditory scanning,
// the large frame, the text font of the pupil's runs, read-aloud and its
// speed, and the time limit per sentence. The caller shows it modally with
// the profile as stored and, when it closes with OK, saves chosenProfile().
class TprofiloForm : public QDialog
{
    Q_OBJECT

public:
    TprofiloForm(const QString& pupilName, const PupilProfile& profile, QWidget* parent = nullptr);

    // The values the controls show now.
    PupilProfile chosenProfile() const;
    // Shows `profile` in the controls.
    void showProfile(const PupilProfile& profile);

    // The run window's text font, which a pupil without a font of their own has.
    static QFont defaultTextFont();

    QGroupBox* scansioneGroup;
    QDoubleSpinBox* spinPasso;
    QDoubleSpinBox* spinPrimoPasso;
    QDoubleSpinBox* spinAccettazione;
    QDoubleSpinBox* spinIgnora;
    QSpinBox* spinGiri;
    QCheckBox* checkScansioneUditiva;
    QCheckBox* checkCorniceGrande;
    QGroupBox* letturaGroup;
    QPushButton* fontBut;
    QCheckBox* checkSintesi;
    QSpinBox* spinVelocita;
    QSpinBox* spinTempoMax;
    QPushButton* predefinitiBut;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void fontButClick();
    void showFont();
    void showSpeechChoice();

    QString fontFamily; // empty: the run window's font
    int fontSize = 0;
};
