// The window's side of fast exchange: the "Settings" check item kept in the
// settings file, the status-bar mark, and the notifier that hands the port's
// bytes to the engine as soon as they arrive.

#include <QAction>
#include <QLabel>
#include <QMenu>
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

}  // namespace orvan::app
