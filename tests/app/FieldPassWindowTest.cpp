// The pieces a technician reaches on each simulated machine: the "Info "
// group and its "Update", "Load HW Info", the typed requests of "COM Debug"
// (checked, sent through the core, answered), and the live texts rounded to
// the digits their readings have.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/MainForm.h"
#include "features/FrameSend.h"
#include "pages/LogListModel.h"
#include "pages/PageComDebug.h"
#include "pages/PageDiameter.h"
#include "pages/PageFlanging.h"
#include "pages/PageIOStatus.h"
#include "pages/PageMultiHead.h"
#include "pages/PagePelta.h"
#include "pages/PageWelderCfg.h"
#include "pages/PageWelderVelkor.h"
#include "pages/ResponsePicture.h"

using namespace orvan::app;
using Bytes = std::vector<std::uint8_t>;

namespace {

class FieldPassWindow : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        const orvan::sim::TMachinePreset* p = orvan::sim::FindMachinePreset(GetParam());
        ASSERT_NE(p, nullptr);
        preset_ = *p;
        board_.Become(*p);
        form_ = board_.StartWindow(dir_.path().toStdString(), dialogs_,
                                   dir_.path().toStdString() + "/backups");
    }
    bool Idle() {
        return StepUntil(*form_, board_.clock, [&] { return Settled(*form_); });
    }
    std::size_t Sent(std::uint8_t type) const {
        std::size_t n = 0;
        for (const Bytes& b : board_.port.bodies) n += !b.empty() && b[0] == type;
        return n;
    }
    static std::string Version(const orvan::sim::Version3& v, const char* format) {
        char t[32];
        std::snprintf(t, sizeof t, format, v.major, v.minor, v.patch);
        return t;
    }

    orvan::sim::TMachinePreset preset_{};
    QTemporaryDir dir_;
    TInProcessBoard board_;
    orvan::test::TRecordingDialogs dialogs_;
    std::unique_ptr<TMainForm> form_;
};

// "Update" and "Load HW Info" ask what "Info" asks, and the group shows it.
TEST_P(FieldPassWindow, InfoGroupShowsWhatTheBoardSaysFromEachButton) {
    ASSERT_TRUE(Idle());
    auto& page = *form_->FindPage<orvan::pages::TPageWelderVelkor>();
    QPushButton* buttons[] = {page.cmdInfoUpdate,
                              form_->FindPage<orvan::pages::TPageIOStatus>()->cmdLoadHWInfo};
    for (QPushButton* b : buttons) {
        page.stxFWVer->clear();
        page.stxProtVer->clear();
        page.stxSerialNumber->clear();
        const std::size_t before = Sent(0x0B);
        b->click();
        ASSERT_TRUE(Idle());
        EXPECT_EQ(Sent(0x0B), before + 3) << b->text().toStdString();  // type, firmware, protocol
        EXPECT_EQ(page.stxFWVer->text().toStdString(), Version(preset_.firmware, "%d.%02d.%02d"));
        EXPECT_NE(
            page.stxProtVer->text().toStdString().find(Version(preset_.protocol, "%d.%02d.%02d")),
            std::string::npos)
            << "[" << page.stxProtVer->text().toStdString() << "]";
        EXPECT_FALSE(page.stxSerialNumber->text().isEmpty());
        EXPECT_EQ(form_->PanelText(4), QStringLiteral("SN: ") + page.stxSerialNumber->text());
    }
    EXPECT_TRUE(dialogs_.messages.empty());
}

