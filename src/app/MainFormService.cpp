// The window's side of field service: the service report of the File menu,
// reconnection when the port's device comes back, and the USB adapters'
// names (the port menu and "Find board..." use them, MainFormPort.cpp).

#include <QTimer>

#include "app/Config.h"
#include "app/MainForm.h"
#include "app/QtText.h"

namespace orvan::app {

void TMainForm::BuildService() {
    core_->Report().Views().Add(static_cast<features::IServiceReportView&>(*this));
    core_->Reconnection().Views().Add(static_cast<features::IReconnectView&>(*this));
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
    if (core_->Report().Running()) {
        ShowMessage(QStringLiteral("Service report"),
                    QStringLiteral("A service report is being made already."));
        return;
    }
    TFileRequest req;
    req.save = true;
    req.caption = QStringLiteral("Service report");
    req.filters = {QStringLiteral("Service report (*.html)")};
    req.defaultSuffix = QStringLiteral("html");
    const std::optional<TFileChoice> c = dialogs_->ChooseFile(req);
    if (!c || c->path.isEmpty()) return;
    core_->Report().linkText = (options_.lineNote.empty() ? ActivePortName() : options_.lineNote) +
                               " at " + std::to_string(config_->speed) + " bit/s";
    const TResult r = core_->Report().Start(c->path.toStdString());
    if (!r) ShowMessage(QStringLiteral("Service report"), Q(r.why));
}

void TMainForm::OnReportStep(const std::string& step) {
    SetPanelText(1, QStringLiteral("Report: ") + Q(step));
}

void TMainForm::OnReportFinished(const features::TReportOutcome& outcome) {
    // Told once the exchange tick is over: no box inside the tick.
    QTimer::singleShot(0, this, [this, outcome] {
        if (closed_) return;
        SetPanelText(1, QString());
        ShowMessage(QStringLiteral("Service report"), Q(outcome.message));
    });
}

void TMainForm::OnReconnectEvent(const features::TReconnectEvent& e) {
    // The serial number's panel follows the re-read by itself.
    SetPanelText(6, Q(e.text));
}

}  // namespace orvan::app
