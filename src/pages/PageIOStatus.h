#pragma once
// "IO Status": the six opto-isolated I/O groups as indicator frames, fed by
// status polling; clicks on the indicators mark forced inputs and outputs.

#include <QWidget>

#include "commands/BoardView.h"

namespace orvan::frames {
class TfraIOStatus;
}

namespace orvan::pages {

class TPageIOStatus : public QWidget, public commands::IStatusView {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "IO Status";
    explicit TPageIOStatus(QWidget* parent = nullptr);

    // Board events this page shows.
    void OnIoStatus(const commands::IoStatusWords& w) override;

    frames::TfraIOStatus* fraBrentaOptoInputCPU;
    frames::TfraIOStatus* fraBrentaOptoInputEXP1;
    frames::TfraIOStatus* fraBrentaOptoInputEXP2;
    frames::TfraIOStatus* fraBrentaOptoOutputCPU;
    frames::TfraIOStatus* fraBrentaOptoOutputEXP1;
    frames::TfraIOStatus* fraBrentaOptoOutputEXP2;
};

}  // namespace orvan::pages
