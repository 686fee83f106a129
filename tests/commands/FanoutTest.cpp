// The board-event registry, and the session's sequence endings the transfer
// controller relies on.

#include <gtest/gtest.h>

#include <map>

#include "SimLink.h"
#include "commands/BoardEvents.h"

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
    ORVAN_COUNT(OnStartAnswer, (std::uint8_t, std::uint8_t))
    ORVAN_COUNT(OnDiagnosisStatus, (std::uint8_t))
    ORVAN_COUNT(OnDiagnosisPower, (int, std::uint16_t))
    ORVAN_COUNT(OnTuningStatus, (std::uint8_t))
    ORVAN_COUNT(OnMultiHeadCount, (std::uint8_t))
    ORVAN_COUNT(OnMultiHeadWord, (std::uint16_t, std::uint32_t))
    ORVAN_COUNT(OnDac16, (std::uint16_t))
    ORVAN_COUNT(OnDac16Force, (bool))
    ORVAN_COUNT(OnMemoryRows, (const std::vector<MemoryRow>&))
    ORVAN_COUNT(OnChainStarted, (int))
    ORVAN_COUNT(OnChainChunk, (int, std::uint16_t, std::span<const std::uint8_t>))
    ORVAN_COUNT(OnChainEnd, (int))
    ORVAN_COUNT(OnConfigUploadProgress, (std::uint8_t))
    ORVAN_COUNT(OnConfigImageComplete, (const std::array<std::uint8_t, 384>&))
    ORVAN_COUNT(OnDownloadProgress, (std::uint8_t))
    ORVAN_COUNT(OnDownloadComplete, ())
    ORVAN_COUNT(OnWriteAcknowledged, (std::uint16_t))
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

// Emits every event once through the registry, as the session does.
void CallEveryEvent(TBoardEvents& e) {
    e.Notify(&IIdentityView::OnBoardType, 1);
    e.Notify(&IIdentityView::OnFirmwareVersion, 1, 2, 3, "x");
    e.Notify(&IIdentityView::OnMachineNamesFile, "f");
    e.Notify(&IIdentityView::OnProtocolVersion, 1, "x");
    e.Notify(&IIdentityView::OnSerialNumber, "SN");
    e.Notify(&IVariableView::OnVariable, DecodedVariable{});
    e.Notify(&IStatusView::OnAnomalyStatus, 1);
    e.Notify(&IStatusView::OnIoStatus, IoStatusWords{});
    e.Notify(&IStatusView::OnAnalogStatus, std::array<std::uint16_t, 6>{});
    e.Notify(&IStatusView::OnPowerReadings, PowerReadingWords{});
    e.Notify(&IStatusView::OnSourceWorkTime, 1);
    e.Notify(&IBoardClockView::OnClockTime, 1, 2, 3);
    e.Notify(&IBoardClockView::OnClockDate, 2026, 1, 2, true);
    e.Notify(&IBoardClockView::OnClockRun, true);
    e.Notify(&IProcedureView::OnStartAnswer, 0x10, 0);
    e.Notify(&IProcedureView::OnDiagnosisStatus, 1);
    e.Notify(&IProcedureView::OnDiagnosisPower, 1, 2);
    e.Notify(&IProcedureView::OnTuningStatus, 1);
    e.Notify(&IMachineView::OnMultiHeadCount, 1);
    e.Notify(&IMachineView::OnMultiHeadWord, 1, 2);
    e.Notify(&IMachineView::OnDac16, 1);
    e.Notify(&IMachineView::OnDac16Force, true);
    e.Notify(&IMemoryView::OnMemoryRows, std::vector<MemoryRow>{});
    e.Notify(&IMemoryView::OnChainStarted, 4);
    e.Notify(&IMemoryView::OnChainChunk, 4, 400, std::span<const std::uint8_t>{});
    e.Notify(&IMemoryView::OnChainEnd, 4);
    e.Notify(&IMemoryView::OnConfigUploadProgress, 1);
    e.Notify(&IMemoryView::OnConfigImageComplete, std::array<std::uint8_t, 384>{});
    e.Notify(&IMemoryView::OnDownloadProgress, 1);
    e.Notify(&IMemoryView::OnDownloadComplete);
    e.Notify(&IMemoryView::OnWriteAcknowledged, 1);
    e.Notify(&IMemoryView::OnSequenceStopped, Sequence::MemoryChain, 3, "why");
    e.Notify(&ILinkView::OnStopPolling);
    e.Notify(&ILinkView::OnAnswerIgnored, "why");
    e.Notify(&ILinkView::OnLinkState, "ACK");
}

// Only the identity area: hears nothing else.
class IdentityOnly : public IIdentityView {
  public:
    void OnSerialNumber(const std::string& t) override { serials.push_back(t); }
    std::vector<std::string> serials;
};

TEST(BoardEvents, EveryEventReachesEveryView) {
    CountingView a, b;
    TBoardEvents events;
    events.Subscribe(a);
    events.Subscribe(b);
    events.Subscribe(a);  // once only
    EXPECT_EQ(events.Of<IMemoryView>().Count(), 2u);
    EXPECT_EQ(events.Count(), 2u * std::tuple_size_v<TBoardEvents::Areas>);
    CallEveryEvent(events);
    for (const CountingView* v : {&a, &b}) {
        EXPECT_EQ(v->calls.size(), 35u) << "every method of the view";
        for (const auto& [name, n] : v->calls) EXPECT_EQ(n, 1) << name;
    }
}

TEST(BoardEvents, AViewHearsOnlyTheAreasItImplements) {
    IdentityOnly id;
    CountingView all;
    TBoardEvents events;
    events.Subscribe(id);
    events.Subscribe(all);
    EXPECT_EQ(events.Of<IIdentityView>().Count(), 2u);
    EXPECT_EQ(events.Of<IMemoryView>().Count(), 1u);
    CallEveryEvent(events);
    EXPECT_EQ(id.serials, std::vector<std::string>{"SN"});
    events.Unsubscribe(all);
    EXPECT_EQ(events.Count(), 1u);
    events.Notify(&IIdentityView::OnSerialNumber, "2");
    EXPECT_EQ(all.calls["OnSerialNumber"], 1);
    EXPECT_EQ(id.serials.size(), 2u);
}

TEST(BoardEvents, ViewsMayLeaveAndJoinDuringAnEvent) {
    CountingView a, b, c;
    TBoardEvents events;
    events.Subscribe(a);
    events.Subscribe(b);
    a.onSerial = [&] {
        events.Unsubscribe(b);  // not called for this event any more
        events.Subscribe(c);    // hears the next one
    };
    events.Notify(&IIdentityView::OnSerialNumber, "1");
    EXPECT_EQ(a.calls["OnSerialNumber"], 1);
    EXPECT_EQ(b.calls.count("OnSerialNumber"), 0u);
    EXPECT_EQ(c.calls.count("OnSerialNumber"), 0u);
    a.onSerial = nullptr;
    events.Notify(&IIdentityView::OnSerialNumber, "2");
    EXPECT_EQ(c.calls["OnSerialNumber"], 1);
    EXPECT_EQ(events.Of<IIdentityView>().Count(), 2u);
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
        ASSERT_TRUE(rig.core.Eeprom().StartEepromDump());
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
