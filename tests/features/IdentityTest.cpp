// Identity and counters: the serial number written and read back (never past
// address 15), the hours counter and the factory tuning date encodings, and
// every refusal sending nothing.

#include <gtest/gtest.h>

#include "SimLink.h"
#include "features/Identity.h"

using namespace orvan;
using namespace orvan::features;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct SerialRecorder : ISerialListener {
    void OnSerialNumberWritten(const TSerialOutcome& o) override { outcomes.push_back(o); }
    std::vector<TSerialOutcome> outcomes;
};

struct IdentityRig : test::SimRig {
    SerialRecorder serials;
    TIdentity& identity = core.Identity();
    IdentityRig() { identity.Views().Add(serials); }
    std::vector<Bytes> Bodies(std::uint8_t type) const {
        std::vector<Bytes> r;
        for (const Bytes& b : port.bodies)
            if (!b.empty() && b[0] == type) r.push_back(b);
        return r;
    }
};

TEST(Identity, SerialNumberBytesAndReadBack) {
    IdentityRig rig;
    const auto r = rig.identity.SetSerialNumber("AB12");
    ASSERT_TRUE(r) << r.why;
    rig.Run();
    // The protocol version was unknown: asked before the write.
    ASSERT_FALSE(rig.port.bodies.empty());
    EXPECT_EQ(rig.port.bodies.front(), (Bytes{0x0B, 0x02, 0x00}));
    EXPECT_EQ(rig.Bodies(0x01),
              (std::vector<Bytes>{{0x01, 0x00, 0x00, 0x41, 0x42, 0x31, 0x32, 0x00, 0x00}}));
    EXPECT_EQ(rig.Bodies(0x02), (std::vector<Bytes>{{0x02, 0x00, 0x00, 15}}));
    ASSERT_EQ(rig.serials.outcomes.size(), 1u);
    EXPECT_TRUE(rig.serials.outcomes[0].completed) << rig.serials.outcomes[0].message;
    EXPECT_EQ(rig.serials.outcomes[0].read, "AB12");
    EXPECT_EQ(rig.view.serial, "AB12");
    EXPECT_FALSE(rig.identity.SerialWriteRunning());
}

TEST(Identity, SerialNumberCarriesTheSecurityCodeAt210) {
    IdentityRig rig;
    rig.model.protocol = {2, 1, 0};
    ASSERT_TRUE(rig.identity.SetSerialNumber("AB12"));
    rig.Run();
    EXPECT_EQ(rig.Bodies(0x01), (std::vector<Bytes>{{0x01, 0x19, 0x2D, 0x7E, 0x4B, 0x00, 0x00, 0x41,
                                                     0x42, 0x31, 0x32, 0x00, 0x00}}));
    ASSERT_EQ(rig.serials.outcomes.size(), 1u);
    EXPECT_TRUE(rig.serials.outcomes[0].completed);
}

TEST(Identity, LongestSerialNumbersStayBelowAddress16) {
    for (const std::string text : {"ABCDEFGHIJKLMN", "ABCDEFGHIJKLMNO"}) {
        IdentityRig rig;
        const auto before = rig.model.Eeprom();
        ASSERT_TRUE(rig.identity.SetSerialNumber(text));
        rig.Run();
        const auto& e = rig.model.Eeprom();
        EXPECT_TRUE(std::equal(e.begin() + 16, e.end(), before.begin() + 16)) << text;
        EXPECT_EQ(std::string(e.begin(), e.begin() + static_cast<long>(text.size())), text);
        EXPECT_EQ(e[text.size()], 0);
        EXPECT_EQ(rig.Bodies(0x01).at(0).size(), 3u + 16u) << text;  // 0..15 exactly
        ASSERT_EQ(rig.serials.outcomes.size(), 1u);
        EXPECT_EQ(rig.serials.outcomes[0].read, text);
    }
}

