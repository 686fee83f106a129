// Acknowledge check, refusal texts and routing of write acknowledges.

#include <gtest/gtest.h>

#include "SimLink.h"
#include "support/ScriptedPort.h"

using namespace orvan;
using namespace orvan::commands;

namespace {

struct Fixture {
    test::ScriptedPort port;
    link::ManualClock clock;
    link::TComProtocol protocol{port, clock};
    test::RecordingView view;
    TSession session{protocol, view.events, view};
    Fixture() { view.session = &session; }
    void Answer(std::vector<std::uint8_t> a) {
        const auto len = static_cast<std::uint8_t>(a.size() + 4);
        ProcessAnswer(session, a, len);
    }
};

TEST(Refusals, EveryCodeHasItsText) {
    struct Row {
        std::vector<std::uint8_t> answer;
        std::string text;
    };
    const Row rows[] = {
        {{0x0F, 1}, "Protocol initiator not found!"},
        {{0x0F, 2}, "Negative acknowledge"},
        {{0x0F, 3}, "Unknown command"},
        {{0x0F, 4}, "Invalid parameters"},
        {{0x0F, 5, 0x0B, 0x07}, "Unknown variable: 1803"},
        {{0x0F, 6, 0x01, 0x00}, "Read only variable :1"},
        {{0x0F, 7, 0x00, 0x04}, "Invalid EEPROM address: 1024"},
        {{0x0F, 8}, "Trying to write accross two EEPROM pages"},
        {{0x0F, 9, 0xE8, 0x03, 0xE6, 0x03},
         "DAC16bit write error! Written value:1000 Readed value:998"},
        {{0x0F, 10}, "EEPROM previous writing in course. Wait a while and retry..."},
        {{0x0F, 11}, "Operation denied in the current work phase!"},
        {{0x0F, 12}, "Security code error!"},
        {{0x0F, 13}, "Error number: 13"},
        {{0x0F, 0x2A}, "Error number: 42"},
        {{0x0F, 0}, "Error number: 0"},
        {{0x0F, 255}, "Error number: 255"},
        {{0x0F, 5}, "Unknown variable: 0"},  // values missing read as zero
    };
    for (const Row& r : rows) {
        Fixture f;
        f.Answer(r.answer);
        ASSERT_EQ(f.view.boxes.size(), 1u);
        EXPECT_EQ(f.view.boxes[0].caption, "Comunication error!");
        EXPECT_EQ(f.view.boxes[0].text, r.text);
        EXPECT_EQ(f.view.linkState, "NACK");
        EXPECT_TRUE(f.view.pausedDuringBox)
            << "the exchange must stand still while the box is open";
        EXPECT_FALSE(f.session.ExchangePaused());
    }
}

TEST(Refusals, TheBoxStopsTheExchangeTicks) {
    // Through the cycle: while the box is open a tick sends nothing.
    struct PausingView : test::RecordingView {
        TSessionCycle* cycle = nullptr;
        link::ManualClock* clock = nullptr;
        int sentDuringBox = 0;
        void ShowRefusal(std::string_view c, std::string_view t) override {
            test::RecordingView::ShowRefusal(c, t);
            for (int i = 0; i < 10; ++i) {
                clock->Advance(30);
                if (cycle->Tick() == link::PollState::Sent) ++sentDuringBox;
            }
        }
    };
    test::ScriptedPort port;
    link::ManualClock clock;
    link::TComProtocol protocol(port, clock);
    PausingView view;
    TSession session(protocol, view.events, view);
    TSessionCycle cycle(session, clock);
    view.cycle = &cycle;
    view.clock = &clock;
    ASSERT_TRUE(SendReadVariable(protocol, ClockTime));
    ASSERT_TRUE(SendReadVariable(protocol, ClockDate));
    ASSERT_EQ(cycle.Tick(), link::PollState::Sent);
    port.Arrive(test::FrameAnswer({0x0F, 5, 0x00, 0x03}));
    for (int i = 0; i < 10 && view.boxes.empty(); ++i) {
        clock.Advance(30);
        cycle.Tick();
    }
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.sentDuringBox, 0);
    // A refusal ends only its command: the next one goes out afterwards.
    EXPECT_EQ(protocol.QueueCount(), 1u);
    clock.Advance(30);
    EXPECT_EQ(cycle.Tick(), link::PollState::Sent);
}

TEST(MissingAck, TheAnswerIsDroppedAndTheLineStopped) {
    Fixture f;
    f.session.configImage.fill(0x55);
    f.session.downloadActive = true;  // block 0 outstanding
    ASSERT_TRUE(SendReadVariable(f.protocol, AnomalyStatus));
    // A corrupted refusal that looks like the write acknowledge of block 0.
    f.Answer({0x00, 0x01, 0x00, 0x10});
    ASSERT_EQ(f.view.boxes.size(), 1u);
    EXPECT_EQ(f.view.boxes[0].text, "Missing ACK...");
    EXPECT_EQ(f.view.boxes[0].caption, "Comunication error!");
    EXPECT_TRUE(f.view.pausedDuringBox);
    EXPECT_EQ(f.session.chunkCounter, 0) << "a corrupted answer counts as no written block";
    EXPECT_FALSE(f.session.downloadActive);
    EXPECT_EQ(f.protocol.QueueCount(), 0u);
    EXPECT_EQ(f.view.pollingStopped, 1);
}

TEST(Acknowledges, NothingToDecodeChangesNothing) {
    Fixture f;
    f.Answer({0x06, 0x0A, 0x02, 0x03});
    f.Answer({0x06, 0x01, 0x00, 0x10});  // no download, no format running
    f.Answer({0x06, 0xF0});
    f.Answer({0x06, 0x21});
    EXPECT_TRUE(f.view.boxes.empty());
    EXPECT_EQ(f.protocol.QueueCount(), 0u);
    EXPECT_TRUE(f.view.stopped.empty());
}

TEST(Acknowledges, AnAnswerOfAnotherTypeThanAskedIsNotUsed) {
    Fixture f;
    f.session.NoteSent(MakeReadVariable(ClockTime));
    f.Answer({0x06, 0x02, 0x00, 0x10, 1, 2, 3});
    EXPECT_TRUE(f.view.rawRows.empty());
    EXPECT_EQ(f.view.ignored.size(), 1u);
}

}  // namespace
