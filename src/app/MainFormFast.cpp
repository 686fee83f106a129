// The window's side of fast exchange and of the line capture: the "Settings"
// check item kept in the settings file, the status-bar mark, the notifier
// that hands the port's bytes to the engine as soon as they arrive, and the
// capture controls of the line debug page.

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#ifdef _WIN32
#include <QWinEventNotifier>
#include <cstdint>
#else
#include <QSocketNotifier>
#endif
#include <QStatusBar>

#include "app/Config.h"
#include "app/MainForm.h"
#include "app/QtText.h"
#include "commands/FrameMeaning.h"
#include "pages/PageComDebug.h"

namespace orvan::app {

void TMainForm::BuildFastExchange() {
    mnuSettings->addSeparator();
    Act_FastExchange = mnuSettings->addAction(QStringLiteral("Fast exchange"));
    Act_FastExchange->setObjectName(QStringLiteral("Act_FastExchange"));
    Act_FastExchange->setCheckable(true);
    Act_FastExchange->setStatusTip(
        QStringLiteral("Take each answer as soon as it is complete instead of waiting for the "
                       "line to fall quiet"));
    Act_FastExchange->setChecked(options_.fast || config_->fastExchange);
    connect(Act_FastExchange, &QAction::triggered, this, &TMainForm::Act_FastExchangeExecute);

    lblFastExchange = new QLabel(QStringLiteral("Fast exchange"), statusBar());
    lblFastExchange->setObjectName(QStringLiteral("lblFastExchange"));
    lblFastExchange->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lblFastExchange->setToolTip(Act_FastExchange->statusTip());
    // At the right end: switching the mode moves none of the fixed panels
    // (only the last, stretching one gives up room while the mark shows).
    statusBar()->addPermanentWidget(lblFastExchange, 0);

    core_->Capture().onFrame = [this](const link::TCaptureFrame& f) {
        TshComDebug->AppendFrame(link::FormatCaptureLine(f),
                                 commands::DescribeFrame(f.transmitted, f.bytes));
    };
    connect(TshComDebug->chkCapture, &QCheckBox::toggled, this, &TMainForm::chkCaptureClick);
    connect(TshComDebug->CmdClearCapture, &QPushButton::clicked, this,
            &TMainForm::CmdClearCaptureClick);
    connect(TshComDebug->CmdSaveCapture, &QPushButton::clicked, this,
            &TMainForm::CmdSaveCaptureClick);
    ApplyFastExchange();
}

void TMainForm::ApplyFastExchange() {
    if (!core_ || closed_ || !Act_FastExchange) return;
    const bool on = Act_FastExchange->isChecked();
    core_->SetFastMode(on);
    lblFastExchange->setVisible(on);
    DropLineNotifier();
    // An injected line has no descriptor: the exchange tick serves it.
    if (!on || options_.port != nullptr || !port_.IsOpen() || port_.Descriptor() < 0) return;
#ifdef _WIN32
    // There the descriptor is the event the port keeps signalled while bytes
    // wait (or once the line is gone).
    lineNotifier_ = new QWinEventNotifier(
        reinterpret_cast<Qt::HANDLE>(static_cast<std::intptr_t>(port_.Descriptor())), this);
    connect(lineNotifier_, &QWinEventNotifier::activated, this, &TMainForm::LineReadable);
#else
    lineNotifier_ = new QSocketNotifier(port_.Descriptor(), QSocketNotifier::Read, this);
    connect(lineNotifier_, &QSocketNotifier::activated, this, &TMainForm::LineReadable);
#endif
}

// It may be the notifier whose signal is running: it goes once that is over.
void TMainForm::DropLineNotifier() {
    if (!lineNotifier_) return;
    lineNotifier_->setEnabled(false);
    lineNotifier_->deleteLater();
    lineNotifier_ = nullptr;
}

void TMainForm::LineReadable() {
    if (closed_ || !core_) return;
    // A device that is gone stays readable for ever: the exchange tick
    // reports it, the notifier must not spin on it.
    if (!port_.IsOpen() || !port_.LostReason().empty()) {
        DropLineNotifier();
        return;
    }
    (void)core_->OnLineReadable();
}

void TMainForm::Act_FastExchangeExecute(bool on) {
    if (closed_) return;
    config_->fastExchange = on;
    ApplyFastExchange();
}

void TMainForm::chkCaptureClick(bool on) {
    if (core_) core_->SetCapturing(on);
}

void TMainForm::CmdClearCaptureClick() {
    if (core_) core_->Capture().Clear();
    TshComDebug->ClearFrames();
}

void TMainForm::CmdSaveCaptureClick() {
    if (!core_) return;
    TFileRequest req;
    req.save = true;
    req.caption = QStringLiteral("Save capture");
    req.filters = {QStringLiteral("Line capture (*.cap)")};
    req.defaultSuffix = QStringLiteral("cap");
    const std::optional<TOutputChoice> c = ChooseOutput(req, features::TFileKind::Capture);
    if (!c) return;
    if (const TResult r = core_->SaveCapture(c->path, true, c->replaceOtherKind); !r)
        ShowMessage(QStringLiteral("Attenzione!"),
                    QStringLiteral("The capture was not saved:\n%1").arg(Q(r.why)));
}

}  // namespace orvan::app