TEST(Identity, SerialNumberRefusalsSendNothing) {
    struct Case {
        std::string text;
        const char* why;
    };
    const Case cases[] = {{"ABCDEFGHIJKLMNOP", "at most 15"},
                          {std::string("AB\0CD", 5), "printable"},
                          {"AB\nCD", "printable"},
                          {"AB\x7F", "printable"}};
    for (const Case& c : cases) {
        IdentityRig rig;
        const auto r = rig.identity.SetSerialNumber(c.text);
        EXPECT_FALSE(r);
        EXPECT_NE(r.why.find(c.why), std::string::npos) << r.why;
        EXPECT_EQ(rig.protocol.QueueCount(), 0u);
    }
    IdentityRig rig;
    const auto empty = rig.identity.SetSerialNumber("");
    EXPECT_FALSE(empty);
    EXPECT_TRUE(empty.why.empty());  // cancelled: nothing to tell
    EXPECT_EQ(rig.protocol.QueueCount(), 0u);
}

TEST(Identity, RefusedSerialWriteIsReportedAsNotKept) {
    IdentityRig rig;
    rig.model.protocol = {2, 2, 9};
    rig.session.Protocol().BoardProtocolVersion = rig.model.protocol.Packed();
    std::string old(rig.model.Eeprom().begin(), rig.model.Eeprom().begin() + 15);
    old = old.substr(0, old.find('\0'));
    rig.model.ForceError({sim::kErrEepromBusy, 1, 0, 0x01, {}});
    ASSERT_TRUE(rig.identity.SetSerialNumber("NEW-1"));
    rig.Run();
    ASSERT_EQ(rig.view.boxes.size(), 1u);  // the refusal itself
    ASSERT_EQ(rig.serials.outcomes.size(), 1u);
    EXPECT_FALSE(rig.serials.outcomes[0].completed);
    EXPECT_EQ(rig.serials.outcomes[0].read, old);
    EXPECT_NE(rig.serials.outcomes[0].message.find("did not take"), std::string::npos);
}

TEST(Identity, SilentBoardEndsTheSerialWriteWithItsReason) {
    IdentityRig rig;
    rig.port.silent = true;
    ASSERT_TRUE(rig.identity.SetSerialNumber("X1"));
    rig.Run();
    ASSERT_EQ(rig.serials.outcomes.size(), 1u);
    EXPECT_FALSE(rig.serials.outcomes[0].completed);
    EXPECT_NE(rig.serials.outcomes[0].message.find("RX TimeOut"), std::string::npos)
        << rig.serials.outcomes[0].message;
}

TEST(Identity, HoursCounterEncoding) {
    struct Case {
        const char* typed;
        char separator;
        std::uint32_t seconds;
    };
    const Case cases[] = {{"1,5", ',', 5400}, {"1.5", '.', 5400},
                          {"0", ',', 0},      {" 2 ", '.', 7200},
                          {"0.001", '.', 3},  {"1193046", '.', 4294965600u},
                          {"2.3", '.', 8280}, {"100000", ',', 360000000}};
    for (const Case& c : cases) {
        IdentityRig rig;
        const auto r = rig.identity.SetHoursCounter(c.typed, c.separator);
        ASSERT_TRUE(r) << c.typed << ": " << r.why;
        rig.Run();
        const std::uint32_t s = c.seconds;
        EXPECT_EQ(
            rig.port.bodies,
            (std::vector<Bytes>{
                {0x0A, 0x06, 0x06, static_cast<std::uint8_t>(s), static_cast<std::uint8_t>(s >> 8),
                 static_cast<std::uint8_t>(s >> 16), static_cast<std::uint8_t>(s >> 24)}}))
            << c.typed;
        EXPECT_EQ(rig.model.Fields(0x0606).at(0), s) << c.typed;
    }
}

