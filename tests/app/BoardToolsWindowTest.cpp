// The board tools through the window's handlers on the simulated board in
// memory: the "Date / Time" page, the identity items of the Config menu and
// the "EEPROM Manager" page. Dialogs are answered by a recording fake.

#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/MainForm.h"
#include "config/AtomicFile.h"
#include "features/EepromImage.h"
#include "pages/PageEeprom.h"
#include "pages/PageTimeKeep.h"

using namespace orvan::app;
using Bytes = std::vector<std::uint8_t>;

namespace {

class BoardToolsWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        TStartOptions o;
        o.settingsDirectory = dir_.path().toStdString() + "/";
        o.backupDirectory = o.settingsDirectory + "backups";
        o.keepSettingsFile = true;
        board_.Connect(o);
        form_ = std::make_unique<TMainForm>(o);
        form_->SetDialogs(&dialogs);
        form_->FormActivate();
    }
    bool Idle() {
        return StepUntil(*form_, board_.clock, [&] { return Settled(*form_); });
    }
    bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
    std::vector<Bytes> Bodies(std::uint8_t type) const {
        std::vector<Bytes> r;
        for (const Bytes& b : board_.port.bodies)
            if (!b.empty() && b[0] == type) r.push_back(b);
        return r;
    }
    orvan::pages::TPageTimeKeep& Page() { return *form_->FindPage<orvan::pages::TPageTimeKeep>(); }

    QTemporaryDir dir_;
    TInProcessBoard board_;
    orvan::test::TRecordingDialogs dialogs;
    std::unique_ptr<TMainForm> form_;
};

TEST_F(BoardToolsWindow, ClockPageSetsReadsAndHalts) {
    auto& p = Page();
    p.calOrvanDate->setSelectedDate(QDate(2026, 12, 7));
    p.edtHours->setText(QStringLiteral("9"));
    p.edtMinutes->setText(QStringLiteral("05"));
    p.edtSeconds->setText(QStringLiteral("30"));
    p.cmdSetOrvanTime->click();
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Bodies(0x0A), (std::vector<Bytes>{{0x0A, 0x00, 0x03, 0x09, 0x05, 0x1E},
                                                {0x0A, 0x01, 0x03, 0x07, 0x0C, 0x02, 0x1A}}));
    p.chkTKClockEN->setChecked(false);
    p.cmdSetTKClockHalt->click();
    ASSERT_TRUE(Idle());
    p.calOrvanDate->setSelectedDate(QDate(2020, 1, 1));
    p.edtHours->setText(QStringLiteral("00"));
    p.chkTKClockEN->setChecked(true);
    p.cmdGetOrvanTime->click();
    ASSERT_TRUE(Idle());
    EXPECT_EQ(p.calOrvanDate->selectedDate(), QDate(2026, 12, 7));
    EXPECT_EQ(p.edtHours->text(), QStringLiteral("9"));
    EXPECT_EQ(p.edtMinutes->text(), QStringLiteral("5"));
    // The clock ran for the exchanges between the set and the halt.
    EXPECT_GE(p.edtSeconds->text().toInt(), 30);
    EXPECT_LE(p.edtSeconds->text().toInt(), 31);
    EXPECT_FALSE(p.chkTKClockEN->isChecked());
    // Each change of the board is told with what the board held before.
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(Has(dialogs.messages[0], "Board clock set: set to ")) << dialogs.messages[0];
    EXPECT_TRUE(Has(dialogs.messages[0], " before.")) << dialogs.messages[0];
    EXPECT_TRUE(Has(dialogs.messages[1], "Board clock halt: the clock is halted"))
        << dialogs.messages[1];
}

TEST_F(BoardToolsWindow, ImpossibleTimeIsRefusedWithAMessage) {
    auto& p = Page();
    p.edtHours->setText(QStringLiteral("25"));
    p.cmdSetOrvanTime->click();
    p.edtHours->setText(QStringLiteral("x"));
    p.cmdSetOrvanTime->click();
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(Bodies(0x0A).empty());
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_NE(dialogs.messages[0].find("Hour: 25 is outside 0..23"), std::string::npos);
    EXPECT_NE(dialogs.messages[1].find("'x' is not a valid integer value"), std::string::npos);
}

