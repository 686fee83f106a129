// orvan-cli's file commands, run as the user runs them.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdlib>
#include <filesystem>

#include "config/Cfgwelderrw.h"
#include "support/TempDir.h"

namespace orvan::config {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteText;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

CliRun Cli(const TempDir& dir, const std::vector<std::string>& args) {
    std::string cmd = Quote(ORVAN_CLI_PATH);
    for (const auto& a : args) cmd += " " + Quote(a);
    cmd += " >" + Quote(dir.File("stdout")) + " 2>" + Quote(dir.File("stderr"));
    CliRun r;
    const int rc = std::system(cmd.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = ReadText(dir.File("stdout"));
    r.err = ReadText(dir.File("stderr"));
    return r;
}

std::string ImageBytes(TWelderCfgBlank cfg) {
    std::array<std::uint8_t, kImageSize> img{};
    BuildDeviceImage(cfg, img.data());
    return std::string(reinterpret_cast<const char*>(img.data()), img.size());
}

class OfflineCli : public ::testing::Test {
  protected:
    void SetUp() override {
        cfg_ = TCfgWelderRW(DefaultConfiguration());
        cfg_.SetPMCoeffQ(-7);
        cfg_.SetTimer(9, 4321);
        ASSERT_TRUE(cfg_.SaveToFile(dir_.File("in.wcf")));
    }
    TempDir dir_;
    TCfgWelderRW cfg_;
};

TEST_F(OfflineCli, FileToImageAndBack) {
    CliRun r = Cli(dir_, {"wcf-to-image", dir_.File("in.wcf"), dir_.File("out.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadText(dir_.File("out.bin")), ImageBytes(cfg_));

    r = Cli(dir_, {"image-to-wcf", dir_.File("out.bin"), dir_.File("back.wcf")});
    ASSERT_EQ(r.status, 0) << r.err;
    TCfgWelderRW back;
    ASSERT_TRUE(back.LoadFromFile(dir_.File("back.wcf")));
    EXPECT_EQ(back, cfg_);
}

TEST_F(OfflineCli, AcceptsAWholeEepromDump) {
    std::string dump(1024, '\xFF');
    dump.replace(16, kImageSize, ImageBytes(cfg_));
    WriteText(dir_.File("eeprom.bin"), dump);
    const CliRun r = Cli(dir_, {"image-to-wcf", dir_.File("eeprom.bin"), dir_.File("dump.wcf")});
    ASSERT_EQ(r.status, 0) << r.err;
    TCfgWelderRW back;
    ASSERT_TRUE(back.LoadFromFile(dir_.File("dump.wcf")));
    EXPECT_EQ(back, cfg_);
}

TEST_F(OfflineCli, DamagedImageIsRefusedUnlessForced) {
    std::string img = ImageBytes(cfg_);
    img[20] ^= 0x40;
    WriteText(dir_.File("bad.bin"), img);
    CliRun r = Cli(dir_, {"image-to-wcf", dir_.File("bad.bin"), dir_.File("bad.wcf")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("checksum"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.File("bad.wcf")));

    r = Cli(dir_, {"image-to-wcf", "--force", dir_.File("bad.bin"), dir_.File("bad.wcf")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning"), std::string::npos);
    TCfgWelderRW back;
    ASSERT_TRUE(back.LoadFromFile(dir_.File("bad.wcf")));
    EXPECT_EQ(back.GetADCOffset(2), cfg_.GetADCOffset(2) ^ 0x40);
}

TEST_F(OfflineCli, ShowListsRawAndEngineeringValues) {
    WriteText(dir_.File("in.wcf"),
              ReadText(dir_.File("in.wcf")) + "[FEEDBACK]\r\nPowerTolerance=7\r\n");
    const CliRun r = Cli(dir_, {"wcf-show", dir_.File("in.wcf")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("section [FEEDBACK] appears 2 times"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("PMCoeff_q            FEEDBACK                 -7  -70 x10"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("CurrentDiodeMax      ANALOG_OUT             6000  60 A"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Timer_9              TIMER_100              4321  432 s"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Period               PID                    1000  1000\n"),
              std::string::npos)
        << r.out;
}

// Refused input and arguments exit with 2 and write nothing; a device, a FIFO
// or a file of the wrong size is refused without being read.
TEST_F(OfflineCli, BadInputAndArguments) {
    WriteText(dir_.File("short.bin"), std::string(100, '\0'));
    ASSERT_EQ(::mkfifo(dir_.File("pipe.wcf").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(dir_.File("pipe.bin").c_str(), 0600), 0);
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{"wcf-show"}, "too few arguments"},
        {{"wcf-to-image", dir_.File("in.wcf")}, "too few arguments"},
        {{"image-to-wcf", "a", "b", "--bogus"}, "--bogus"},
        {{"wcf-show", dir_.File("none.wcf")}, "does not exist"},
        {{"wcf-show", dir_.File("in.txt")}, "would be taken as"},
        {{"image-to-wcf", dir_.File("short.bin"), dir_.File("x.wcf")}, "100 bytes"},
        {{"image-to-wcf", dir_.File("none.bin"), dir_.File("x.wcf")}, "none.bin"},
        {{"image-to-wcf", "/dev/zero", dir_.File("x.wcf")}, "not a regular file"},
        {{"image-to-wcf", dir_.File("pipe.bin"), dir_.File("x.wcf")}, "not a regular file"},
        {{"wcf-to-image", dir_.File("pipe.wcf"), dir_.File("x.bin")}, "not a regular file"},
        {{"wcf-to-image", dir_.File("in.wcf"), dir_.File("no-folder/out.bin")}, "no-folder"},
    };
    for (const Case& c : cases) {
        const CliRun r = Cli(dir_, c.args);
        EXPECT_EQ(r.status, 2) << c.args[0] << " " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.File("x.wcf")));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("x.bin")));
}

// An output of the same kind is replaced only with --force; one of another
// kind never, --force or not.
TEST_F(OfflineCli, OutputsAreReplacedOnlyWhenTheyHoldTheSameKind) {
    const std::string in = dir_.File("in.wcf");
    const std::string image = dir_.File("out.bin");
    ASSERT_EQ(Cli(dir_, {"wcf-to-image", in, image}).status, 0);
    EXPECT_EQ(Cli(dir_, {"wcf-to-image", in, image}).status, 2);
    EXPECT_EQ(Cli(dir_, {"wcf-to-image", in, image, "--force"}).status, 0);

    const std::string before = ReadText(in);
    for (const bool force : {false, true}) {
        std::vector<std::string> args{"wcf-to-image", in, in};
        if (force) args.push_back("--force");
        const CliRun r = Cli(dir_, args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find("holds a welder configuration"), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadText(in), before);

    WriteText(dir_.File("log.wcf"), "Velkor Laser technology\nlog line\n");
    const CliRun r = Cli(dir_, {"image-to-wcf", image, dir_.File("log.wcf"), "--force"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("holds a tuning log"), std::string::npos) << r.err;
    EXPECT_EQ(ReadText(dir_.File("log.wcf")), "Velkor Laser technology\nlog line\n");
}

}  // namespace
}  // namespace orvan::config
