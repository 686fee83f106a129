// The board-event fan-out, and the session's sequence endings the transfer
// controller relies on.

#include <gtest/gtest.h>

#include <map>

#include "SimLink.h"
#include "commands/BoardViewFanout.h"

using namespace orvan;
using namespace orvan::commands;

namespace {

// Counts every event by name.
class CountingView : public IBoardView {
  public:
    std::map<std::string, int> calls;
    std::function<void()> onSerial;
#define ORVAN_COUNT(name, params) \
    void name params override {   \
        ++calls[#name];           \
    }
    ORVAN_COUNT(OnBoardType, (std::uint16_t))
    ORVAN_COUNT(OnFirmwareVersion, (std::uint8_t, std::uint8_t, std::uint8_t, const std::string&))
    ORVAN_COUNT(OnMachineNamesFile, (const std::string&))
    ORVAN_COUNT(OnProtocolVersion, (std::uint32_t, const std::string&))
    ORVAN_COUNT(OnVariable, (const DecodedVariable&))
    ORVAN_COUNT(OnAnomalyStatus, (std::uint32_t))
    ORVAN_COUNT(OnIoStatus, (const IoStatusWords&))
    ORVAN_COUNT(OnAnalogStatus, (const std::array<std::uint16_t, 6>&))
    ORVAN_COUNT(OnPowerReadings, (const PowerReadingWords&))
    ORVAN_COUNT(OnSourceWorkTime, (std::uint32_t))
    ORVAN_COUNT(OnClockTime, (std::uint8_t, std::uint8_t, std::uint8_t))
    ORVAN_COUNT(OnClockDate, (int, int, int, bool))
    ORVAN_COUNT(OnClockRun, (bool))
    ORVAN_COUNT(OnStartAnswer, (std::uint8_t, std::uint8_t, const std::string&, bool))
    ORVAN_COUNT(OnDiagnosisStatus, (std::uint8_t))
    ORVAN_COUNT(OnDiagnosisPower, (int, std::uint16_t))
    ORVAN_COUNT(OnTuningStatus, (std::uint8_t))
    ORVAN_COUNT(OnMultiHeadCount, (std::uint8_t))
    ORVAN_COUNT(OnMultiHeadWord, (std::uint16_t, std::uint32_t))
    ORVAN_COUNT(OnDac16, (std::uint16_t))
    ORVAN_COUNT(OnDac16Force, (bool))
    ORVAN_COUNT(OnFlangingProfiles, (const std::vector<FlangingProfileRow>&))
    ORVAN_COUNT(OnMemoryRows, (const std::vector<MemoryRow>&, bool))
    ORVAN_COUNT(OnConfigUploadProgress, (std::uint8_t))
    ORVAN_COUNT(OnConfigImageComplete, (const std::array<std::uint8_t, 384>&))
    ORVAN_COUNT(OnTuningLogComplete, (const std::array<std::uint8_t, 320>&))
    ORVAN_COUNT(OnEventLogComplete, (const std::vector<std::uint8_t>&))
    ORVAN_COUNT(OnDownloadProgress, (std::uint8_t))
    ORVAN_COUNT(OnDownloadComplete, ())
    ORVAN_COUNT(OnEepromFormatProgress, (std::uint16_t))
    ORVAN_COUNT(OnEepromFormatComplete, ())
    ORVAN_COUNT(OnSequenceStopped, (Sequence, int, const std::string&))
    ORVAN_COUNT(OnStopPolling, ())
    ORVAN_COUNT(OnAnswerIgnored, (const std::string&))
    ORVAN_COUNT(OnLinkState, (std::string_view))
#undef ORVAN_COUNT
    void OnSerialNumber(const std::string&) override {
        ++calls["OnSerialNumber"];
        if (onSerial) onSerial();
    }
};

void CallEveryEvent(IBoardView& v) {
    v.OnBoardType(1);
    v.OnFirmwareVersion(1, 2, 3, "x");
    v.OnMachineNamesFile("f");
    v.OnProtocolVersion(1, "x");
    v.OnSerialNumber("SN");
    v.OnVariable({});
    v.OnAnomalyStatus(1);
    v.OnIoStatus({});
    v.OnAnalogStatus({});
    v.OnPowerReadings({});
    v.OnSourceWorkTime(1);
    v.OnClockTime(1, 2, 3);
    v.OnClockDate(2026, 1, 2, true);
    v.OnClockRun(true);
    v.OnStartAnswer(0x10, 0, "x", true);
    v.OnDiagnosisStatus(1);
    v.OnDiagnosisPower(1, 2);
    v.OnTuningStatus(1);
    v.OnMultiHeadCount(1);
    v.OnMultiHeadWord(1, 2);
    v.OnDac16(1);
    v.OnDac16Force(true);
    v.OnFlangingProfiles({});
    v.OnMemoryRows({}, false);
    v.OnConfigUploadProgress(1);
    v.OnConfigImageComplete({});
    v.OnTuningLogComplete({});
    v.OnEventLogComplete({});
    v.OnDownloadProgress(1);
    v.OnDownloadComplete();
    v.OnEepromFormatProgress(1);
    v.OnEepromFormatComplete();
    v.OnSequenceStopped(Sequence::MemoryChain, 3, "why");
    v.OnStopPolling();
    v.OnAnswerIgnored("why");
    v.OnLinkState("ACK");
}

TEST(BoardViewFanout, EveryEventReachesEveryView) {
    CountingView a, b;
    TBoardViewFanout fan;
    fan.Add(a);
    fan.Add(b);
    fan.Add(a);  // once only
    EXPECT_EQ(fan.Count(), 2u);
    CallEveryEvent(fan);
    for (const CountingView* v : {&a, &b}) {
        EXPECT_EQ(v->calls.size(), 36u) << "every method of the view";
        for (const auto& [name, n] : v->calls) EXPECT_EQ(n, 1) << name;
    }
}

TEST(BoardViewFanout, ViewsMayLeaveAndJoinDuringAnEvent) {
    CountingView a, b, c;
    TBoardViewFanout fan;
    fan.Add(a);
    fan.Add(b);
    a.onSerial = [&] {
        fan.Remove(b);  // not called for this event any more
        fan.Add(c);     // hears the next one
    };
    fan.OnSerialNumber("1");
    EXPECT_EQ(a.calls["OnSerialNumber"], 1);
    EXPECT_EQ(b.calls.count("OnSerialNumber"), 0u);
    EXPECT_EQ(c.calls.count("OnSerialNumber"), 0u);
    a.onSerial = nullptr;
    fan.OnSerialNumber("2");
    EXPECT_EQ(c.calls["OnSerialNumber"], 1);
    EXPECT_EQ(fan.Count(), 2u);
}

TEST(ConfigUpload, WithoutTheTuningLog) {
    test::SimRig rig;
    rig.session.StartConfigUpload(false);
    rig.Run();
    EXPECT_EQ(rig.view.configComplete, 1);
    EXPECT_EQ(rig.view.tuningComplete, 0);
    EXPECT_EQ(rig.model.requestsByType[kReadMemory], 12);
    EXPECT_EQ(rig.session.readPurpose, kPurposeRaw);
    // The window's read still goes on with it.
    rig.session.StartConfigUpload();
    rig.Run();
    EXPECT_EQ(rig.view.tuningComplete, 1);
    EXPECT_EQ(rig.model.requestsByType[kReadMemory], 12 + 12 + 10);
}

TEST(SequenceEnd, IsToldWhenAnotherStarterTakesOver) {
    {
        test::SimRig rig;
        rig.session.StartConfigDownload();
        rig.cycle.Tick();  // block 0 sent
        const std::uint8_t ab[] = {'A', 'B'};
        ASSERT_TRUE(rig.session.WriteMemoryBytes(600, ab));
        EXPECT_FALSE(rig.session.downloadActive);
        ASSERT_EQ(rig.view.stopped.size(), 1u);
        EXPECT_EQ(rig.view.stopped[0].sequence, Sequence::ConfigDownload);
        rig.Run();
        EXPECT_EQ(rig.model.requestsByType[kWriteMemory], 2) << "block 0 and the typed bytes";
        // Without a download running, the writer reports nothing.
        ASSERT_TRUE(rig.session.WriteMemoryBytes(600, ab));
        EXPECT_EQ(rig.view.stopped.size(), 1u);
    }
    {
        test::SimRig rig;
        rig.session.StartConfigUpload();
        rig.session.StartEepromDump();
        ASSERT_EQ(rig.view.stopped.size(), 1u);
        EXPECT_EQ(rig.view.stopped[0].purpose, kPurposeConfigUpload);
        rig.Run();
        EXPECT_EQ(rig.view.configComplete, 0);
        // The upload's own follow-up (the tuning log) is no take-over.
        rig.session.StartConfigUpload();
        rig.Run();
        EXPECT_EQ(rig.view.stopped.size(), 1u);
        EXPECT_EQ(rig.view.tuningComplete, 1);
    }
}

}  // namespace