TEST_F(BoardToolsWindow, ImpossibleBoardDateIsReportedOnThePage) {
    auto& p = Page();
    p.calOrvanDate->setSelectedDate(QDate(2026, 5, 5));
    const Bytes answer = {0x06, 0x0B, 0x01, 0x03, 0x00, 0x00, 0x01, 0x1A, 0x00};
    orvan::commands::ProcessAnswer(Engine(*form_).session, answer,
                                   static_cast<std::uint8_t>(answer.size() + 4));
    EXPECT_EQ(p.calOrvanDate->selectedDate(), QDate(2026, 5, 5));
    EXPECT_TRUE(p.Problem().contains(QStringLiteral("not a date")));
}

TEST_F(BoardToolsWindow, PcTimeFillsTheFieldsWithoutLeadingZeros) {
    form_->Core()->BoardClock().pcNow = [] {
        return orvan::features::TLocalNow{{2026, 12, 7}, {8, 7, 9}};
    };
    Page().cmdGetPcTime->click();
    EXPECT_EQ(Page().edtHours->text(), QStringLiteral("8"));
    EXPECT_EQ(Page().edtMinutes->text(), QStringLiteral("7"));
    EXPECT_EQ(Page().edtSeconds->text(), QStringLiteral("9"));
    EXPECT_EQ(Page().calOrvanDate->selectedDate(), QDate(2026, 12, 7));
}

TEST_F(BoardToolsWindow, SerialNumberFromTheConfigMenu) {
    dialogs.typed = "AB12";
    form_->SetSerialNumberItem->trigger();
    ASSERT_TRUE(Idle());
    ASSERT_EQ(dialogs.prompts.size(), 1u);
    EXPECT_EQ(dialogs.prompts[0], "Serial Number | Max 15 character");
    EXPECT_EQ(Bodies(0x01),
              (std::vector<Bytes>{{0x01, 0x00, 0x00, 0x41, 0x42, 0x31, 0x32, 0x00, 0x00}}));
    EXPECT_EQ(form_->PanelText(4), QStringLiteral("SN: AB12"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(Has(dialogs.messages[0], "Serial number written: AB12 (it was SIM-000001)"))
        << dialogs.messages[0];
    dialogs.messages.clear();

    // Too long, not one byte per character, cancelled: nothing sent.
    const std::size_t writes = Bodies(0x01).size();
    dialogs.typed = "ABCDEFGHIJKLMNOP";
    form_->SetSerialNumberItem->trigger();
    dialogs.typed = "AB\xE2\x82\xAC";  // a euro sign
    form_->SetSerialNumberItem->trigger();
    dialogs.typed.reset();
    form_->SetSerialNumberItem->trigger();
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Bodies(0x01).size(), writes);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_NE(dialogs.messages[0].find("at most 15"), std::string::npos);
    EXPECT_NE(dialogs.messages[1].find("cannot be kept"), std::string::npos);
}

TEST_F(BoardToolsWindow, HoursCounterAndFactoryTuningDate) {
    dialogs.typed = "0";
    form_->SetHoursCounterItem->trigger();
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Bodies(0x0A).back(), (Bytes{0x0A, 0x06, 0x06, 0, 0, 0, 0}));
    EXPECT_EQ(dialogs.prompts.back(), "Velkor Welder | Source hours counter");

    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(Has(dialogs.messages[0], "Hours counter: set to 0 s")) << dialogs.messages[0];

    dialogs.typed = "abc";
    form_->SetHoursCounterItem->trigger();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_NE(dialogs.messages[1].find("'abc'"), std::string::npos);

    Page().calOrvanDate->setSelectedDate(QDate(2026, 12, 7));
    Page().edtHours->setText(QStringLiteral("8"));
    Page().edtMinutes->setText(QStringLiteral("0"));
    Page().edtSeconds->setText(QStringLiteral("0"));
    dialogs.answer = false;
    form_->SetFactoryTuningDateItem->trigger();
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Bodies(0x0A).size(), 1u) << "declined: nothing sent";
    dialogs.answer = true;
    form_->SetFactoryTuningDateItem->trigger();
    // The outcome is told after the tick that ended the operation.
    ASSERT_TRUE(StepUntil(*form_, board_.clock,
                          [&] { return Settled(*form_) && dialogs.messages.size() == 3; }));
    EXPECT_EQ(dialogs.questions.back(),
              "Procedere con la scrittura della data/ora del tuning di fabbrica?");
    EXPECT_EQ(Bodies(0x0A).back(), (Bytes{0x0A, 0x07, 0x06, 0x80, 0x67, 0x16, 0x6B}));
    // What the board held is in its tuning log, kept before the write.
    EXPECT_EQ(dialogs.messages.back().rfind(
                  std::string(kApplicationTitle) +
                      " | Factory tuning date: set to 2026-12-07 08:00:00 (1796630400); the "
                      "board acknowledged it. What the board held is kept in ",
                  0),
              0u)
        << dialogs.messages.back();
}

