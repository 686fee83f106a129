// "COM Debug": the traffic lists (filled from the exchange's log lines while
// their boxes are ticked), the typed frames sent like any other request, and
// the line capture with its decoded meaning, saved under the rules of every
// output file.

#include <QCheckBox>
#include <QPushButton>

#include "app/PageWirings.h"
#include "app/QtText.h"
#include "commands/FrameMeaning.h"
#include "features/FrameSend.h"
#include "pages/LogView.h"
#include "pages/PageComDebug.h"

namespace orvan::app {

namespace {

class TComDebugWiring : public TPageWiring {
  public:
    TComDebugWiring(pages::TPageComDebug& page, IPageContext& c) : page_(page), c_(c) {
        connect(&c.Signals(), &TPageSignals::TrafficLine, this,
                [this](bool transmitted, const std::string& line) {
                    if (transmitted)
                        page_.AppendTx(line);
                    else
                        page_.AppendRx(line);
                });
        connect(page.CmdClearRXLog, &QPushButton::clicked, &page, &pages::TPageComDebug::ClearRx);
        connect(page.CmdClearTXLog, &QPushButton::clicked, &page, &pages::TPageComDebug::ClearTx);
        connect(page.LsbCOMRxLog, &pages::TLogView::clicked, &page,
                &pages::TPageComDebug::CopySelectedRx);
        connect(page.LsbCOMTxLog, &pages::TLogView::clicked, &page,
                &pages::TPageComDebug::CopySelectedTx);
        connect(page.chkRxLogEnable, &QCheckBox::toggled, this, &TComDebugWiring::TrafficLog);
        connect(page.chkTxLogEnable, &QCheckBox::toggled, this, &TComDebugWiring::TrafficLog);
        TrafficLog();
        connect(&page, &pages::TPageComDebug::SendRequested, this, [this](const QString& text) {
            if (features::TSupervisorCore* core = c_.Core())
                c_.Run(features::FrameSendOperation(*core, {text.toStdString()}),
                       TTold::QuietWhenDone);
        });

        c.Core()->Capture().onFrame = [this](const link::TCaptureFrame& f) {
            page_.AppendFrame(link::FormatCaptureLine(f),
                              commands::DescribeFrame(f.transmitted, f.bytes));
        };
        connect(page.chkCapture, &QCheckBox::toggled, this, [this](bool on) {
            if (features::TSupervisorCore* core = c_.Core()) core->SetCapturing(on);
        });
        connect(page.CmdClearCapture, &QPushButton::clicked, this, [this] {
            if (features::TSupervisorCore* core = c_.Core()) core->Capture().Clear();
            page_.ClearFrames();
        });
        connect(page.CmdSaveCapture, &QPushButton::clicked, this, &TComDebugWiring::SaveCapture);
    }
    ~TComDebugWiring() override {
        if (features::TSupervisorCore* core = c_.Core()) core->Capture().onFrame = nullptr;
    }

  private:
    void TrafficLog() {
        if (features::TSupervisorCore* core = c_.Core())
            core->SetTrafficLog(page_.chkRxLogEnable->isChecked(),
                                page_.chkTxLogEnable->isChecked());
    }
    void SaveCapture() {
        features::TSupervisorCore* core = c_.Core();
        if (!core) return;
        TFileRequest req;
        req.save = true;
        req.caption = QStringLiteral("Save capture");
        req.filters = {QStringLiteral("Line capture (*.cap)")};
        req.defaultSuffix = QStringLiteral("cap");
        const std::optional<TOutputChoice> choice =
            c_.ChooseOutput(req, features::TFileKind::Capture);
        if (!choice) return;
        if (const TResult r = core->SaveCapture(choice->path, true, choice->replaceOtherKind); !r)
            c_.Dialogs().Message(QStringLiteral("Attenzione!"),
                                 QStringLiteral("The capture was not saved:\n%1").arg(Q(r.why)));
    }

    pages::TPageComDebug& page_;
    IPageContext& c_;
};

}  // namespace

std::unique_ptr<TPageWiring> WireComDebugPage(pages::TPageComDebug& page, IPageContext& c) {
    return std::make_unique<TComDebugWiring>(page, c);
}

}  // namespace orvan::app
