// Power diagnosis and tuning: the follow-up state machine through its start
// answers and status reads (answers injected as the decoder hands them up),
// then whole runs against the simulated board: completed, refused, timed out,
// and a factory tuning that ends with the new tuning log read and decoded.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "SimLink.h"
#include "commands/Catalogue.h"
#include "features/PowerProcedures.h"
#include "features/TuningLog.h"
#include "support/ScriptedPort.h"

namespace orvan::test {
namespace {

using features::TPowerPoint;
using features::TProcedure;
using features::TProcedureOutcome;

class ProcedureRecorder : public features::IPowerProcedureView, public features::ITuningLogView {
  public:
    void OnPowerPoint(TProcedure, const TPowerPoint& q) override { points.push_back(q); }
    void OnProcedureText(const std::string& t) override { texts.push_back(t); }
    void OnProcedureFinished(const TProcedureOutcome& o) override { finished.push_back(o); }
    void OnCurrentValue(const std::string& f, double v) override { currents[f] = v; }
    void OnTuningLogShown(const features::TTuningLogShown& s) override { shown.push_back(s); }
    std::vector<TPowerPoint> points;
    std::vector<std::string> texts;
    std::vector<TProcedureOutcome> finished;
    std::map<std::string, double> currents;
    std::vector<features::TTuningLogShown> shown;
};

// The core on a port that answers nothing: what is queued is what the
// controller asked for.
struct Machine {
    ScriptedPort port;
    link::ManualClock clock;
    RecordingView view;
    features::TSupervisorCore core{port, clock, view};
    features::TPowerProcedures& p = core.Procedures();
    ProcedureRecorder rec;
    Machine() {
        p.Views().Add(rec);
        (void)core.Engine().record.SetPDiodeMaxValue(50);  // Pcfg 50 W
    }
    std::vector<std::uint16_t> Queued() {
        std::vector<std::uint16_t> codes;
        for (std::size_t i = 0; i < core.Engine().protocol.QueueCount(); ++i) {
            const link::TCmd* c = core.Engine().protocol.QueuedAt(i);
            codes.push_back(c->Type == commands::kReadVariable
                                ? static_cast<std::uint16_t>(c->Payload[0] | (c->Payload[1] << 8))
                                : static_cast<std::uint16_t>(0xFF00 | c->Type));
        }
        core.Engine().protocol.ClearQueue();
        return codes;
    }
    template <typename... A>
    void Say(void (commands::IProcedureView::*e)(A...), auto... args) {
        core.Events().Notify(e, args...);
    }
};

constexpr std::uint16_t kStatus = commands::DiagnosisStatus;
constexpr std::uint16_t kTuning = commands::TuningStatus;

TEST(DiagnosisFollowUp, StatusAnswersAskForStepsAndStatusAsTheBoardReportsThem) {
    struct Row {
        const char* name;
        std::uint8_t stepsRead;
        std::uint8_t status;
        std::vector<std::uint16_t> queued;
        bool finished;
    };
    const Row rows[] = {
        {"busy, three done, none read: step 1 only, status again",
         0,
         0x13,
         {0x0601, kStatus},
         false},
        {"not busy, four done, all read: terminated", 4, 0x04, {}, true},
        {"0x40 changes nothing", 4, 0x44, {}, true},
        {"nothing done, not busy: ask again", 0, 0x00, {kStatus}, false},
        {"last step still to read: read it first", 3, 0x04, {0x0604}, false},
        {"five steps reported: taken as four, never the tuning status", 4, 0x15, {kStatus}, false},
        {"fifteen steps reported, three read", 3, 0x1F, {0x0604, kStatus}, false},
    };
    for (const Row& r : rows) {
        Machine m;
        ASSERT_TRUE(m.p.Start(TProcedure::MeterDiagnosis));
        (void)m.Queued();
        m.p.diagStepsRead = r.stepsRead;
        m.Say(&commands::IProcedureView::OnDiagnosisStatus, r.status);
        EXPECT_EQ(m.Queued(), r.queued) << r.name;
        EXPECT_EQ(m.rec.finished.size(), r.finished ? 1u : 0u) << r.name;
        if (r.finished) {
            EXPECT_TRUE(m.rec.finished[0].outcome.completed) << r.name;
            EXPECT_EQ(m.p.stxPMView, "Diagnosis terminated") << r.name;
        }
        EXPECT_LE(m.p.diagStepsRead, 4) << r.name;
    }
}

TEST(DiagnosisFollowUp, NotTerminatedWhileAStepPowerIsStillAskedFor) {
    Machine m;
    ASSERT_TRUE(m.p.Start(TProcedure::MeterDiagnosis));
    (void)m.Queued();
    m.p.diagStepsRead = 3;
    m.Say(&commands::IProcedureView::OnDiagnosisStatus, std::uint8_t{0x44});
    EXPECT_EQ(m.Queued(), std::vector<std::uint16_t>{0x0604});
    // A status read queued earlier answers before the step power.
    m.Say(&commands::IProcedureView::OnDiagnosisStatus, std::uint8_t{0x44});
    EXPECT_TRUE(m.rec.finished.empty());
    m.Say(&commands::IProcedureView::OnDiagnosisPower, 4, std::uint16_t{5000});
    EXPECT_EQ(m.Queued(), std::vector<std::uint16_t>{kStatus});
    m.Say(&commands::IProcedureView::OnDiagnosisStatus, std::uint8_t{0x44});
    ASSERT_EQ(m.rec.finished.size(), 1u);
    EXPECT_TRUE(m.rec.finished[0].outcome.completed);
    EXPECT_EQ(m.rec.points.size(), 1u);
}

TEST(DiagnosisFollowUp, AnAnomalyStopsTheRunAndAsksNothingMore) {
    Machine m;
    ASSERT_TRUE(m.p.Start(TProcedure::PdDiagnosis));
    (void)m.Queued();
    m.Say(&commands::IProcedureView::OnDiagnosisStatus, std::uint8_t{0x31});
    EXPECT_TRUE(m.Queued().empty());
    ASSERT_EQ(m.rec.finished.size(), 1u);
    EXPECT_FALSE(m.rec.finished[0].outcome.completed);
    EXPECT_EQ(m.rec.finished[0].text, "Diagnosis interrupted by anomaly");
}

TEST(DiagnosisPower, ErrorAgainstTheExpectedPowerAndTheNextStatusRead) {
    struct Row {
        double pcfg;
        int step;
        std::uint16_t raw;
        std::optional<double> error;
        const char* text;
    };
    const Row rows[] = {
        {50, 1, 1300, 4.0, "4"},            // (13 - 12.5) / 0.125
        {50, 4, 4900, -2.0, "-2"},          // (49 - 50) / 0.5
        {80, 2, 4081, 2.03, "2.03"},        // 40.81 of 40
        {0, 1, 1300, std::nullopt, "---"},  // no configuration: no error, the run goes on
    };
    for (const Row& r : rows) {
        Machine m;
        (void)m.core.Engine().record.SetPDiodeMaxValue(r.pcfg);
        ASSERT_TRUE(m.p.Start(TProcedure::MeterDiagnosis));
        (void)m.Queued();
        m.Say(&commands::IProcedureView::OnDiagnosisPower, r.step, r.raw);
        ASSERT_EQ(m.rec.points.size(), 1u);
        const TPowerPoint& q = m.rec.points[0];
        EXPECT_DOUBLE_EQ(q.measured, r.raw * 0.01);
        EXPECT_DOUBLE_EQ(q.expected, r.pcfg * 0.25 * r.step);
        ASSERT_EQ(q.errorPercent.has_value(), r.error.has_value()) << r.pcfg;
        if (r.error) {
            EXPECT_DOUBLE_EQ(*q.errorPercent, *r.error);
        }
        EXPECT_EQ(q.errorText, r.text);
        EXPECT_EQ(m.Queued(), std::vector<std::uint16_t>{kStatus})
            << "the next status read goes out whatever the error";
    }
}

TEST(TuningFollowUp, RunningAnomalyAndTheEnd) {
    struct Row {
        std::uint8_t status;
        std::vector<std::uint16_t> queued;
        const char* text;  // nullptr: still followed
        bool completed;
        bool logRead;
    };
    const Row rows[] = {
        {0x01, {kTuning, 0x0201}, nullptr, false, false},
        {0x05, {kTuning, 0x0201}, nullptr, false, false},  // running wins over anomaly
        {0x04, {}, "Tuning interrupted by anomaly!", false, false},
        {0x00, {0xFF02}, "Terminated", true, true},  // the tuning-log read (ReadMemory)
        {0x08, {0xFF02}, "Terminated - Current limited!!!", true, true},
    };
    for (const Row& r : rows) {
        Machine m;
        ASSERT_TRUE(m.p.Start(TProcedure::FactoryTuning));
        (void)m.Queued();
        m.Say(&commands::IProcedureView::OnTuningStatus, r.status);
        EXPECT_EQ(m.Queued(), r.queued) << int(r.status);
        if (!r.text) {
            EXPECT_TRUE(m.p.Following());
            continue;
        }
        ASSERT_EQ(m.rec.finished.size(), 1u) << int(r.status);
        EXPECT_EQ(m.rec.finished[0].text, r.text);
        EXPECT_EQ(m.rec.finished[0].outcome.completed, r.completed);
        EXPECT_EQ(m.core.Engine().session.readPurpose == commands::kPurposeTuningLog, r.logRead);
    }
}

TEST(Procedures, OneRunAtATime) {
    Machine m;
    ASSERT_TRUE(m.p.Start(TProcedure::SecondaryTuning));
    const TResult again = m.p.Start(TProcedure::MeterDiagnosis);
    EXPECT_FALSE(again);
    EXPECT_NE(again.why.find("secondary tuning"), std::string::npos);
}

TEST(ImaxWrite, KeptInTheTableLimitedAndSent) {
    Machine m;
    std::string shown;
    EXPECT_EQ(m.p.WriteImax("60", '.', false, &shown).why,
              "Leggere la configurazione prima di eseguire questa operazione");
    EXPECT_TRUE(m.Queued().empty());
    m.core.Engine().session.configLoaded = true;
    (void)m.core.Engine().record.SetCurrentDiodeMaxValue(50);
    ASSERT_TRUE(m.p.WriteImax("60", '.', false, &shown));
    EXPECT_EQ(shown, "50");
    EXPECT_DOUBLE_EQ(m.core.Engine().record.GetWATableAValue(5), 50);
    const link::TCmd* c = m.core.Engine().protocol.QueuedAt(0);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Type, commands::kWriteVariable);
    EXPECT_EQ(c->Payload[0] | (c->Payload[1] << 8), commands::Imax);
    EXPECT_EQ(c->Payload[2] | (c->Payload[3] << 8), 5000);
    (void)m.Queued();
    ASSERT_TRUE(m.p.WriteImax("12,5", ',', true, &shown));
    EXPECT_EQ(m.Queued(), std::vector<std::uint16_t>{0xFF0A}) << "ImaxStore";
    for (const char* bad : {"abc", "", "-3", "1e400"}) {
        EXPECT_FALSE(m.p.WriteImax(bad, '.', false, &shown)) << bad;
        EXPECT_TRUE(m.Queued().empty()) << bad;
    }
    EXPECT_FALSE(m.p.WriteIAdj("700", '.', false)) << "beyond 655.35 %: refused, not wrapped";
    EXPECT_TRUE(m.Queued().empty());
    EXPECT_TRUE(m.p.WriteIAdj("98.5", '.', false));
}

// --- against the simulated board ----------------------------------------

struct ProcedureRig : SimRig {
    ProcedureRecorder rec;
    ProcedureRig() {
        core.Procedures().Views().Add(rec);
        core.TuningLog().Views().Add(rec);
        (void)core.Engine().record.SetPDiodeMaxValue(80);
        (void)core.Engine().record.SetCurrentDiodeMaxValue(50);
        session.configLoaded = true;
        model.securityCodeOn = true;
    }
    // Ticks until the run has ended and the exchange is idle.
    void RunToEnd(int limit = 20000) {
        for (int n = 0; n < limit && (rec.finished.empty() || !core.Idle()); ++n) {
            core.Tick();
            clock.Advance(30);
        }
    }
};

TEST(ProcedureRuns, DiagnosisAgainstTheBoardEndsWithFourPoints) {
    ProcedureRig rig;
    ASSERT_TRUE(rig.core.Procedures().Start(TProcedure::MeterDiagnosis));
    rig.RunToEnd();
    ASSERT_EQ(rig.rec.finished.size(), 1u);
    EXPECT_TRUE(rig.rec.finished[0].outcome.completed);
    EXPECT_EQ(rig.rec.finished[0].text, "Diagnosis terminated");
    ASSERT_EQ(rig.rec.points.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rig.rec.points[static_cast<std::size_t>(i)].step, i + 1);
        EXPECT_TRUE(rig.rec.points[static_cast<std::size_t>(i)].WithinTolerance());
    }
    EXPECT_DOUBLE_EQ(rig.rec.points[0].measured, 20.4);  // the board's 1.02 of 20 W
}

