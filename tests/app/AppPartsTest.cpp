#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

#include "app/Config.h"
#include "app/JpegPicture.h"
#include "boardsim/PtyBoard.h"
#include "boardsim/SimPort.h"
#include "features/BoardFinder.h"
#include "link/SerialDevices.h"
#include "link/TickDriver.h"

using namespace orvan::app;

TEST(BoardPicture, ShippedPictureDecodes) {
    const QImage img = BoardPicture();
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(160, 100));
    // The board is drawn green in the middle, on a light margin.
    const QColor pcb = img.pixelColor(80, 80);
    EXPECT_GT(pcb.green(), pcb.red());
    EXPECT_GT(img.pixelColor(1, 1).lightness(), 200);
}

TEST(BoardPicture, DamagedDataGivesAReasonNotACrash) {
    QFile f(QStringLiteral(":/orvan/board.jpg"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray good = f.readAll();
    const QByteArray cases[] = {QByteArray(), QByteArray("not a picture at all"), good.left(2),
                                QByteArray(good).replace(2, 40, QByteArray(40, '\x55'))};
    for (const QByteArray& bytes : cases) {
        QString why;
        EXPECT_TRUE(DecodeJpeg(bytes, &why).isNull());
        EXPECT_FALSE(why.isEmpty());
    }
}

TEST(SerialDevices, DetectedInNaturalOrderOfTheirFamilies) {
    QTemporaryDir dir;
    for (const char* n :
         {"ttyUSB10", "ttyUSB2", "ttyS1", "ttyACM0", "ttyS0", "ttyfoo", "ttyUSBx", "tty0", "null"})
        std::ofstream(dir.path().toStdString() + "/" + n);
    std::vector<std::string> got = orvan::link::DetectSerialDevices(dir.path().toStdString());
    for (auto& g : got) g = g.substr(g.rfind('/') + 1);
    EXPECT_EQ(got, (std::vector<std::string>{"ttyUSB2", "ttyUSB10", "ttyACM0", "ttyS0", "ttyS1"}));
    EXPECT_TRUE(orvan::link::DetectSerialDevices("/no/such/dir").empty());
}

// On real pseudo-terminals, through the serial port the program always uses.
TEST(BoardFinder, KeepsOnlyDevicesThatAnswer) {
    orvan::sim::TPtyBoard board;
    std::string error;
    ASSERT_TRUE(board.Open(&error)) << error;
    board.Start();
    orvan::sim::TPtyBoard silent;
    ASSERT_TRUE(silent.Open(&error)) << error;
    orvan::sim::BoardFaults f;
    f.noAnswer = true;
    silent.SetFaults(f);
    silent.Start();
    const auto found = orvan::features::FindBoards(
        {"/no/such/tty", silent.DevicePath(), board.DevicePath()}, 9600, 600);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].device, board.DevicePath());
    EXPECT_EQ(found[0].firmware, "1.02.07");
}