TEST_F(BoardToolsWindow, EepromWriteReadAndDumpListing) {
    auto& e = *form_->FindPage<orvan::pages::TPageEeprom>();
    e.RBCmdActive[1]->setChecked(true);
    e.TxtParameters[1]->setText(QStringLiteral("AB"));
    e.TxtAddress[1]->setText(QStringLiteral("300"));
    e.cmdE2PWriteBytes->click();
    ASSERT_TRUE(Idle());
    ASSERT_EQ(dialogs.questions.size(), 1u) << "300 lies in the configuration";
    EXPECT_TRUE(Has(dialogs.questions[0], "the configuration (addresses 16 to 399)"))
        << dialogs.questions[0];
    EXPECT_EQ(Bodies(0x01), (std::vector<Bytes>{{0x01, 0x01, 0x2C, 0x41, 0x42}}));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(Has(dialogs.messages[0], "2 bytes written at 300")) << dialogs.messages[0];

    e.TxtEEPROMReadAddress->setText(QStringLiteral("16"));
    e.TxtEEPROMReadLength->setText(QStringLiteral("8"));
    e.cmdE2PReadBytes->click();
    ASSERT_TRUE(Idle());
    ASSERT_EQ(e.ListingRows(), 1);
    EXPECT_EQ(e.Cell(0, 0), QStringLiteral("0010"));
    EXPECT_EQ(e.Cell(1, 0).size(), 24);
    EXPECT_EQ(e.Cell(2, 0).size(), 8);
    EXPECT_EQ(dialogs.messages.size(), 1u) << "a read the listing shows needs no box";
    EXPECT_EQ(e.Status(), QStringLiteral("8 bytes read from 16"));

    e.TxtEEPROMReadLength->setText(QStringLiteral("0"));
    e.cmdE2PReadBytes->click();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_NE(dialogs.messages[1].find("1 to 32"), std::string::npos);

    e.cmdE2PDumpAll->click();
    ASSERT_TRUE(Idle());
    ASSERT_EQ(e.ListingRows(), 65);
    EXPECT_EQ(e.Cell(0, 0), QStringLiteral("0000"));
    EXPECT_EQ(e.Cell(0, 63), QStringLiteral("03F0"));
    EXPECT_TRUE(e.Cell(0, 64).isEmpty());
    EXPECT_EQ(e.Cell(2, 0).left(10), QStringLiteral("SIM-000001"));
}

