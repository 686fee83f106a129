// The event log: decoding of hand-built images (every event type, the end
// mark, short and odd-sized buffers), and the read against the simulated
// board (its sample log, a read that stops, records that never arrived).

#include <gtest/gtest.h>

#include "SimLink.h"
#include "features/EventLog.h"

using namespace orvan;
using namespace orvan::features;

namespace {

std::vector<std::uint8_t> Image(const std::vector<TEventRecord>& records,
                                std::size_t size = commands::kEventLogSize) {
    std::vector<std::uint8_t> b(size, 0xFF);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto bytes = EventRecordBytes(records[i]);
        for (std::size_t k = 0; k < bytes.size() && i * kEventRecordSize + k < size; ++k)
            b[i * kEventRecordSize + k] = bytes[k];
    }
    return b;
}

TEST(EventLogDecode, ValueTextOfEachType) {
    struct Case {
        TEventRecord r;
        std::string value, description;
    };
    const Case cases[] = {
        {{1000, {0, 0, 0}, 1}, "", "Factory tuning"},
        {{1000, {4380, 210, 0}, 2}, "43.8 A | 210 ore", "Secondary tuning"},
        // The documented case: 10.5 % of 40 A is 4.2 A, after 12 hours.
        {{1000, {1050, 4000, 12}, 3},
         "10.5% | 40A (4.2 A) | 12 ore",
         "Correzione percentuale corrente (RAM)"},
        {{1000, {980, 4420, 36}, 4},
         "9.8% | 44.2A (4.33 A) | 36 ore",
         "Correzione percentuale corrente (EEPROM)"},
        {{1000, {4600, 250, 2}, 5},
         "46 A | 250 ore | Valore modificato 2 volte",
         "Regolazione corrente massima (RAM)"},
        {{1000, {65535, 65535, 65535}, 6},
         "655.35 A | 65535 ore | Valore modificato 65535 volte",
         "Regolazione corrente massima (EEPROM)"},
        {{1000, {1, 2, 3}, 0}, "", ""},
        {{1000, {1, 2, 3}, 7}, "", ""},
        {{1000, {1, 2, 3}, 0xFF}, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.r.type));
        const TEventLogDecode d = DecodeEventLog(Image({c.r}));
        ASSERT_EQ(d.lines.size(), 1u);
        EXPECT_EQ(d.lines[0].value, c.value);
        EXPECT_EQ(d.lines[0].description, c.description);
        EXPECT_EQ(d.lines[0].record, c.r);
        EXPECT_TRUE(d.problem.empty());
    }
    // The user's decimal separator.
    EXPECT_EQ(EventValueText({0, {1050, 4000, 12}, 3}, ','), "10,5% | 40A (4,2 A) | 12 ore");
}

TEST(EventLogDecode, RecordLayoutIsLittleEndian) {
    std::vector<std::uint8_t> b(commands::kEventLogSize, 0xFF);
    const std::uint8_t rec[] = {0x08, 0x7E, 0xD3, 0x67, 0x1A, 0x04, 0xA0, 0x0F, 0x0C, 0x00, 0x03};
    std::copy(std::begin(rec), std::end(rec), b.begin());
    const TEventLogDecode d = DecodeEventLog(b);
    ASSERT_EQ(d.lines.size(), 1u);
    EXPECT_EQ(d.lines[0].record.time, 0x67D37E08u);
    EXPECT_EQ(d.lines[0].record.value, (std::array<std::uint16_t, 3>{1050, 4000, 12}));
    EXPECT_EQ(d.lines[0].dateTime, "14/03/2025 00:53:28");
    EXPECT_EQ(EventTimeText(0), "01/01/1970 00:00:00");
    EXPECT_EQ(EventTimeText(0xFFFFFFFE), "07/02/2106 06:28:14");
}

TEST(EventLogDecode, ListEndsAtTheEndMarkOrAfterTwentyOne) {
    std::vector<TEventRecord> all;
    for (std::uint32_t i = 0; i < 21; ++i) all.push_back({1700000000 + i, {100, 1, 1}, 5});
    TEventLogDecode d = DecodeEventLog(Image(all));
    ASSERT_EQ(d.lines.size(), 21u);
    EXPECT_EQ(d.lines.front().n, 0);
    EXPECT_EQ(d.lines.back().n, 20);
    EXPECT_TRUE(d.problem.empty());

    // A first record with time 0xFFFFFFFF lists nothing.
    std::vector<TEventRecord> none = all;
    none[0].time = kEventListEnd;
    EXPECT_TRUE(DecodeEventLog(Image(none)).lines.empty());

    // The end mark in the middle hides the records after it.
    std::vector<TEventRecord> mid = all;
    mid[4].time = kEventListEnd;
    EXPECT_EQ(DecodeEventLog(Image(mid)).lines.size(), 4u);

    // Bytes beyond the log's 231 are not read as a 22nd record.
    std::vector<std::uint8_t> longer = Image(all);
    const auto extra = EventRecordBytes({1, {1, 1, 1}, 2});
    longer.insert(longer.end(), extra.begin(), extra.end());
    EXPECT_EQ(DecodeEventLog(longer).lines.size(), 21u);
}