TEST(Identity, HoursCounterRefusalsSendNothing) {
    const std::pair<const char*, const char*> cases[] = {
        {"-1", "negative"},     {"abc", "not a valid"}, {"1.5", "not a valid"},  // ',' expected
        {"1193047", "at most"}, {"1e3", "not a valid"}, {"1,2,3", "not a valid"}};
    for (const auto& [typed, why] : cases) {
        IdentityRig rig;
        const auto r = rig.identity.SetHoursCounter(typed, ',');
        EXPECT_FALSE(r) << typed;
        EXPECT_NE(r.why.find(why), std::string::npos) << typed << ": " << r.why;
        EXPECT_EQ(rig.protocol.QueueCount(), 0u) << typed;
    }
    IdentityRig rig;
    EXPECT_TRUE(rig.identity.SetHoursCounter("  ", ',').why.empty());
    EXPECT_EQ(rig.protocol.QueueCount(), 0u);
}

TEST(Identity, FactoryTuningDateSeconds) {
    EXPECT_EQ(CalendarSeconds({1970, 1, 1}, {0, 0, 0}), std::optional<std::uint32_t>(0));
    EXPECT_EQ(CalendarSeconds({2026, 12, 7}, {8, 0, 0}), std::optional<std::uint32_t>(1796630400));
    EXPECT_EQ(CalendarSeconds({2000, 2, 29}, {12, 0, 0}), std::optional<std::uint32_t>(951825600));
    EXPECT_EQ(CalendarSeconds({2106, 2, 7}, {6, 28, 15}),
              std::optional<std::uint32_t>(4294967295u));
    EXPECT_FALSE(CalendarSeconds({2106, 2, 7}, {6, 28, 16}));
    EXPECT_FALSE(CalendarSeconds({1969, 12, 31}, {23, 59, 59}));
    EXPECT_FALSE(CalendarSeconds({2026, 2, 29}, {0, 0, 0}));
}

TEST(Identity, FactoryTuningDateIsSentAndKeptInTheTuningLog) {
    IdentityRig rig;
    const auto r = rig.identity.SetFactoryTuningDate({2026, 12, 7}, TTimeTexts{"8", "0", "0"});
    ASSERT_TRUE(r) << r.why;
    rig.Run();
    EXPECT_EQ(rig.port.bodies, (std::vector<Bytes>{{0x0A, 0x07, 0x06, 0x80, 0x67, 0x16, 0x6B}}));
    const auto& e = rig.model.Eeprom();
    EXPECT_EQ((Bytes{e[400], e[401], e[402], e[403]}), (Bytes{0x80, 0x67, 0x16, 0x6B}));

    for (const TTimeTexts& bad : {TTimeTexts{"24", "0", "0"}, TTimeTexts{"x", "0", "0"}}) {
        IdentityRig other;
        EXPECT_FALSE(other.identity.SetFactoryTuningDate({2026, 12, 7}, bad));
        EXPECT_EQ(other.protocol.QueueCount(), 0u);
    }
    IdentityRig early;
    EXPECT_FALSE(early.identity.SetFactoryTuningDate({1969, 12, 31}, TTimeOfDay{0, 0, 0}));
    EXPECT_EQ(early.protocol.QueueCount(), 0u);
}

TEST(Identity, InfoAsksInTheDocumentedOrder) {
    IdentityRig rig;
    ASSERT_TRUE(rig.identity.RequestInfo());
    rig.Run();
    ASSERT_GE(rig.port.bodies.size(), 4u);
    EXPECT_EQ(rig.port.bodies[0], (Bytes{0x0B, 0x01, 0x00}));
    EXPECT_EQ(rig.port.bodies[1], (Bytes{0x02, 0x00, 0x00, 15}));
    EXPECT_EQ(rig.port.bodies[2], (Bytes{0x0B, 0x00, 0x00}));
    EXPECT_EQ(rig.port.bodies[3], (Bytes{0x0B, 0x02, 0x00}));
    EXPECT_FALSE(rig.view.serial.empty());
}

}  // namespace