// "Write selected byte" as the page opens (row 1, "CfgData123" at address 0)
// would put the text over the serial number: the core asks, saying what is
// there, and "no" writes nothing.
TEST_F(BoardToolsWindow, WriteSelectedByteOverTheSerialNumberAsksFirst) {
    auto& e = *form_->FindPage<orvan::pages::TPageEeprom>();
    ASSERT_EQ(e.SelectedRow(), 0);
    ASSERT_EQ(e.RowAddress(0), QStringLiteral("0"));
    ASSERT_EQ(e.RowText(0), QStringLiteral("CfgData123"));
    const auto before = board_.model.Eeprom();
    dialogs.answer = false;
    e.cmdE2PWriteBytes->click();
    ASSERT_TRUE(Idle());
    ASSERT_EQ(dialogs.questions.size(), 1u);
    const std::string& q = dialogs.questions[0];
    EXPECT_TRUE(Has(q, "Writing 10 bytes at address 0 overwrites the serial number")) << q;
    EXPECT_TRUE(Has(q, "SIM-000001")) << "what it holds now: " << q;
    EXPECT_TRUE(Bodies(0x01).empty());
    EXPECT_EQ(board_.model.Eeprom(), before);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(Has(dialogs.messages[0], "not confirmed: nothing was written to the board"))
        << dialogs.messages[0];
    EXPECT_EQ(form_->PanelText(4), QStringLiteral("SN: SIM-000001"));

    // Yes: written, and the ten bytes it held kept in a file first.
    dialogs.answer = true;
    e.cmdE2PWriteBytes->click();
    ASSERT_TRUE(Idle());
    EXPECT_EQ(
        Bodies(0x01),
        (std::vector<Bytes>{{0x01, 0x00, 0x00, 'C', 'f', 'g', 'D', 'a', 't', 'a', '1', '2', '3'}}));
    const std::string said = dialogs.messages.back();
    const std::size_t at = said.find("kept in ");
    ASSERT_NE(at, std::string::npos) << said;
    std::string kept = said.substr(at + 8);
    kept.pop_back();  // the full stop
    std::string bytes;
    ASSERT_TRUE(orvan::config::ReadWholeFile(kept, bytes)) << kept;
    EXPECT_EQ(bytes, "SIM-000001");
}

TEST_F(BoardToolsWindow, FormatAsksKeepsADumpAndRestoreGivesItBack) {
    const auto original = board_.model.Eeprom();
    const std::string file = dir_.path().toStdString() + "/kept.bin";
    dialogs.answer = false;
    form_->FindPage<orvan::pages::TPageEeprom>()->cmdE2PFormat->click();
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(Bodies(0x02).empty()) << "declined: nothing read nor written";
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].substr(0, 20), "!!! Attenzione !!!\nQ");

    // The core asks again once it has kept the memory, naming the board.
    dialogs.answer = true;
    dialogs.chosen = file;
    form_->FindPage<orvan::pages::TPageEeprom>()->cmdE2PFormat->click();
    ASSERT_TRUE(Idle());
    ASSERT_EQ(dialogs.questions.size(), 3u);
    EXPECT_TRUE(Has(dialogs.questions[2], "SIM-000001")) << dialogs.questions[2];
    EXPECT_TRUE(Has(dialogs.questions[2], file)) << dialogs.questions[2];
    EXPECT_EQ(Bodies(0x01).size(), 32u);
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_NE(dialogs.messages.back().find(file), std::string::npos) << dialogs.messages.back();
    orvan::features::TEepromImage kept{};
    ASSERT_TRUE(orvan::features::LoadDumpFile(file, kept, nullptr));
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), original.begin()));

    // The erased board has no serial number: the restore asks first.
    form_->FindPage<orvan::pages::TPageEeprom>()->cmdE2PRestoreDump->click();
    ASSERT_TRUE(Idle());
    ASSERT_EQ(dialogs.questions.size(), 4u);
    EXPECT_TRUE(Has(dialogs.questions.back(), "differs from the dump's \"SIM-000001\""))
        << dialogs.questions.back();
    EXPECT_EQ(board_.model.Eeprom(), original);
    EXPECT_NE(dialogs.messages.back().find("all 1024 bytes match"), std::string::npos)
        << dialogs.messages.back();
}

}  // namespace