TEST(EventLogDecode, ShortBuffersGiveWholeRecordsAndSaySo) {
    std::vector<TEventRecord> all;
    for (std::uint32_t i = 0; i < 21; ++i) all.push_back({1700000000 + i, {100, 1, 1}, 2});
    struct Case {
        std::size_t size;
        std::size_t lines;
        bool problem;
    };
    const Case cases[] = {{0, 0, true},  {10, 0, true},   {11, 1, true},
                          {32, 2, true}, {230, 20, true}, {231, 21, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::vector<std::uint8_t> full = Image(all);
        const TEventLogDecode d =
            DecodeEventLog(std::span<const std::uint8_t>(full.data(), c.size));
        EXPECT_EQ(d.lines.size(), c.lines);
        EXPECT_EQ(!d.problem.empty(), c.problem) << d.problem;
    }
    // A short buffer whose end mark came in time needs no note.
    std::vector<std::uint8_t> ended = Image({{5, {1, 1, 1}, 1}});
    const TEventLogDecode d = DecodeEventLog(std::span<const std::uint8_t>(ended.data(), 22));
    EXPECT_EQ(d.lines.size(), 1u);
    EXPECT_TRUE(d.problem.empty());
}

TEST(EventLogDecode, CommandLineForms) {
    const TEventLogDecode d = DecodeEventLog(Image({{1741943560, {1050, 4000, 12}, 3}}));
    ASSERT_EQ(d.lines.size(), 1u);
    EXPECT_EQ(EventLineText(d.lines[0]),
              "0\t14/03/2025 09:12:40\t10.5% | 40A (4.2 A) | 12 ore\tCorrezione percentuale "
              "corrente (RAM)");
    EXPECT_EQ(EventLineJson(d.lines[0]),
              "{\"n\":0,\"time\":1741943560,\"dateTime\":\"14/03/2025 09:12:40\",\"type\":3,"
              "\"values\":[1050,4000,12],\"value\":\"10.5% | 40A (4.2 A) | 12 ore\","
              "\"description\":\"Correzione percentuale corrente (RAM)\"}");
}

// The simulated board's log as the controller reads it.
TEST(EventLogRead, SampleLogOfTheSimulator) {
    test::SimRig rig;
    ASSERT_TRUE(rig.core.EventLog().StartEventLogRead());
    EXPECT_EQ(rig.core.EventLog().eventLog.size(), commands::kEventLogSize);
    rig.Run();
    ASSERT_EQ(rig.view.outcomes.size(), 1u);
    EXPECT_TRUE(rig.view.outcomes[0].second.completed);
    const auto& lines = rig.view.eventLog.lines;
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0].description, "Factory tuning");
    EXPECT_EQ(lines[0].dateTime, "15/01/2026 10:00:00");
    EXPECT_EQ(lines[2].value, "10.5% | 40A (4.2 A) | 120 ore");
    EXPECT_EQ(lines[4].value, "43.8 A | 500 ore");
    EXPECT_EQ(lines[8].description, "Correzione percentuale corrente (EEPROM)");
    // Released once decoded.
    EXPECT_TRUE(rig.core.EventLog().eventLog.empty());
    EXPECT_FALSE(rig.core.EventLog().Running());
}

TEST(EventLogRead, StoppedReadListsNothingAndReleases) {
    test::SimRig rig;
    rig.port.silent = true;
    ASSERT_TRUE(rig.core.EventLog().StartEventLogRead());
    rig.Run();
    ASSERT_EQ(rig.view.outcomes.size(), 1u);
    EXPECT_FALSE(rig.view.outcomes[0].second.completed);
    EXPECT_EQ(rig.view.outcomes[0].second.why, "RX TimeOut");
    EXPECT_TRUE(rig.view.eventLog.lines.empty());
    EXPECT_TRUE(rig.core.EventLog().eventLog.empty());
}

// Records whose bytes never came read as erased, never as stale or zero
// memory: a chain that ends after its first chunk lists only what it held.
TEST(EventLogRead, RecordsNeverReceivedEndTheList) {
    test::SimRig rig;
    TEventLog& log = rig.core.EventLog();
    log.OnChainStarted(commands::kPurposeEventLog);
    ASSERT_EQ(log.eventLog, std::vector<std::uint8_t>(commands::kEventLogSize, 0xFF));
    const auto& e = rig.model.Eeprom();
    log.OnChainChunk(commands::kPurposeEventLog, commands::kEventLogAddress,
                     std::span<const std::uint8_t>(e.data() + commands::kEventLogAddress, 22));
    log.OnChainEnd(commands::kPurposeEventLog);
    EXPECT_EQ(rig.view.eventLog.lines.size(), 2u);
    // An end for another purpose is none of its business.
    log.OnChainEnd(commands::kPurposeTuningLog);
    EXPECT_EQ(rig.view.outcomes.size(), 1u);
}

}  // namespace
