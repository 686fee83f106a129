// The machine pages through the window on the simulated board in memory,
// started as the board type each page serves: the 16-bit DAC group, "Pelta",
// the multi-head page, the diameter/height page and "Flanging". Typed numbers
// use the Italian decimal comma here, as on the workshop PCs.

#include <gtest/gtest.h>

#include <algorithm>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/MainForm.h"
#include "frames/Frahorizbit.h"
#include "pages/PageDiameter.h"
#include "pages/PageFlanging.h"
#include "pages/PageIOStatus.h"
#include "pages/PageMultiHead.h"
#include "pages/PagePelta.h"

using namespace orvan::app;
using Bytes = std::vector<std::uint8_t>;

namespace {

class VariantWindow : public ::testing::Test {
  protected:
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
    // The window on a board of `type` speaking `protocol`, its identity read.
    void Start(std::uint16_t type, orvan::sim::Version3 protocol = {2, 2, 9}) {
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        board_.model.boardType = type;
        board_.model.protocol = protocol;
        form_ = board_.StartWindow(dir_.path().toStdString(), dialogs);
        ASSERT_TRUE(Idle());
        Sent();
    }
    bool Idle() {
        return StepUntil(*form_, board_.clock, [&] { return Settled(*form_); });
    }
    // Request bodies since the last call.
    std::vector<Bytes> Sent() {
        Idle();
        std::vector<Bytes> r(board_.port.bodies.begin() + static_cast<long>(seen_),
                             board_.port.bodies.end());
        seen_ = board_.port.bodies.size();
        return r;
    }
    static Bytes Rd(std::uint16_t code) {
        return {0x0B, static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(code >> 8)};
    }
    static void Type(QLineEdit* e, const char* text) {
        e->setText(QString::fromUtf8(text));
        emit e->returnPressed();
    }

    QTemporaryDir dir_;
    TInProcessBoard board_;
    orvan::test::TRecordingDialogs dialogs;
    std::unique_ptr<TMainForm> form_;
    std::size_t seen_ = 0;
};

TEST_F(VariantWindow, PeltaPageOnAPeltaBoardOfProtocol222) {
    Start(0x0500, {2, 2, 2});
    orvan::pages::TPagePelta& p = *form_->FindPage<orvan::pages::TPagePelta>();
    EXPECT_TRUE(p.lblNotServed->isHidden());
    EXPECT_EQ(p.EditOf("edtPeltaLaserPulse")->text(), QStringLiteral("1,000"));
    // Exactly 2.2.2: one shot every N, no strobe on/off counts.
    EXPECT_FALSE(p.EditOf("edtPeltaStrobe2Shot")->isHidden());
    EXPECT_TRUE(p.edtPeltaStrobeON->isHidden());
    EXPECT_TRUE(p.EditOf("edtPeltaLaserPulse")->isEnabled());

    p.btnPeltaReadWork->click();
    EXPECT_EQ(Sent(), (std::vector<Bytes>{Rd(0x0700), Rd(0x0701), Rd(0x0709), Rd(0x0708)}));
    EXPECT_EQ(p.EditOf("edtPeltaWork_f")->text(), QStringLiteral("2,50"));
    EXPECT_EQ(p.EditOf("edtPeltaWork_d")->text(), QStringLiteral("15,0"));

    // The arrow steps the number the board answered, whatever the text shows.
    p.EditOf("edtPeltaWork_f")->setText(QStringLiteral("2.5 kHz"));
    p.upDowns["edtPeltaWork_f"]->up->click();
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x0A, 0x00, 0x07, 0x96, 0x00, 0x04, 0x01}}));
    EXPECT_EQ(p.EditOf("edtPeltaWork_f")->text(), QStringLiteral("2,60"));

    Type(p.EditOf("edtPeltaLaserPulse"), "1,5");
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x0A, 0x09, 0x07, 0x05, 0xDC}}));
    Type(p.EditOf("edtPeltaStrobeDelay"), "3");
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x0A, 0x08, 0x07, 0x01, 0x2C}}));

    // Refused before sending: a text that is not a number, a pulse that would wrap.
    Type(p.EditOf("edtPeltaWork_d"), "abc");
    Type(p.EditOf("edtPeltaLaserPulse"), "70");
    EXPECT_TRUE(Sent().empty());
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_NE(dialogs.messages[0].find("Duty cycle: 'abc'"), std::string::npos);
    EXPECT_NE(dialogs.messages[1].find("70 is outside 1..10"), std::string::npos);
    EXPECT_EQ(p.EditOf("edtPeltaLaserPulse")->text(), QStringLiteral("70"));  // kept
}