// A typed request goes out as typed, its answer is decoded where every answer
// goes; a text that is not a sound request is refused and nothing is sent.
TEST_P(FieldPassWindow, TypedRequestsAreCheckedSentAndAnswered) {
    ASSERT_TRUE(Idle());
    auto& dbg = *form_->FindPage<orvan::pages::TPageComDebug>();
    auto& page = *form_->FindPage<orvan::pages::TPageWelderVelkor>();
    page.stxFWVer->clear();
    // ReadVariable FirmwareVersion, checksum 0B, as the TX log shows it.
    dbg.TxtStringTx2->setText(QStringLiteral("0b 00 00 0B"));
    const std::size_t before = board_.port.bodies.size();
    dbg.CmdTxString2->click();
    ASSERT_TRUE(Idle());
    ASSERT_GT(board_.port.bodies.size(), before);
    EXPECT_EQ(board_.port.bodies.back(), (Bytes{0x0B, 0x00, 0x00}));
    EXPECT_EQ(page.stxFWVer->text().toStdString(), Version(preset_.firmware, "%d.%02d.%02d"));
    EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.messages.front();

    // A line copied from the TX log is sent again as it was.
    dbg.chkTxLogEnable->setChecked(true);
    dbg.TxtStringTx1->setText(QStringLiteral("0B 02 00 09"));  // ReadVariable ProtocolVersion
    dbg.CmdTxString1->click();
    ASSERT_TRUE(Idle());
    ASSERT_GT(dbg.TxModel()->Count(), 0);
    const std::string_view logged = dbg.TxModel()->Line(dbg.TxModel()->Count() - 1);
    dbg.TxtTxLogString->setText(QString::fromLatin1(logged.data(), logged.size()));
    const std::size_t again = board_.port.bodies.size();
    dbg.CmdTXLogString->click();
    ASSERT_TRUE(Idle());
    ASSERT_EQ(board_.port.bodies.size(), again + 1);  // the version is known now
    EXPECT_EQ(board_.port.bodies.back(), board_.port.bodies[again - 1]);

    struct Bad {
        const char* text;
        const char* says;
    };
    const Bad bad[] = {
        {"", "no bytes"},
        {"0B 00 00 0C", "checksum 0C does not add up"},
        {"0B 00 0G 0B", "not a hex digit"},
        {"77 00 77", "not a request the board knows"},
        {"02 03 F0 20 D1", "outside the memory"},  // ReadMemory 1008, 32 bytes
        {"01 00 1E 01 02 03 1F", "cross one"},     // a write over a page edge
        {"0B 00 0B", "needs at least 2"},
    };
    for (const Bad& b : bad) {
        dialogs_.messages.clear();
        const std::size_t n = board_.port.bodies.size();
        dbg.TxtStringTx3->setText(QString::fromLatin1(b.text));
        dbg.CmdTxString3->click();
        ASSERT_TRUE(Idle());
        EXPECT_EQ(board_.port.bodies.size(), n) << b.text;
        ASSERT_EQ(dialogs_.messages.size(), 1u) << b.text;
        EXPECT_NE(dialogs_.messages[0].find(b.says), std::string::npos) << dialogs_.messages[0];
    }
}

// Only the machines the board has get a tab; all of them then fit 1024 px.
TEST_P(FieldPassWindow, TabStripHoldsEveryPageOfTheBoard) {
    ASSERT_TRUE(Idle());
    QTabWidget& tabs = *form_->PgcMain;
    const std::uint16_t type = preset_.boardType;
    const std::pair<QWidget*, bool> machines[] = {
        {form_->FindPage<orvan::pages::TPagePelta>(), type == 0x0500},
        {form_->FindPage<orvan::pages::TPageMultiHead>(), type == 0x0800},
        {form_->FindPage<orvan::pages::TPageDiameter>(), type == 0x0800},
        {form_->FindPage<orvan::pages::TPageFlanging>(), type == 0x0A00},
    };
    for (const auto& [page, served] : machines)
        EXPECT_EQ(tabs.isTabVisible(tabs.indexOf(page)), served)
            << tabs.tabText(tabs.indexOf(page)).toStdString();
    // On a 1024-pixel screen the window frame and the page's margins leave
    // the tab strip about 975.
    EXPECT_LE(tabs.tabBar()->sizeHint().width(), 975);
}

