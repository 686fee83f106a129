// The window's side of field service: the service report of the File menu,
// reconnection when the port's device comes back, and the USB adapters'
// names (the port menu and "Find board..." use them, MainFormPort.cpp).

#include "app/Config.h"
#include "app/MainForm.h"
#include "app/QtText.h"
#include "features/BoardOperations.h"

namespace orvan::app {

void TMainForm::BuildService() {
    // The device is opened again by its name: a replugged adapter comes back
    // under the same name (or the same udev link). A line given by the caller
    // is reopened only when the caller says how.
    if (options_.port != nullptr) {
        core_->Reconnection().reopen = options_.reopenPort;
        return;
    }
    core_->Reconnection().reopen = [this]() -> TResult {
        port_.ClosePort();
        const std::string name = ActivePortName();
        const std::int32_t rc = port_.OpenPort(name.c_str(), config_->speed, 0);
        if (rc != link::kOpenOk) return TResult::Fail(port_.OpenErrorText(rc));
        return TResult::Ok();
    };
}

void TMainForm::FileServiceReport() {
    if (closed_ || !core_) return;
    TFileRequest req;
    req.save = true;
    req.caption = QStringLiteral("Service report");
    req.filters = {QStringLiteral("Service report (*.html)")};
    req.defaultSuffix = QStringLiteral("html");
    const std::optional<TOutputChoice> c = ChooseOutput(req, features::TFileKind::Other);
    if (!c) return;
    core_->Report().linkText = (options_.lineNote.empty() ? ActivePortName() : options_.lineNote) +
                               " at " + std::to_string(config_->speed) + " bit/s";
    Run(features::ServiceReportOperation(*core_, {c->path, true, c->replaceOtherKind}));
}

void TMainForm::OnReconnectEvent(const features::TReconnectEvent& e) {
    // The serial number's panel follows the re-read by itself.
    SetPanelText(6, Q(e.text));
    // The polling the line stopped goes on: its reads are the operation's.
    if (e.pollingResumed) StartStatusPolling();
}

}  // namespace orvan::app
