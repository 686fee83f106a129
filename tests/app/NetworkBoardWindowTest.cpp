// The window on a board behind a network server, in real time: the simulated
// board on a loopback TCP port, chosen with "Network board...", kept in the
// settings with the recent addresses, and opened again at the next start.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/Config.h"
#include "app/MainForm.h"
#include "boardsim/PtyBoard.h"
#include "features/BoardOperations.h"
#include "support/TempDir.h"

using namespace orvan::app;

namespace {

using orvan::test::ReadText;

// A loopback port nothing listens on.
std::string ClosedAddress() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return "tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
}

TEST(WindowOnTheNetwork, ANetworkBoardIsChosenShownAndKept) {
    orvan::sim::TPtyBoard board;
    std::string error;
    ASSERT_TRUE(board.OpenTcp(0, 56700, &error) && board.LoadOrCreateEeprom(&error)) << error;
    board.Start();
    const std::string address = board.DevicePath();
    const std::string closed = ClosedAddress();

    QTemporaryDir dir;
    TStartOptions o;
    o.settingsDirectory = dir.path().toStdString() + "/";
    o.backupDirectory = o.settingsDirectory + "backups";
    orvan::test::TRecordingDialogs dialogs;
    {
        TMainForm f(o);
        f.SetDialogs(&dialogs);
        f.FormActivate();

        dialogs.typed = "tcp://box";  // refused with the reason; nothing changes
        f.Act_NetworkBoardExecute();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_NE(dialogs.messages[0].find("\"tcp://box\" is not a board address: no port after "
                                           "the host (HOST:PORT)"),
                  std::string::npos)
            << dialogs.messages[0];
        EXPECT_TRUE(f.Config()->recentAddresses.empty());
        EXPECT_EQ(f.Config()->device, "");

        dialogs.typed = closed;
        f.Act_NetworkBoardExecute();
        EXPECT_FALSE(f.Port().IsOpen());
        EXPECT_TRUE(f.PanelText(6).startsWith(
            QString::fromStdString(closed + " (closed: refused: nothing accepts connections")))
            << f.PanelText(6).toStdString();

        dialogs.typed = "  " + address + " ";  // as pasted
        f.Act_NetworkBoardExecute();
        ASSERT_TRUE(f.Port().IsOpen()) << f.PanelText(6).toStdString();
        EXPECT_TRUE(f.Port().IsNetwork());
        EXPECT_EQ(f.PanelText(6).toStdString(), address);
        EXPECT_EQ(f.Config()->device, address);
        EXPECT_EQ(f.Config()->recentAddresses, (std::vector<std::string>{address, closed}));
        // The board answers over it.
        f.Core()->Operations().Start(orvan::features::InfoOperation(*f.Core()));
        EXPECT_TRUE(
            PumpUntil([&] { return f.PanelText(4).contains(QStringLiteral("SIM-000001")); }, 5000))
            << f.PanelText(4).toStdString();
        // The menu lists it, ticked.
        f.RefreshPortDevices();
        int ticked = 0;
        for (QAction* a : f.PortDevices)
            if (a->isChecked()) {
                ++ticked;
                EXPECT_EQ(a->data().toString().toStdString(), address);
            }
        EXPECT_EQ(ticked, 1);
        f.FormClose();
    }
    const std::string settings = ReadText(o.settingsDirectory + kSettingsFileName);
    EXPECT_NE(settings.find("Device=" + address), std::string::npos) << settings;
    EXPECT_NE(settings.find("RecentAddress1=" + address), std::string::npos) << settings;
    EXPECT_NE(settings.find("RecentAddress2=" + closed), std::string::npos) << settings;

    // The next start opens it again.
    TMainForm again(o);
    again.SetDialogs(&dialogs);
    again.FormActivate();
    EXPECT_TRUE(again.Port().IsOpen());
    EXPECT_EQ(again.Port().GetPortName(), address);
    EXPECT_EQ(again.Config()->recentAddresses.size(), 2u);
    again.FormClose();
}

}  // namespace