TEST(ProcedureRuns, RefusalsAndTimeOutsEndAsStoppedNeverAsFinished) {
    struct Row {
        const char* name;
        std::function<void(ProcedureRig&)> fault;   // before the start
        std::function<void(ProcedureRig&)> midway;  // once running
        const char* why;
    };
    const Row rows[] = {
        {"start refused: anomaly", [](ProcedureRig& r) { r.model.anomalies = 1; }, nullptr,
         "the board refused to start: Permission denied - Anomaly"},
        {"time-out mid-run", nullptr, [](ProcedureRig& r) { r.port.silent = true; }, "RX TimeOut"},
        {"status read refused mid-run", nullptr,
         [](ProcedureRig& r) {
             sim::ForcedError e;
             e.code = sim::kErrDenied;
             e.type = commands::kReadVariable;
             r.model.ForceError(e);
         },
         "the board refused a request of the run"},
    };
    for (const Row& r : rows) {
        ProcedureRig rig;
        if (r.fault) r.fault(rig);
        ASSERT_TRUE(rig.core.Procedures().Start(TProcedure::FactoryTuning)) << r.name;
        if (r.midway) {
            for (int n = 0; n < 20; ++n) {
                rig.core.Tick();
                rig.clock.Advance(30);
            }
            ASSERT_TRUE(rig.core.Procedures().Following()) << r.name;
            r.midway(rig);
        }
        rig.RunToEnd();
        ASSERT_EQ(rig.rec.finished.size(), 1u) << r.name;
        EXPECT_FALSE(rig.rec.finished[0].outcome.completed) << r.name;
        EXPECT_EQ(rig.rec.finished[0].outcome.why, r.why) << r.name;
        EXPECT_NE(rig.core.Procedures().stxPMView, "Terminated") << r.name;
    }
}

