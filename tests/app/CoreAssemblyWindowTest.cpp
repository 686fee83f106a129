// The window runs the core through the same owner as the companion and the
// rigs: a configuration read from its menu sends the very requests the same
// read sends from a bare TSupervisorCore.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <type_traits>

#include "FormTestSupport.h"
#include "app/MainForm.h"
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
    std::vector<std::string> messages;
    f.MessageHook = [&](const QString& c, const QString& t) {
        messages.push_back((c + " | " + t).toStdString());
    };
    f.FormActivate();
    f.ConfigUploadClick();
    ASSERT_TRUE(StepUntil(f, windowBoard.clock, [&] {
        return !messages.empty() && f.Core()->Idle() && !f.Session()->ChainRunning();
    }));
    EXPECT_EQ(messages[0],
              "READ      PC  <--  Board | Configuration read from the board: 12 of 12 blocks.");

    TInProcessBoard bareBoard;
    Silent notifier;
    features::TSupervisorCore core(bareBoard.port, bareBoard.clock, notifier);
    ASSERT_TRUE(core.Transfer().Read(true));
    for (int i = 0; i < 5000 && (core.Transfer().Busy() || !core.Idle()); ++i) {
        core.Tick();
        bareBoard.clock.Advance(30);
    }
    EXPECT_FALSE(core.Transfer().Busy());
    EXPECT_EQ(notifier.boxes, 0);
    // Serial number, 12 blocks, the tuning log: request for request.
    EXPECT_EQ(windowBoard.port.bodies.size(), 1u + 12u + 10u);
    EXPECT_EQ(windowBoard.port.bodies, bareBoard.port.bodies);
}

}  // namespace