TEST_F(VariantWindow, PeltaPageOfNewerProtocolKeepsEnterOfTheDelayToItself) {
    Start(0x0500, {2, 2, 9});
    orvan::pages::TPagePelta& p = *form_->FindPage<orvan::pages::TPagePelta>();
    EXPECT_TRUE(p.EditOf("edtPeltaStrobe2Shot")->isHidden());
    EXPECT_FALSE(p.edtPeltaStrobeON->isHidden());
    Type(p.EditOf("edtPeltaStrobeDelay"), "3");
    EXPECT_TRUE(Sent().empty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find("the arrows write it"), std::string::npos);
    p.upDowns["edtPeltaStrobeDelay"]->up->click();
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x0A, 0x08, 0x07, 0x00, 0xC8}}));
}

TEST_F(VariantWindow, PeltaPageOnADiodeSourceSaysSo) {
    Start(0x0100);
    orvan::pages::TPagePelta& p = *form_->FindPage<orvan::pages::TPagePelta>();
    EXPECT_FALSE(p.lblNotServed->isHidden());
    EXPECT_TRUE(p.lblNotServed->text().contains(QStringLiteral("type 0x0100")));
    EXPECT_FALSE(p.btnPeltaReadWork->isEnabled());
    EXPECT_FALSE(form_->FindPage<orvan::pages::TPageFlanging>()->lblNotServed->isHidden());
    EXPECT_FALSE(form_->FindPage<orvan::pages::TPageMultiHead>()->lblNotServed->isHidden());
}

TEST_F(VariantWindow, MultiHeadPageBuildsTheHeadsTheBoardReports) {
    board_.model.Variables()[0x0800].fields = {3};
    Start(0x0800);
    orvan::pages::TPageMultiHead& m = *form_->FindPage<orvan::pages::TPageMultiHead>();
    EXPECT_TRUE(m.lblNotServed->isHidden());
    m.btnMultiHGetHeadNum->click();
    EXPECT_EQ(Sent(), (std::vector<Bytes>{Rd(0x0800), Rd(0x0820), Rd(0x0821)}));
    EXPECT_EQ(m.EditOf("edtMultiHHeadsNum")->text(), QStringLiteral("3"));
    EXPECT_EQ(m.EditOf("edtMultiHFreq")->text(), QStringLiteral("50,00"));
    for (orvan::frames::TfraHorizBit* f :
         {m.fraMultiHHeadsTout, m.fraMultiHErrPos, m.fraMultiHCRCPos}) {
        ASSERT_EQ(f->Count(), 3);
        EXPECT_EQ(f->Label(2)->text(), QStringLiteral("3"));
    }
    m.btnMultiHHeadAnomaly->click();
    EXPECT_EQ(Sent(), (std::vector<Bytes>{Rd(0x0810), Rd(0x0811), Rd(0x0812)}));
    EXPECT_EQ(form_->Core()->MultiHead().timeouts, 2u);

    // A double click on an edit asks for the head count; 40 heads fill 32 indicators.
    board_.model.Variables()[0x0800].fields = {40};
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m.EditOf("edtMultiHFreq"), &dbl);
    EXPECT_EQ(Sent(), (std::vector<Bytes>{Rd(0x0800)}));
    EXPECT_EQ(m.fraMultiHErrPos->Count(), 32);
    EXPECT_TRUE(m.lblNote->text().contains(QStringLiteral("40 heads")));

    m.EditOf("edtMultiHFreq")->setText(QStringLiteral("12,34"));
    m.btnMultiHSetFreq->click();
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x0A, 0x20, 0x08, 0x04, 0xD2}}));
}

TEST_F(VariantWindow, DiameterPageLoadsGetsAndWritesAPoint) {
    Start(0x0800);
    orvan::pages::TPageDiameter& d = *form_->FindPage<orvan::pages::TPageDiameter>();
    d.btnBirLoadCfg->click();
    EXPECT_EQ(Sent(), (std::vector<Bytes>{Rd(0x0900), Rd(0x0901), Rd(0x0902), Rd(0x0903)}));
    EXPECT_EQ(d.EditOf("edtBirHeightMmMax")->text(), QStringLiteral("40"));
    EXPECT_EQ(d.EditOf("edtBirHeightVMax")->text(), QStringLiteral("5,000"));
    // "Get" of the diameter takes the power-set channel's voltage.
    Engine(*form_).session.analogVolts[4] = 2.5;
    d.btnBirGet[2]->click();
    EXPECT_EQ(d.EditOf("edtBirDiamVmax")->text(), QStringLiteral("2,500"));
    d.btnBirWrVar[2]->click();
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x0A, 0x02, 0x09, 0x00, 0x14, 0x01, 0xFF}}));
    d.EditOf("edtBirDiamMmMin")->setText(QStringLiteral("x"));
    d.btnBirWrVar[3]->click();
    EXPECT_TRUE(Sent().empty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find("Diameter min (mm)"), std::string::npos);
}

