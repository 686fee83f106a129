// The window and orvan-cli say the same thing for the same outcome: the
// window's box holds the core's message, and the companion prints it after
// its name. Each row is one outcome, brought about in the window on the
// in-memory board and by orvan-cli on its own simulated board.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTemporaryDir>

#include <cstdlib>
#include <functional>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/MainForm.h"
#include "config/AtomicFile.h"
#include "pages/PageEeprom.h"

using namespace orvan::app;

namespace {

struct Row {
    const char* name;
    std::function<void(TMainForm&, orvan::test::TRecordingDialogs&)> inWindow;
    const char* companion;  // orvan-cli's arguments
};

TEST(CompanionWords, TheWindowAndOrvanCliSayTheSameThing) {
    const Row rows[] = {
        {"a write over the serial number, declined",
         [](TMainForm& f, orvan::test::TRecordingDialogs& d) {
             d.answer = false;  // the page opens with "CfgData123" at address 0
             f.FindPage<orvan::pages::TPageEeprom>()->cmdE2PWriteBytes->click();
         },
         "eeprom-write 0 CfgData123"},
        {"a dump file that is a device",
         [](TMainForm& f, orvan::test::TRecordingDialogs& d) {
             d.chosen = "/dev/zero";
             f.FindPage<orvan::pages::TPageEeprom>()->cmdE2PRestoreDump->click();
         },
         "eeprom-restore /dev/zero"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        TStartOptions o;
        o.settingsDirectory = dir.path().toStdString() + "/";
        o.backupDirectory = o.settingsDirectory + "backups";
        o.keepSettingsFile = true;
        TInProcessBoard board;
        board.Connect(o);
        orvan::test::TRecordingDialogs dialogs;
        TMainForm form(o);
        form.SetDialogs(&dialogs);
        form.FormActivate();
        row.inWindow(form, dialogs);
        ASSERT_TRUE(StepUntil(form, board.clock, [&] { return Settled(form); }));
        ASSERT_FALSE(dialogs.messages.empty());
        const std::string& box = dialogs.messages.back();
        const std::string said = box.substr(box.find(" | ") + 3);

        const std::string err = dir.filePath(QStringLiteral("cli.err")).toStdString();
        const std::string command = std::string(ORVAN_CLI_PATH) + " --simulate --quiet " +
                                    row.companion + " < /dev/null > /dev/null 2> '" + err + "'";
        EXPECT_NE(std::system(command.c_str()), 0) << command;
        std::string printed;
        ASSERT_TRUE(orvan::config::ReadWholeFile(err, printed));
        EXPECT_NE(printed.find("orvan-cli: " + said + "\n"), std::string::npos)
            << "window: " << said << "\norvan-cli: " << printed;
    }
}

}  // namespace