TEST(ProcedureRuns, FactoryTuningEndsWithTheNewTuningLogReadAndShown) {
    ProcedureRig rig;
    ASSERT_TRUE(rig.core.Procedures().Start(TProcedure::FactoryTuning));
    rig.RunToEnd();
    ASSERT_EQ(rig.rec.finished.size(), 1u);
    EXPECT_TRUE(rig.rec.finished[0].outcome.completed);
    EXPECT_GT(rig.rec.points.size(), 3u) << "live readings while it ran";
    ASSERT_EQ(rig.rec.shown.size(), 1u);
    const features::TTuningLogShown& s = rig.rec.shown[0];
    EXPECT_TRUE(s.outcome.completed);
    EXPECT_EQ(s.validCopy, 2) << "the new tuning went into the older copy, B";
    ASSERT_EQ(s.entries.size(), 4u) << "three factory entries and the new one";
    EXPECT_EQ(s.entries[1].time, 1781964300u) << "the newest first";
    EXPECT_GT(s.entries[0].time, s.entries[1].time);
    EXPECT_TRUE(s.hasTable);
    EXPECT_EQ(s.tableCurrent[5], "45.59") << "the new tuned current, 59750 / 65535 of 50 A";
}

TEST(ProcedureRuns, TheTuningLogReadWaitsForARunningChain) {
    ProcedureRig rig;
    rig.model.tuningMs = 300;
    // The secondary tuning needs a diagnosis first.
    ASSERT_TRUE(rig.core.Procedures().Start(TProcedure::MeterDiagnosis));
    rig.RunToEnd();
    rig.rec.finished.clear();
    rig.rec.shown.clear();
    ASSERT_TRUE(rig.core.Procedures().Start(TProcedure::SecondaryTuning));
    // A long chain (the EEPROM dump) runs while the tuning ends.
    for (int n = 0; n < 6; ++n) {
        rig.core.Tick();
        rig.clock.Advance(30);
    }
    rig.session.StartChain(commands::kPurposeEepromDump, 0, 1024);
    rig.RunToEnd();
    for (int n = 0; n < 3000 && rig.rec.shown.empty(); ++n) {
        rig.core.Tick();
        rig.clock.Advance(30);
    }
    ASSERT_EQ(rig.rec.finished.size(), 1u);
    EXPECT_TRUE(rig.rec.finished[0].outcome.completed);
    EXPECT_TRUE(rig.view.stopped.empty()) << "nothing taken over";
    ASSERT_EQ(rig.rec.shown.size(), 1u) << "read once the dump had ended";
    EXPECT_TRUE(rig.rec.shown[0].outcome.completed);
}

}  // namespace
}  // namespace orvan::test