INSTANTIATE_TEST_SUITE_P(Machines, FieldPassWindow,
                         ::testing::Values("source", "source-2.1", "pelta", "multihead",
                                           "flanging"),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (c == '-' || c == '.') c = '_';
                             return n;
                         });

// "Get m,q" of the power meter draws its line through the two points, on
// axes whose ends are where the picture's scale says.
TEST(PowerMeterPicture, FitDrawsTheLineOnTheScale) {
    QTemporaryDir dir;
    TInProcessBoard board;
    TStartOptions o;
    o.settingsDirectory = dir.path().toStdString() + "/";
    o.keepSettingsFile = true;
    board.Connect(o);
    TMainForm form(o);
    orvan::test::TRecordingDialogs dialogs;
    form.SetDialogs(&dialogs);
    form.FormActivate();
    auto& page = *form.FindPage<orvan::pages::TPageWelderCfg>();
    using orvan::pages::TResponsePicture;
    const int h = TResponsePicture::kHeight;
    EXPECT_EQ(TResponsePicture::At(0, 0), QPoint(50, h - 30));
    EXPECT_EQ(TResponsePicture::At(10, 100), QPoint(305, h - 230));
    EXPECT_FALSE(page.imgPowerMeter->HasLine());
    page.edtPMx1->setText(QStringLiteral("1"));
    page.edtPMx2->setText(QStringLiteral("4"));
    page.edtPMy1->setText(QStringLiteral("x"));  // refused: no line
    page.edtPMy2->setText(QStringLiteral("80"));
    page.btnPMGenCoeff->click();
    EXPECT_FALSE(page.imgPowerMeter->HasLine());
    EXPECT_EQ(dialogs.messages.size(), 1u);
    page.edtPMy1->setText(QStringLiteral("10"));
    page.btnPMGenCoeff->click();
    EXPECT_TRUE(page.imgPowerMeter->HasLine());
    EXPECT_EQ(dialogs.messages.size(), 1u);
    // The temperature sensor's two-point inputs exist, hidden.
    for (QWidget* w :
         std::initializer_list<QWidget*>{page.edtTempx1, page.edtTempx2, page.edtTempy1,
                                         page.edtTempy2, page.btnGetTempVmin, page.btnGetTempVmax})
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
}

// The typed forms a technician meets: the transmit log's bytes (with or
// without the ending zero and the log line's head), and the line's bytes.
TEST(TypedFrame, ReadsEveryFormTheLineDebugPageShows) {
    struct Row {
        const char* text;
        std::uint32_t protocol;
        std::uint8_t type;
        Bytes payload;
    };
    const Row rows[] = {
        {"0B 00 00 0B", 0x020209, 0x0B, {0x00, 0x00}},
        {"0B00000B00", 0x020209, 0x0B, {0x00, 0x00}},
        {"[ 12 09/12/26 10:00:00 ] 0B 02 00 09 00 ", 0x020209, 0x0B, {0x02, 0x00}},
        // On the line: prefix, COBS, zero.
        {"43 4F 42 53 03 0B 01 02 0A 00", 0x020209, 0x0B, {0x01, 0x00}},
        // Protocol 2.1.0 carries the security code; it is taken off (the
        // engine adds it again).
        {"01 19 2D 7E 4B 02 00 AA BB 13", 0x020100, 0x01, {0x02, 0x00, 0xAA, 0xBB}},
    };
    for (const Row& r : rows) {
        orvan::features::TTypedFrame f;
        const orvan::TResult ok = orvan::features::ParseTypedFrame(r.text, r.protocol, f);
        ASSERT_TRUE(ok) << r.text << ": " << ok.why;
        EXPECT_EQ(f.type, r.type) << r.text;
        EXPECT_EQ(f.payload, r.payload) << r.text;
        EXPECT_FALSE(f.meaning.empty());
    }
}

}  // namespace