// On the manual clock: every device is asked at once, a silent one holds the
// search for the limit and no longer, and without one it ends at the answers.
TEST(BoardFinder, SilentDevicesHoldTheSearchForTheLimitOnly) {
    orvan::link::ManualClock clock;
    orvan::sim::TBoardModel boards[3];
    for (auto& m : boards) {
        m.Eeprom() = orvan::sim::DefaultEeprom();
        m.nowMs = [&clock] { return clock.MonotonicMs(); };
    }
    std::vector<std::string> opened, refused;
    orvan::features::TBoardFinder finder;
    finder.clock = &clock;
    finder.wait = [&clock](int ms) { clock.Advance(ms); };
    finder.open = [&](const std::string& device,
                      std::string& why) -> std::unique_ptr<orvan::link::ISerialPort> {
        if (device == "/dev/absent") {
            why = "absent";
            refused.push_back(device);
            return nullptr;
        }
        opened.push_back(device);
        auto port = std::make_unique<orvan::sim::TSimPort>(boards[opened.size() - 1]);
        port->silent = device == "/dev/silent";
        return port;
    };
    struct Case {
        std::vector<std::string> devices;
        std::size_t found;
        std::int64_t minMs, maxMs;
    };
    const Case cases[] = {
        {{"/dev/absent", "/dev/silent", "/dev/board"},
         1,
         finder.limitMs,
         finder.limitMs + orvan::link::kExchangeTickMs},
        {{"/dev/board", "/dev/other"}, 2, 0, finder.limitMs / 2},
        {{"/dev/silent"}, 0, finder.limitMs, finder.limitMs + orvan::link::kExchangeTickMs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.devices.front());
        opened.clear();
        const std::int64_t t0 = clock.MonotonicMs();
        const auto found = orvan::features::FindBoards(c.devices, finder);
        const std::int64_t took = clock.MonotonicMs() - t0;
        ASSERT_EQ(found.size(), c.found);
        for (const auto& b : found) {
            EXPECT_NE(b.device, "/dev/silent");
            EXPECT_EQ(b.firmware, "1.02.07");
        }
        EXPECT_GE(took, c.minMs);
        EXPECT_LE(took, c.maxMs);
    }
    EXPECT_EQ(refused.size(), 1u);
}

TEST(Settings, DevicePathRoundTripAndDefaults) {
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString() + "/";
    {
        TConfig c(d);
        EXPECT_EQ(c.port, 1);
        EXPECT_EQ(c.speed, 9600);
        EXPECT_TRUE(c.pollAnalog);
        EXPECT_EQ(c.lastTab, 0);
        EXPECT_TRUE(c.device.empty());
        EXPECT_EQ(c.FileName(), d + "OrvanSuperV.cfg");
        c.device = "/dev/ttyUSB0";
        c.speed = 38400;
        ASSERT_TRUE(c.Save());
    }
    {
        TConfig c(d);
        EXPECT_EQ(c.device, "/dev/ttyUSB0");
        EXPECT_EQ(c.speed, 38400);
        c.device.clear();
        ASSERT_TRUE(c.Save());
    }
    TConfig c(d);
    EXPECT_TRUE(c.device.empty());
}

TEST(Settings, AFileThatCannotBeReadIsNeverReplaced) {
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString() + "/";
    const std::string file = d + kSettingsFileName;
    {
        // Too large to be a settings file: read as defaults, said, kept.
        std::ofstream(file) << "[COM]\nPort=7\n" << std::string(5 * 1024 * 1024, ';');
        TConfig c(d);
        EXPECT_EQ(c.port, 1);
        ASSERT_EQ(c.Notices().size(), 1u);
        EXPECT_NE(c.Notices()[0].find("could not be read"), std::string::npos) << c.Notices()[0];
        std::string error;
        EXPECT_FALSE(c.Save(&error));
        EXPECT_NE(error.find("was not replaced"), std::string::npos) << error;
        EXPECT_GT(std::filesystem::file_size(file), 5u * 1024 * 1024) << "left as it was";
    }
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    TConfig c(d);
    EXPECT_FALSE(c.LoadError().empty());
    EXPECT_FALSE(c.Save());
    EXPECT_TRUE(std::filesystem::is_fifo(file)) << "a FIFO stays a FIFO";
}

