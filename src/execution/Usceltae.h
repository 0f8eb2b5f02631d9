#pragma once

#include "access/Uscans.h"
#include "model/PupilProfile.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TBottoneSeriale;
class TRadioGroup;
struct AppContext;

// Items of the access choice of TsceltaEs, in order.
enum AccessChoice : int {
    accessMouseKeyboard = 0,
    accessSpaceBar = 1,
    accessJoystick = 2,
    accessSerial = 3,
};

// Who the pupil is and how the pupil works. Closed with OK ("&avanti") only
// when the name can be stored and the chosen device can be used. The run
// window reads the pupil and the access from it while it is still open.
class TsceltaEs : public QDialog
{
    Q_OBJECT

public:
    // The serial devices use the context's serial-switch object (borrowed).
    // The names come from the results archive under the context's data root.
    explicit TsceltaEs(const AppContext& context, QWidget* parent = nullptr);
    ~TsceltaEs() override;

    // The pupil's name as the run stores it: the name box in upper case,
    // spaces kept.
    QString pupilName() const;
    // The information lines.
    QStringList pupilInfo() const;
    // The pupil works by scanning (every access but mouse and keyboard).
    bool scanningAccess() const;
    // The scanning device of the chosen access (spaceBarSwitch for mouse and keyboard).
    AccessDevice accessDevice() const;
    // The serial port number of the ComboSeriale entry (1..4 for COM1..COM4,
    // 5 on for the adapters).
    int serialPortNumber() const;
    // The pupil's profile, read when "&avanti" was pressed (the defaults for
    // a pupil without one).
    const PupilProfile& pupilProfile() const { return profile; }

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QComboBox* comboNomi;
    QLabel* Label2;
    QPlainTextEdit* memoInfo;
    TRadioGroup* RadioAccesso;
    QComboBox* comboJoy;
    QComboBox* ComboSeriale;
    QPushButton* profiloBut;
    QPushButton* proseguiBut;
    QPushButton* annullaBut;

    void proseguiButClick();
    // Opens the profile of the pupil named in the name box (TprofiloForm)
    // and saves it when it closes with OK.
    void profiloButClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    TBottoneSeriale* serialSwitches;
    QList<QString> serialDevices; // device path of each ComboSeriale entry
    QList<int> serialNumbers;
    QString dataRoot;   // where the pupils' profiles lie
    PupilProfile profile;
    // The pupil whose damaged profile has been reported in this dialog.
    QString damageReported;
};

// The start of an exercise run from the main window: shows TsceltaEs
// modally over `owner` and, when it closes with "&avanti", calls `runWindow`
// with it (the run window is created, shown and destroyed there, while the
// set-up dialog still exists). Returns whether the run window was called.
bool startExerciseRun(QWidget* owner, const AppContext& context,
                      const std::function<void(TsceltaEs& setUp)>& runWindow);