TEST_F(VariantWindow, FlangingPageWithSixteenProfiles) {
    orvan::sim::SeedFlangingProfiles(board_.model.Eeprom());
    Start(0x0A00);
    orvan::pages::TPageFlanging& f = *form_->FindPage<orvan::pages::TPageFlanging>();
    EXPECT_TRUE(f.lblNotServed->isHidden());
    EXPECT_EQ(f.stgFlangProgiles->rowCount(), 16);
    EXPECT_FALSE(f.btnFlangingDefProf[15]->isHidden());
    EXPECT_EQ(f.lblFlangSpeed->text(), QStringLiteral("Speed (mm/s) (0-31)"));

    f.stgFlangProgiles->cellClicked(0, 0);
    const std::vector<Bytes> reads = Sent();
    EXPECT_EQ(reads, (std::vector<Bytes>{{0x02, 0x00, 32, 32}, {0x02, 0x00, 64, 32}}));
    ASSERT_NE(f.stgFlangProgiles->item(15, 1), nullptr);
    EXPECT_EQ(f.stgFlangProgiles->item(15, 1)->text(), QStringLiteral("8,000"));
    EXPECT_EQ(f.stgFlangProgiles->item(1, 2)->text(), QStringLiteral("0,250"));

    f.btnFlangingDefProf[12]->click();
    EXPECT_EQ(Sent(),
              (std::vector<Bytes>{
                  {0x0A, 0x02, 0x0A, 0x0C}, Rd(0x0A03), Rd(0x0A02), Rd(0x0A01), Rd(0x0A00)}));
    EXPECT_EQ(f.cseFlangingProfile->value(), 12);
    f.udbFlangingJogAmplitude->up->click();
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x21}, Rd(0x0A03)}));
    f.udbFlangingSaveProfile->click();
    const std::vector<Bytes> save = Sent();
    // The profile's four bytes are read twice alike and kept before it is
    // stored; then the table is read again.
    const auto store = std::find(save.begin(), save.end(), Bytes{0x20, 0x0C});
    ASSERT_NE(store, save.end());
    EXPECT_EQ(std::count(save.begin(), store, Bytes{0x02, 0x00, 32 + 4 * 12, 4}), 2);
    EXPECT_EQ(std::vector<Bytes>(store + 1, save.end()),
              (std::vector<Bytes>{{0x02, 0x00, 32, 32}, {0x02, 0x00, 64, 32}}));
    EXPECT_EQ(f.stgFlangProgiles->item(12, 1)->text(), f.EditOf("edtFlangWaveAmplitude")->text());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find("Profile 13 saved"), std::string::npos)
        << dialogs.messages[0];
    dialogs.messages.clear();

    Type(f.EditOf("edtFlangWaveAmplitude"), "5");
    EXPECT_EQ(Sent().size(), 1u);
    f.EditOf("edtFlangSpeed")->setText(QStringLiteral("40"));
    f.btnFlangSpeed->click();
    EXPECT_TRUE(Sent().empty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find("outside 0..31"), std::string::npos);
}

TEST_F(VariantWindow, FlangingPageOfAnEightProfileBoard) {
    Start(0x0C00);
    orvan::pages::TPageFlanging& f = *form_->FindPage<orvan::pages::TPageFlanging>();
    EXPECT_EQ(f.stgFlangProgiles->rowCount(), 8);
    EXPECT_TRUE(f.btnFlangingDefProf[8]->isHidden());
    EXPECT_EQ(f.lblFlangSpeed->text(), QStringLiteral("Speed (mm/s) (0-63)"));
    f.stgFlangProgiles->cellClicked(3, 1);
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x02, 0x00, 32, 32}}));
}

TEST_F(VariantWindow, Dac16GroupForcesAndSetsInVolts) {
    Start(0x0100);
    orvan::pages::TPageIOStatus& io = *form_->FindPage<orvan::pages::TPageIOStatus>();
    EXPECT_FALSE(io.cspDac16->isEnabled());
    io.chkDac16Force->setChecked(true);
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x0A, 0x0B, 0x02, 0x01}, Rd(0x0202)}));
    EXPECT_TRUE(io.cspDac16->isEnabled());
    EXPECT_EQ(io.cspDac16->value(), 32768);
    Type(io.edtDac16ValueVolt, "5");
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x0A, 0x02, 0x02, 0xFF, 0x7F}}));
    EXPECT_EQ(io.cspDac16->value(), 32767);
    Type(io.edtDac16ValueVolt, "-1");
    EXPECT_TRUE(Sent().empty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    io.cspDac16->setValue(1000);
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x0A, 0x02, 0x02, 0xE8, 0x03}}));
    EXPECT_EQ(io.edtDac16ValueVolt->text(), QStringLiteral("0,1526"));
}

}  // namespace
