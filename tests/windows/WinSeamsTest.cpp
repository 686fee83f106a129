// What only Windows answers: the hashing by CNG, the tick driver's wait on a
// port's event, the serial names the settings accept, locale texts.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <clocale>
#include <string>
#include <thread>

#include "config/SystemPaths.h"
#include "features/History.h"
#include "features/Sha256.h"
#include "link/LocaleFormat.h"
#include "link/TickDriver.h"
#include "support/TempDir.h"

namespace orvan {
namespace {

std::string Hex(const features::TSha256::TDigest& d) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : d) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

TEST(WinSeams, Sha256MatchesTheStandardVectorsInPiecesAndWhole) {
    features::TSha256 h;
    EXPECT_EQ(Hex(h.Final()), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::string abc = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    h.Update(reinterpret_cast<const std::uint8_t*>(abc.data()), 10);
    h.Update(reinterpret_cast<const std::uint8_t*>(abc.data()) + 10, abc.size() - 10);
    EXPECT_EQ(Hex(h.Final()), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");

    test::TempDir dir;
    test::WriteText(dir.File("a.bin"), "abc");
    std::string hex;
    std::uint64_t size = 0;
    ASSERT_TRUE(features::FileSha256(dir.File("a.bin"), hex, size));
    EXPECT_EQ(hex, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(size, 3u);
}

TEST(WinSeams, FastExchangeWakesOnThePortsEventAndOnlyThen) {
    const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    int readable = 0;
    link::TReadableWake wake;
    wake.fd = static_cast<int>(reinterpret_cast<std::intptr_t>(event));
    wake.readable = [&] {
        ++readable;
        ::ResetEvent(event);  // the port took the bytes
        return readable < 3;
    };
    std::thread port([&] {
        for (int i = 0; i < 3; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ::SetEvent(event);
        }
    });
    int ticks = 0;
    const auto start = std::chrono::steady_clock::now();
    // A long period: only the event can end the run early.
    (void)link::RunTicks([&] { return ++ticks < 100; }, 1000, 5000, &wake);
    const auto took = std::chrono::steady_clock::now() - start;
    port.join();
    ::CloseHandle(event);
    EXPECT_EQ(readable, 3);
    EXPECT_EQ(ticks, 1);
    EXPECT_LT(took, std::chrono::milliseconds(900));
}

TEST(WinSeams, SettingsAcceptComNamesOnly) {
    struct Row {
        const char* path;
        bool ok;
    } rows[] = {{"COM1", true}, {"com12", true},       {"\\\\.\\COM3", true}, {"COM0", false},
                {"COM", false}, {"/dev/ttyS0", false}, {"COM1x", false},      {"", false},
                {"NUL", false}, {"COM1234", false}};
    for (const Row& r : rows) {
        std::string why;
        EXPECT_EQ(config::PlausibleSerialDevice(r.path, &why), r.ok) << r.path;
        EXPECT_EQ(why.empty(), r.ok) << r.path << ": " << why;
    }
}

TEST(WinSeams, DatesFollowTheFixedFormUntilTheUserLocaleIsTakenUp) {
    using namespace std::chrono;
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 2;
    tm.tm_mday = 7;
    tm.tm_hour = 14;
    tm.tm_min = 5;
    tm.tm_sec = 9;
    tm.tm_isdst = -1;
    const auto t = system_clock::from_time_t(std::mktime(&tm));
    EXPECT_EQ(link::FormatShortDate(t), "07/03/2026");
    EXPECT_EQ(link::FormatLongTime(t), "14:05:09");
    ASSERT_NE(std::setlocale(LC_ALL, ""), nullptr);
    const std::string date = link::FormatShortDate(t);
    std::setlocale(LC_ALL, "C");
    EXPECT_NE(date.find("2026"), std::string::npos) << date;
    EXPECT_NE(date.find('7'), std::string::npos) << date;
}

}  // namespace
}  // namespace orvan
