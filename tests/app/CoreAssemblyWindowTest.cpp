// The window runs the core through the same owner as the companion and the
// rigs: a configuration read from its menu sends the very requests the same
// read sends from a bare TSupervisorCore.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <optional>
#include <type_traits>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/MainForm.h"
#include "features/ConfigOperations.h"
#include "features/SupervisorCore.h"

using namespace orvan;

namespace {

class Silent : public commands::INotifier {
  public:
    void ShowRefusal(std::string_view, std::string_view) override { ++boxes; }
    void ShowMissingAck(std::string_view, std::string_view) override { ++boxes; }
    int boxes = 0;
};

TEST(CoreAssembly, WindowAndABareCoreSendTheSameRead) {
    static_assert(std::is_same_v<decltype(std::declval<app::TMainForm&>().Core()),
                                 features::TSupervisorCore*>);
    QTemporaryDir dir;
    TInProcessBoard windowBoard;
    app::TStartOptions o;
    o.settingsDirectory = dir.path().toStdString() + "/";
    o.keepSettingsFile = true;
    windowBoard.Connect(o);
    app::TMainForm f(o);
    test::TRecordingDialogs dialogs;
    const std::vector<std::string>& messages = dialogs.messages;
    f.SetDialogs(&dialogs);
    f.FormActivate();
    f.ConfigUploadClick();
    ASSERT_TRUE(StepUntil(f, windowBoard.clock, [&] {
        return !messages.empty() && f.Core()->Idle() && !f.Session()->ChainRunning();
    }));
    EXPECT_EQ(messages[0], std::string(app::kApplicationTitle) +
                               " | Configuration read from the board: 12 of 12 blocks.");

    TInProcessBoard bareBoard;
    Silent notifier;
    features::TSupervisorCore core(bareBoard.port, bareBoard.clock, notifier);
    std::optional<features::TOperationOutcome> outcome;
    ASSERT_TRUE(
        core.Operations().Start(features::ConfigReadOperation(core, {}),
                                [&](const features::TOperationOutcome& o) { outcome = o; }));
    for (int i = 0; i < 5000 && (!outcome || !core.Idle()); ++i) {
        core.Tick();
        bareBoard.clock.Advance(30);
    }
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->message, "Configuration read from the board: 12 of 12 blocks.")
        << "the words the window showed";
    EXPECT_EQ(notifier.boxes, 0);
    // The serial number (the read is filed under its board), 12 blocks, then
    // the tuning log: request for request.
    EXPECT_EQ(windowBoard.port.bodies.size(), 1u + 12u + 10u);
    EXPECT_EQ(windowBoard.port.bodies, bareBoard.port.bodies);
}

}  // namespace