TEST(Settings, ImpossibleValuesBecomeDefaultsAndAreNamed) {
    struct Case {
        const char* line;
        const char* named;
    };
    const Case cases[] = {
        {"Speed=12345", "Speed=12345"},
        {"Port=-1", "Port=-1"},
        {"Port=0", "Port=0"},
        {"Device=/dev/null", "Device=/dev/null is not a serial port (a memory device)"},
        {"Device=relative/tty", "not an absolute device path"},
        // A lone carriage return would turn into a space on the next save.
        {"Device=/dev/ttyUSB0\rPOLLING]", "control characters in the path"},
        {"Device=tcp://box:0",
         "Device=tcp://box:0 is not a network address (the port 0 is not 1 to 65535)"},
        {"Device=rfc2217://box:2000\x01", "Device=rfc2217://box:2000? is not a network address"},
        // The recent addresses of "Network board..." are checked alike.
        {"RecentAddress1=/dev/ttyUSB0", "RecentAddress1=/dev/ttyUSB0 is not a network address"},
        {"RecentAddress3=tcp://box", "RecentAddress3=tcp://box is not a network address (no port"},
        {"RecentAddress2=tcp://b\x7fx:1", "RecentAddress2=tcp://b?x:1 is not a network address"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.line);
        QTemporaryDir dir;
        const std::string d = dir.path().toStdString() + "/";
        std::ofstream(d + kSettingsFileName) << "[COM]\n" << k.line << "\n";
        TConfig c(d);
        EXPECT_EQ(c.port, 1);
        EXPECT_EQ(c.speed, 9600);
        EXPECT_TRUE(c.device.empty());
        ASSERT_EQ(c.Notices().size(), 1u);
        EXPECT_NE(c.Notices()[0].find(k.named), std::string::npos) << c.Notices()[0];
    }
    // Possible values are kept without a word, an unplugged adapter among them.
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString() + "/";
    std::ofstream(d + kSettingsFileName) << "[COM]\nPort=30\nSpeed=56700\nDevice=/dev/ttyUSB9\n";
    TConfig c(d);
    EXPECT_EQ(c.port, 30);
    EXPECT_EQ(c.speed, 56700);
    EXPECT_EQ(c.device, "/dev/ttyUSB9");
    EXPECT_TRUE(c.Notices().empty());
    EXPECT_FALSE(c.fastExchange);
}

TEST(Settings, RecentNetworkAddressesRoundTrip) {
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString() + "/";
    std::ofstream(d + kSettingsFileName)
        << "[COM]\nDevice=rfc2217://[::1]:2001\nRecentAddress1=tcp://a:1\n"
           "RecentAddress2=tcp://a:1\nRecentAddress4=tcp://b:2\n";
    {
        TConfig c(d);
        EXPECT_TRUE(c.Notices().empty()) << c.Notices()[0];
        EXPECT_EQ(c.device, "rfc2217://[::1]:2001");
        EXPECT_EQ(c.recentAddresses, (std::vector<std::string>{"tcp://a:1", "tcp://b:2"}))
            << "gaps skipped, repeats once";
        for (int i = 0; i < 10; ++i) c.NoteRecentAddress("tcp://h" + std::to_string(i) + ":1");
        c.NoteRecentAddress("tcp://h5:1");
        ASSERT_EQ(c.recentAddresses.size(), kMaxRecentAddresses);
        EXPECT_EQ(c.recentAddresses[0], "tcp://h5:1") << "newest first, once";
        EXPECT_EQ(c.recentAddresses[1], "tcp://h9:1");
        EXPECT_EQ(c.recentAddresses.back(), "tcp://h2:1");
        ASSERT_TRUE(c.Save());
    }
    {
        TConfig c(d);
        ASSERT_EQ(c.recentAddresses.size(), kMaxRecentAddresses);
        EXPECT_EQ(c.recentAddresses[0], "tcp://h5:1");
        c.recentAddresses.resize(1);
        ASSERT_TRUE(c.Save());
    }
    TConfig c(d);
    EXPECT_EQ(c.recentAddresses, std::vector<std::string>{"tcp://h5:1"})
        << "emptied slots stay empty";
    EXPECT_TRUE(c.Notices().empty());
}

TEST(Settings, FastExchangeKeyRoundTrip) {
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString() + "/";
    // Any non-zero value reads as on; the key is written back as 0 or 1.
    std::ofstream(d + kSettingsFileName) << "[COM]\nPort=2\nFastExchange=7\n";
    {
        TConfig c(d);
        EXPECT_TRUE(c.fastExchange);
        c.fastExchange = false;
        ASSERT_TRUE(c.Save());
    }
    TConfig back(d);
    EXPECT_FALSE(back.fastExchange);
    EXPECT_EQ(back.port, 2);
    back.fastExchange = true;
    ASSERT_TRUE(back.Save());
    EXPECT_TRUE(TConfig(d).fastExchange);
}
