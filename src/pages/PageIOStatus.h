#pragma once
// "IO Status": the six opto-isolated I/O groups as indicator frames, fed by
// status polling; clicks on the indicators mark forced inputs and outputs,
// which "Force I/O status" sends with the two relay edits.

#include <QWidget>
#include <array>

#include "features/Dac16.h"
#include "features/MachineNaming.h"
#include "features/StatusPolling.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QSpinBox;
class QLineEdit;
class QPushButton;

namespace orvan::frames {
class TfraIOStatus;
}

namespace orvan::pages {

class TPageIOStatus : public QWidget,
                      public features::IStatusPollingView,
                      public features::IMachineNamingView,
                      public features::IDac16View {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "IO Status";
    explicit TPageIOStatus(QWidget* parent = nullptr);

    // What status polling and the naming files show here.
    void OnIoDisplay(const commands::IoStatusWords& w) override;
    void OnMachineNames(const features::TMachineNames& names) override;

    // The 16-bit DAC group: the value in counts and volts, "Force".
    void ShowValue(const std::string& field, double value) override;
    void EnableDac16Value(bool on);
    char decimalSeparator = '.';

    // The forced marks of the six frames, in the controller's frame order.
    features::TIoForceMarks ForceMarks() const;
    // "Reset force status": every mark cleared, the relay edits "00".
    void ClearForceMarks();

    frames::TfraIOStatus* fraBrentaOptoInputCPU;
    frames::TfraIOStatus* fraBrentaOptoInputEXP1;
    frames::TfraIOStatus* fraBrentaOptoInputEXP2;
    frames::TfraIOStatus* fraBrentaOptoOutputCPU;
    frames::TfraIOStatus* fraBrentaOptoOutputEXP1;
    frames::TfraIOStatus* fraBrentaOptoOutputEXP2;
    QLabel* stxOutRele;
    QLineEdit* edtReleLedForceON;
    QLineEdit* edtReleLedForceOFF;
    QPushButton* CmdSetIOForceStatus;
    QPushButton* CmdResetIOForceStatus;
    // "Load HW Info": the hardware information, as "Info" asks it.
    QPushButton* cmdLoadHWInfo;
    QCheckBox* chkDac16Force;
    QSpinBox* cspDac16;
    QLineEdit* edtDac16ValueVolt;
    QPushButton* cmdDac16Read;

  private:
    QGroupBox* BuildDac16(QWidget* body);

  public:
    std::array<frames::TfraIOStatus*, 6> Frames() const {
        return {fraBrentaOptoInputCPU,  fraBrentaOptoInputEXP1,  fraBrentaOptoInputEXP2,
                fraBrentaOptoOutputCPU, fraBrentaOptoOutputEXP1, fraBrentaOptoOutputEXP2};
    }
};

}  // namespace orvan::pages
