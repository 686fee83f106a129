// The window's side of the core's operations: each is started through Run,
// its progress shown in status panel 1 and the progress bar, its questions
// asked in boxes once the exchange tick is over, and its outcome told in the
// words the core made for it, the same words orvan-cli prints.

#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

#include "app/MainForm.h"
#include "app/QtText.h"

namespace orvan::app {

namespace {

using features::TOperationOutcome;

QString Caption(const std::string& caption) {
    return caption.empty() ? QString::fromLatin1(kApplicationTitle) : Q(caption);
}

// The outcome's message as the core made it; what its warning adds (a
// damaged image was read) follows, sentence by sentence, so no front end
// drops it and none is said twice.
QString OutcomeText(const TOperationOutcome& o) {
    std::string extra;
    const std::string& w = o.warning;
    for (std::size_t from = 0; from < w.size();) {
        std::size_t end = w.find(". ", from);
        end = end == std::string::npos ? w.size() : end + 1;
        std::string sentence = w.substr(from, end - from);
        sentence.erase(0, sentence.find_first_not_of(' '));
        if (!sentence.empty() && o.message.find(sentence) == std::string::npos)
            extra += (extra.empty() ? "" : " ") + sentence;
        from = end;
    }
    return extra.empty() ? Q(o.message) : Q(o.message) + QStringLiteral("\n\n") + Q(extra);
}

bool ConfigurationWrite(const std::string& operation) {
    return operation == "Configuration write" || operation == "Configuration restore";
}

}  // namespace

bool TMainForm::Run(std::unique_ptr<features::TOperation> op, TTold told,
                    std::function<void(const TOperationOutcome&)> then) {
    if (closed_ || !core_ || !op) return false;
    starting_ = true;
    const bool started = core_->Operations().Start(
        std::move(op), [this, told, then = std::move(then)](const TOperationOutcome& o) {
            if (closing_) {
                if (told != TTold::StatusBar) closingOutcome_ = o;
                return;
            }
            // Ended within Start (refused, or done without the board), or
            // while the user is asked whether to close: told once Start has
            // returned, or once the user answered.
            if (starting_ || askingClose_) {
                held_.push_back({o, told, then});
                return;
            }
            // After the tick: a box must not open inside the answer's handling.
            QTimer::singleShot(0, this, [this, o, told, then] {
                if (closed_) return;
                Tell(o, told);
                if (then) then(o);
            });
        });
    starting_ = false;
    TellHeld();
    return started;
}

void TMainForm::TellHeld() {
    std::vector<THeldOutcome> held;
    held.swap(held_);
    for (const THeldOutcome& h : held) {
        Tell(h.outcome, h.told);
        if (h.then) h.then(h.outcome);
    }
}

void TMainForm::Tell(const TOperationOutcome& o, TTold told) {
    const QString text = OutcomeText(o);
    if (told == TTold::StatusBar ||
        (told == TTold::QuietWhenDone && o.Completed() && o.warning.empty())) {
        ShowStatus(text);
        return;
    }
    ShowMessage(Caption(o.caption), text);
}

bool TMainForm::InFront(const std::string& operation) const {
    const features::TOperation* current = core_ ? core_->Operations().Current() : nullptr;
    return current != nullptr && current->Name() == operation;
}

void TMainForm::OnOperationStarted(const std::string& operation) {
    if (!InFront(operation)) return;
    panelMarks_ = false;
    SetPanelText(1, QString());
    cgaTransfer->setRange(0, 0);
    cgaTransfer->setFormat(QString());
    cgaTransfer->setToolTip(Q(operation));
    cgaTransfer->show();
}

void TMainForm::OnOperationProgress(const features::TProgress& p) {
    if (!InFront(p.operation)) return;
    // The bar counts; what is being counted is in panel 1 and the bar's tooltip.
    if (p.total > 0) {
        cgaTransfer->setRange(0, p.total);
        cgaTransfer->setValue(std::min(p.done, p.total));
        cgaTransfer->setFormat(QStringLiteral("%v/%m"));
    } else {
        cgaTransfer->setRange(0, 0);
    }
    cgaTransfer->setToolTip(Q(p.operation + ": " + p.phase));
    // One mark per block written, two per block read (a read block is two
    // written ones): the panel counts the transfer's blocks.
    if (ConfigurationWrite(p.operation) && p.phase == "writing") {
        panelMarks_ = true;
        SetPanelText(1, QString(p.done, QLatin1Char('|')));
    } else if ((p.operation == "Configuration read" && p.phase == "reading") ||
               (p.operation == "Configuration verify" && p.phase == "reading to compare")) {
        panelMarks_ = true;
        SetPanelText(1, QString(2 * p.done, QLatin1Char('|')));
    } else if (!panelMarks_) {
        SetPanelText(1, Q(p.phase));
    }
}

void TMainForm::OnOperationQuestion(const features::TQuestion& q) {
    // What was shown as under way is not: the operation waits for the user.
    const QString waiting = QStringLiteral("waiting for your answer");
    if (InFront(q.operation) && !panelMarks_) SetPanelText(1, waiting);
    QTimer::singleShot(0, this, [this, q] {
        if (closed_ || !core_ || !core_->Operations().Asking()) return;
        const bool yes = Confirm(Caption(q.caption), Q(q.text));
        if (core_) core_->Operations().Answer(yes);
    });
}

void TMainForm::OnOperationFinished(const TOperationOutcome& o) {
    // Polling ends however it was started (the button, the core after a
    // reconnection): the button says what a click does next.
    if (core_ && o.operation == "Status polling" && !core_->Operations().BackgroundBusy())
        cmdPolling->setText(QStringLiteral("Polling -> START"));
    // Nothing in front any more: an outcome of a start refused while another
    // operation runs leaves that one's progress alone.
    if (!core_ || core_->Operations().Current() != nullptr) return;
    cgaTransfer->hide();
    if (!panelMarks_) SetPanelText(1, QString());
}

std::optional<TOutputChoice> TMainForm::ChooseOutput(const TFileRequest& request,
                                                     features::TFileKind kind) {
    const std::optional<TFileChoice> c = dialogs_->ChooseFile(request);
    if (!c || c->path.isEmpty()) return std::nullopt;
    TOutputChoice out{c->path.toStdString(), false};
    // A file of another kind is the user's to give up; anything else the
    // operation's reservation refuses with its reason.
    const features::TSaveCheck check = features::CheckSave(out.path, kind);
    if (check.ask && !check.refuse) {
        if (!Confirm(QStringLiteral("Attenzione!"), Q(check.message))) return std::nullopt;
        out.replaceOtherKind = true;
    }
    return out;
}

bool TMainForm::ConfirmCloseDuringOperation() {
    if (!core_ || !core_->Operations().Busy()) return true;
    const std::string running = core_->Operations().Running();
    return Confirm(
        QStringLiteral("Attenzione!"),
        ConfigurationWrite(running)
            ? QStringLiteral("A write to the board is running. Closing now stops it part way: "
                             "the board would hold part of the new configuration and part of "
                             "the old one. Close anyway?")
            : QStringLiteral("%1 is under way with the board. Closing now stops it. Close anyway?")
                  .arg(Q(running)));
}

std::string TMainForm::StopOperationForClose() {
    // Ended while the user was asked: its account is what the board holds.
    if (closingOutcome_ && (!core_ || !core_->Operations().Busy())) {
        const std::string account = OutcomeText(*closingOutcome_).toStdString();
        closingOutcome_.reset();
        return account;
    }
    if (!core_ || !core_->Operations().Busy()) return {};
    const std::string running = core_->Operations().Running();
    closing_ = true;
    closingOutcome_.reset();
    core_->Operations().Cancel("the program was closed");
    // The request in flight is answered (or times out) first; then the
    // operation ends saying what the board holds.
    for (int i = 0; i < kCloseTicks && !closingOutcome_; ++i) {
        core_->Tick();
        if (!closingOutcome_ && options_.clock == nullptr) QThread::msleep(kExchangeIntervalMs);
    }
    closing_ = false;
    if (closingOutcome_) return OutcomeText(*closingOutcome_).toStdString();
    return running +
           " was stopped as the program closed, but it did not end in time: what the board "
           "holds is not known. Copies of what it held, if any were kept, are in " +
           core_->Operations().BackupDir() + ".";
}

}  // namespace orvan::app
