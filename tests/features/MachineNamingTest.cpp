// Machine I/O naming: file names by board type and firmware, the machine name,
// the I/O and anomaly names, and the shipped naming files.

#include <gtest/gtest.h>

#include <filesystem>

#include "SimLink.h"
#include "features/MachineNaming.h"
#include "support/TempDir.h"

namespace orvan::test {
namespace {

using features::MachineNamesFileName;

TEST(MachineNaming, FileNamesAndKeys) {
    EXPECT_EQ(MachineNamesFileName(0x0100, 2, 1, 5), "IOC_0100_20105.ini");
    EXPECT_EQ(MachineNamesFileName(0x0A00, 1, 0, 3), "IOC_0A00_10003.ini");
    EXPECT_EQ(MachineNamesFileName(0xBEEF, 12, 34, 56), "IOC_BEEF_123456.ini");
    EXPECT_EQ(features::MachineTypeKey(0x0A00), "0x0A00");
    EXPECT_EQ(features::PathIn("/a/", "f"), "/a/f");
    EXPECT_EQ(features::PathIn("/a", "f"), "/a/f");
}

TEST(MachineNaming, MachineNameByBoardTypeWithoutRegardToCase) {
    TempDir dir;
    WriteText(dir.File("OrvanMachineName.ini"),
              "[orvan_machine_type]\r\n0X0100=Orvan source\r\n0x0a00=Multi head\r\n");
    EXPECT_EQ(features::LookUpMachineName(dir.Path().string(), 0x0100), "Orvan source");
    EXPECT_EQ(features::LookUpMachineName(dir.Path().string(), 0x0A00), "Multi head");
    EXPECT_EQ(features::LookUpMachineName(dir.Path().string(), 0x0200), "Unknown");
    TempDir empty;
    EXPECT_EQ(features::LookUpMachineName(empty.Path().string(), 0x0100), "Unknown");
}

TEST(MachineNaming, IoNamesAnomalyGapsAndMissingKeys) {
    config::TIniFile ini;
    ini.LoadFromText(
        "[INPUT_CPU]\nIn_0=Start\nin_11=Door\n"
        "[input_exp]\nIn_0=E1 first\nIn_11=E1 last\nIn_12=E2 first\nIn_23=E2 last\n"
        "[OUTPUT_CPU]\nOut_3=Lamp\n[OUTPUT_EXP]\nOut_0=Valve\n[OUTPUT_EXP_POWER]\nOut_11=Fan\n"
        "[ANOMALY]\nAnomaly_0=Over temp\nAnomaly_1=Door open\nAnomaly_3=Never shown\n");
    const features::TMachineNames n = features::MachineNamesFromIni(ini);
    EXPECT_EQ(n.io[features::kIoFrames - 6][0], "Start");
    EXPECT_EQ(n.io[0][11], "Door");
    EXPECT_EQ(n.io[0][1], "") << "a missing key is an empty name";
    EXPECT_EQ(n.io[1][0], "E1 first");
    EXPECT_EQ(n.io[1][11], "E1 last");
    EXPECT_EQ(n.io[2][0], "E2 first") << "In_12 is the second frame's first indicator";
    EXPECT_EQ(n.io[2][11], "E2 last");
    EXPECT_EQ(n.io[3][3], "Lamp");
    EXPECT_EQ(n.io[4][0], "Valve");
    EXPECT_EQ(n.io[5][11], "Fan");
    EXPECT_EQ(n.anomalies, (std::vector<std::string>{"Over temp", "Door open"}))
        << "the first gap ends the list";
}

TEST(MachineNaming, AtMostTheAnomalyFrameCapacity) {
    std::string text = "[ANOMALY]\n";
    for (int i = 0; i < 40; ++i)
        text += "Anomaly_" + std::to_string(i) + "=A" + std::to_string(i) + "\n";
    config::TIniFile ini;
    ini.LoadFromText(text);
    const features::TMachineNames n = features::MachineNamesFromIni(ini);
    EXPECT_EQ(n.anomalies.size(), features::kAnomalyCapacity);
    EXPECT_EQ(n.anomalies.back(), "A31");
    EXPECT_EQ(n.anomaliesDropped, 8u);
}

class NamingRecorder : public features::IMachineNamingView {
  public:
    void OnMachineName(std::uint16_t, const std::string& n) override { names.push_back(n); }
    void OnMachineNames(const features::TMachineNames& n) override { applied.push_back(n); }
    std::vector<std::string> names;
    std::vector<features::TMachineNames> applied;
};

TEST(MachineNaming, AppliedOnTheIdentityAnswersOfTheBoard) {
    SimRig rig;
    TempDir dir;
    WriteText(dir.File("OrvanMachineName.ini"), "[ORVAN_MACHINE_TYPE]\n0x0A00=Multi head\n");
    WriteText(dir.File("IOC_0A00_10003.ini"),
              "[INPUT_CPU]\nIn_0=Head ready\n[ANOMALY]\nAnomaly_0=X\n");
    features::TMachineNaming naming(rig.events, dir.Path().string());
    NamingRecorder rec;
    naming.Views().Add(rec);

    // A firmware answer while the board type is still 0 applies nothing.
    (void)commands::SendReadVariable(rig.protocol, commands::FirmwareVersion);
    rig.Run();
    EXPECT_TRUE(rec.applied.empty());

    rig.model.boardType = 0x0A00;
    rig.model.firmware = {1, 0, 3};
    rig.session.RequestHardwareInfo();
    rig.Run();
    ASSERT_EQ(rec.names.size(), 1u);
    EXPECT_EQ(rec.names[0], "Multi head");
    ASSERT_EQ(rec.applied.size(), 1u);
    EXPECT_TRUE(rec.applied[0].found);
    EXPECT_EQ(rec.applied[0].io[0][0], "Head ready");
    EXPECT_EQ(rec.applied[0].anomalies.size(), 1u);

    // Another firmware: no file, blank names, and the view knows which file.
    rig.model.firmware = {1, 0, 4};
    rig.session.RequestHardwareInfo();
    rig.Run();
    ASSERT_EQ(rec.applied.size(), 2u);
    EXPECT_FALSE(rec.applied[1].found);
    EXPECT_EQ(std::filesystem::path(rec.applied[1].path).filename(), "IOC_0A00_10004.ini");
    EXPECT_EQ(rec.applied[1].io[0][0], "");
    EXPECT_TRUE(rec.applied[1].anomalies.empty());
}

// Every naming file shipped with the program reads through the INI layer, and
// there is one for each board type and firmware the simulator offers.
TEST(MachineNaming, ShippedFilesCoverTheSimulatorsMachines) {
    const std::filesystem::path shipped = ORVAN_NAMING_DIR;
    config::TIniFile machines((shipped / "OrvanMachineName.ini").string());
    ASSERT_TRUE(machines.Load());
    ASSERT_TRUE(machines.Exists()) << shipped;
    for (const sim::TMachinePreset& p : sim::MachinePresets()) {
        EXPECT_NE(features::LookUpMachineName(machines, p.boardType), "Unknown") << p.name;
        const auto file = shipped / MachineNamesFileName(p.boardType, p.firmware.major,
                                                         p.firmware.minor, p.firmware.patch);
        const features::TMachineNames n = features::LoadMachineNames(file.string());
        ASSERT_TRUE(n.found) << file;
        EXPECT_FALSE(n.io[0][0].empty()) << file;
        EXPECT_GE(n.anomalies.size(), 1u) << file;
        EXPECT_EQ(n.anomaliesDropped, 0u) << file;
    }
}

}  // namespace
}  // namespace orvan::test
