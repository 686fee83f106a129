// Field service in the window, on the in-memory board: the service report of
// the File menu, the port's panel during a reconnection, and the USB
// adapters' names in the port menu.

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QTemporaryDir>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/MainForm.h"
#include "link/UsbAdapters.h"

using namespace orvan;
using namespace orvan::app;

namespace {

struct OneAdapter : link::IUsbAdapterInfo {
    std::optional<link::TUsbAdapter> Describe(const std::string& path) const override {
        if (path != "/dev/ttyUSB7") return std::nullopt;
        return link::TUsbAdapter{"FTDI", "FT232R USB UART", "A10K3ZQ4", "0403", "6001"};
    }
};

class ServiceWindow : public ::testing::Test {
  protected:
    void Start(bool reopenable) {
        TStartOptions o;
        o.settingsDirectory = dir_.path().toStdString() + "/";
        o.backupDirectory = o.settingsDirectory + "backups";
        o.keepSettingsFile = true;
        o.device = "/dev/ttyUSB7";
        o.usbAdapters = &adapters_;
        if (reopenable)
            o.reopenPort = [this]() -> orvan::TResult {
                ++reopens_;
                if (!back_) return orvan::TResult::Fail("absent: /dev/ttyUSB7 does not exist");
                board_.port.lost.clear();
                return orvan::TResult::Ok();
            };
        board_.Connect(o);
        form_ = std::make_unique<TMainForm>(o);
        form_->SetDialogs(&dialogs_);
        form_->FormActivate();
    }
    bool Step(const std::function<bool()>& done, int ticks = 5000) {
        return StepUntil(*form_, board_.clock, done, ticks);
    }

    QTemporaryDir dir_;
    TInProcessBoard board_;
    OneAdapter adapters_;
    orvan::test::TRecordingDialogs dialogs_;
    std::unique_ptr<TMainForm> form_;
    int reopens_ = 0;
    bool back_ = false;
};

TEST_F(ServiceWindow, FileMenuWritesTheServiceReport) {
    Start(false);
    EXPECT_EQ(form_->FileServiceReportItem->text(), QStringLiteral("Service &report..."));
    const std::string path = dir_.path().toStdString() + "/field.html";
    dialogs_.chosen = path;
    form_->FileServiceReportItem->trigger();
    ASSERT_EQ(dialogs_.requests.size(), 1u);
    EXPECT_TRUE(dialogs_.requests[0].save);
    // Its steps in panel 1 while it runs.
    EXPECT_FALSE(form_->PanelText(1).isEmpty());
    ASSERT_TRUE(Step([&] { return !dialogs_.messages.empty(); }));
    EXPECT_EQ(dialogs_.messages[0],
              std::string(kApplicationTitle) + " | Service report written to " + path + ".");
    EXPECT_TRUE(form_->PanelText(1).isEmpty());
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray html = f.readAll();
    EXPECT_TRUE(html.contains("<td>SIM-000001</td>"));
    EXPECT_TRUE(html.contains("Simulated board in memory at 9600 bit/s"));

    // Cancel in the file dialog: nothing is asked of the board.
    dialogs_.chosen.clear();
    const std::size_t before = board_.port.bodies.size();
    form_->FileServiceReport();
    EXPECT_FALSE(form_->Core()->Operations().Busy());
    EXPECT_EQ(board_.port.bodies.size(), before);
}

TEST_F(ServiceWindow, ThePortPanelFollowsAReconnection) {
    Start(true);
    (void)form_->Core()->Identity().RequestInfo();
    ASSERT_TRUE(Step([&] { return form_->Core()->Idle(); }));
    board_.port.lost = "the device /dev/ttyUSB7 is gone (the line hung up)";
    ASSERT_TRUE(Step([&] { return form_->PanelText(6).startsWith(QStringLiteral("Port lost")); }));
    ASSERT_TRUE(Step([&] { return reopens_ >= 1; }));
    EXPECT_TRUE(form_->PanelText(6).contains(QStringLiteral("waiting for the device")))
        << form_->PanelText(6).toStdString();
    back_ = true;
    ASSERT_TRUE(Step([&] {
        return form_->PanelText(6) ==
               QStringLiteral("Reconnected to the same board (SN SIM-000001).");
    }));
    EXPECT_TRUE(dialogs_.messages.empty()) << "no box for a reconnection";
}

TEST_F(ServiceWindow, PortMenuNamesTheUsbAdapter) {
    Start(false);
    form_->RefreshPortDevices();
    bool found = false;
    for (const QAction* a : form_->PortDevices)
        if (a->text() == QStringLiteral("/dev/ttyUSB7 - FTDI FT232R USB UART, serial A10K3ZQ4")) {
            found = true;
            // The device path stays what the action opens.
            EXPECT_EQ(a->data().toString(), QStringLiteral("/dev/ttyUSB7"));
        }
    EXPECT_TRUE(found);
}

}  // namespace
