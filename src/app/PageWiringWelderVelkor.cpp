// The first page: the board's picture and identity, the configuration values
// it shows, and the reads and writes of status polling it offers (analog
// inputs, anomalies, source time, the anomaly mask) with the chart of the
// analog channels in a window of its own.

#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "app/JpegPicture.h"
#include "app/PageWirings.h"
#include "config/AtomicFile.h"
#include "pages/LivePlot.h"
#include "pages/PageWelderVelkor.h"

namespace orvan::app {

namespace {

class TWelderVelkorWiring : public TPageWiring {
  public:
    TWelderVelkorWiring(pages::TPageWelderVelkor& page, IPageContext& c)
        : page_(page), c_(c), attached_(*c.Core(), page) {
        page.SetBoardPicture(BoardPicture());
        connect(&c.Signals(), &TPageSignals::RecordShown, this, [this] {
            if (features::TSupervisorCore* core = c_.Core())
                page_.ShowConfig(core->Record(), c_.Decimal());
        });
        const auto poll = [this](auto read) {
            return [this, read] {
                if (features::TSupervisorCore* core = c_.Core()) c_.Tell(read(core->Polling()));
            };
        };
        connect(&page, &pages::TPageWelderVelkor::InfoRequested, this, [this] {
            if (features::TSupervisorCore* core = c_.Core()) (void)core->Identity().RequestInfo();
        });
        connect(page.CmdReadAnalogStatus, &QPushButton::clicked, this,
                poll([](features::TStatusPolling& p) { return p.RefreshAnalog(); }));
        connect(&page, &pages::TPageWelderVelkor::AnomalyGroupClicked, this,
                poll([](features::TStatusPolling& p) { return p.ReadAnomalies(); }));
        connect(&page, &pages::TPageWelderVelkor::SourceTimeGroupClicked, this,
                poll([](features::TStatusPolling& p) { return p.ReadSourceTime(); }));
        connect(page.edtAnomalyAndMask, &QLineEdit::returnPressed, this,
                poll([this](features::TStatusPolling& p) {
                    return p.SetAnomalyAndMask(page_.edtAnomalyAndMask->text().toStdString());
                }));
        connect(page.cmdLivePlot, &QPushButton::clicked, this, &TWelderVelkorWiring::ShowLivePlot);
    }
    ~TWelderVelkorWiring() override {
        if (plot_ && c_.Core()) c_.Core()->Detach(*plot_);
    }

  private:
    // Made at first use; it lives beside the window, and hears the core for
    // as long as this wiring does.
    void ShowLivePlot() {
        features::TSupervisorCore* core = c_.Core();
        if (!core) return;
        if (!plot_) {
            plot_ = new pages::TLivePlot(c_.Clock(), page_.window());
            core->Attach(*plot_);
            connect(plot_, &pages::TLivePlot::SaveRequested, this, [this] { SavePlot(); });
        }
        plot_->show();
        plot_->raise();
    }
    void SavePlot() {
        TFileRequest req;
        req.save = true;
        req.caption = QStringLiteral("Save the live plot");
        req.filters = {QStringLiteral("CSV (*.csv)")};
        req.defaultSuffix = QStringLiteral("csv");
        const auto choice = c_.Dialogs().ChooseFile(req);
        if (!choice || !plot_) return;
        QString path = choice->path;
        if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
        const config::SaveResult r =
            config::SaveFileAtomically(path.toStdString(), plot_->Series().Csv());
        c_.Tell(r);
    }

    pages::TPageWelderVelkor& page_;
    IPageContext& c_;
    features::TAttachment<pages::TPageWelderVelkor> attached_;
    QPointer<pages::TLivePlot> plot_;
};

}  // namespace

std::unique_ptr<TPageWiring> WireWelderVelkorPage(pages::TPageWelderVelkor& page, IPageContext& c) {
    return std::make_unique<TWelderVelkorWiring>(page, c);
}

}  // namespace orvan::app
