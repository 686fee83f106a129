#include "app/Screenshots.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>

#include "app/MainForm.h"
#include "config/Cfgwelder.h"
#include "frames/Fraanomaly.h"
#include "frames/Frahorizbit.h"
#include "frames/Fraiostatus.h"
#include "pages/LivePlot.h"
#include "pages/PageComDebug.h"
#include "pages/PageIOStatus.h"
#include "pages/PageMultiHead.h"
#include "pages/PageWelderCfg.h"
#include "pages/PageWelderVelkor.h"

namespace orvan::app {

namespace {

void Pump(int ms) {
    QDeadlineTimer until(ms);
    while (!until.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

QString FileStem(int index, QString caption) {
    caption.replace(QLatin1Char('/'), QLatin1Char('-'));
    caption.replace(QLatin1Char(' '), QLatin1Char('_'));
    return QStringLiteral("%1-%2.png").arg(index, 2, 10, QLatin1Char('0')).arg(caption);
}

}  // namespace

int RenderScreenshots(TMainForm& window, const QString& dir) {
    if (!QDir().mkpath(dir)) return -1;
    // A workshop laptop's screen; shown (offscreen) so that every layout and
    // scroll area settles as the user would see it.
    window.resize(1024, 768);
    window.show();
    window.FormActivate();
    window.FindPage<pages::TPageComDebug>()->chkRxLogEnable->setChecked(true);
    window.FindPage<pages::TPageComDebug>()->chkTxLogEnable->setChecked(true);
    if (const link::TComProtocol* p = window.Protocol()) {
        // Board type, serial number, firmware and protocol versions.
        window.Act_COMReqHWInfoExecute();
        QDeadlineTimer until(4000);
        while (!until.hasExpired() && (p->QueueCount() > 0 || p->InFlight())) Pump(30);
    }
    // A plausible configuration on the pages, as after reading a board.
    if (features::TSupervisorCore* core = window.Core()) {
        core->Document().New();
        window.ShowConfig();
    }
    // Indicators as the naming file and the multi-head page would build them,
    // so the reviewer sees the frames filled.
    window.FindPage<pages::TPageWelderVelkor>()->fraAnomaly1->BuildIndicators(16);
    window.FindPage<pages::TPageWelderVelkor>()->fraAnomaly1->ShowBitWord(0x0025);
    for (frames::TfraHorizBit* h : {window.FindPage<pages::TPageMultiHead>()->fraMultiHHeadsTout,
                                    window.FindPage<pages::TPageMultiHead>()->fraMultiHErrPos,
                                    window.FindPage<pages::TPageMultiHead>()->fraMultiHCRCPos}) {
        h->BuildIndicators(24);
        h->ShowBitWord(h == window.FindPage<pages::TPageMultiHead>()->fraMultiHErrPos ? 0x000810
                                                                                      : 0);
    }
    window.FindPage<pages::TPageIOStatus>()->fraBrentaOptoInputCPU->ShowBitWord(0x0013);
    window.FindPage<pages::TPageIOStatus>()->fraBrentaOptoInputCPU->IndicatorMouseDown(
        6, Qt::ControlModifier);
    window.FindPage<pages::TPageIOStatus>()->fraBrentaOptoInputCPU->IndicatorMouseDown(
        7, Qt::ShiftModifier);
    int written = 0;
    for (int i = 0; i < window.PgcMain->count(); ++i) {
        // A machine's page the board lacks has no tab; the manual shows it
        // with its tab, as on the board that has it.
        const bool hidden = !window.PgcMain->isTabVisible(i);
        if (hidden) {
            window.PgcMain->setTabVisible(i, true);
            window.PgcMain->setTabEnabled(i, true);
        }
        window.PgcMain->setCurrentIndex(i);
        Pump(50);
        const QString file = QDir(dir).filePath(FileStem(i, window.PgcMain->tabText(i)));
        if (window.grab().save(file, "PNG")) ++written;
        // The configuration page holds four sub-pages; each gets its own file.
        if (window.PgcMain->widget(i) == window.FindPage<pages::TPageWelderCfg>()) {
            QTabWidget* sub = window.FindPage<pages::TPageWelderCfg>()->PgcWelderCfg;
            for (int k = 1; k < sub->count(); ++k) {
                sub->setCurrentIndex(k);
                Pump(30);
                const QString name =
                    QStringLiteral("%1%2-%3")
                        .arg(i, 2, 10, QLatin1Char('0'))
                        .arg(QChar(u'a' + k))
                        .arg(sub->tabText(k).replace(QLatin1Char(' '), QLatin1Char('_')));
                if (window.grab().save(QDir(dir).filePath(name + QStringLiteral(".png")), "PNG"))
                    ++written;
            }
            sub->setCurrentIndex(0);
        }
        if (hidden) {
            window.PgcMain->setCurrentIndex(0);
            window.PgcMain->setTabVisible(i, false);
            window.PgcMain->setTabEnabled(i, false);
        }
    }
    // The chart of the analog channels, after a few seconds of polling.
    window.PgcMain->setCurrentIndex(0);
    auto* first = window.FindPage<pages::TPageWelderVelkor>();
    if (window.Core() && first) {
        first->cmdLivePlot->click();
        if (auto* plot = window.findChild<pages::TLivePlot*>()) {
            plot->resize(900, 560);
            window.cmdPollingClick();
            Pump(3000);
            window.cmdPollingClick();
            Pump(300);
            plot->Redraw();
            if (plot->grab().save(QDir(dir).filePath(QStringLiteral("12-Live_plot.png")), "PNG"))
                ++written;
            plot->close();
        }
    }
    return written;
}

}  // namespace orvan::app
