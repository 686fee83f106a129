// "&Help" on the in-memory window: the manual is built in and shown, its
// search finds sections, About names the release, the board's versions once
// it answered, and the libraries' licences.

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/HelpBrowser.h"
#include "app/MainForm.h"
#include "link/Version.h"

using namespace orvan::app;

namespace {

class HelpWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        TStartOptions o;
        o.settingsDirectory = dir_.path().toStdString() + "/";
        o.keepSettingsFile = true;
        board_.Connect(o);
        form_ = std::make_unique<TMainForm>(o);
        form_->SetDialogs(&dialogs);
        form_->FormActivate();
    }
    QTemporaryDir dir_;
    TInProcessBoard board_;
    orvan::test::TRecordingDialogs dialogs;
    std::unique_ptr<TMainForm> form_;
};

TEST(ManualSearch, SectionsHoldingEveryWord) {
    const QString md = QStringLiteral(
        "# Manual\nintro\n"
        "## Connecting a board\nUse /dev/ttyUSB0 and the group dialout.\n"
        "## Troubleshooting\n### Time-outs\nRX TimeOut means no answer.\n"
        "```\n# not a heading, dialout\n```\n"
        "### Wrong `speed`\nThe speed menu.\n");
    struct Row {
        const char* query;
        QStringList sections;
    } rows[] = {
        {"dialout", {QStringLiteral("Connecting a board"), QStringLiteral("Time-outs")}},
        {"DIALOUT ttyusb0", {QStringLiteral("Connecting a board")}},
        {"timeout answer", {QStringLiteral("Time-outs")}},
        {"speed", {QStringLiteral("Wrong speed")}},
        {"  ", {}},
        {"nowhere", {}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(SectionsMatching(md, QString::fromLatin1(r.query)), r.sections) << r.query;
}

TEST_F(HelpWindow, ContentsShowTheBuiltInManualWithItsPictures) {
    const QString text = ManualText();
    ASSERT_FALSE(text.isEmpty()) << "the manual is not in the program's resources";
    for (QAction* a : form_->HelpItems) EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    form_->HelpItems.at(0)->trigger();
    THelpBrowser* help = form_->HelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    const QString shown = help->Browser()->toPlainText();
    EXPECT_TRUE(shown.contains(QStringLiteral("Connecting a board")));
    // Every picture the manual names is inside the program.
    static const QRegularExpression kPicture(QStringLiteral("\\]\\((manual/[^)]+\\.png)\\)"));
    int pictures = 0;
    for (auto it = kPicture.globalMatch(text); it.hasNext(); ++pictures) {
        const QString path = QStringLiteral(":/orvan/help/") + it.next().captured(1);
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    }
    EXPECT_GE(pictures, 8);
}

TEST_F(HelpWindow, SearchListsSectionsAndSaysWhenNothingHolds) {
    form_->HelpItems.at(1)->trigger();
    THelpBrowser* help = form_->HelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_GT(help->Search(QStringLiteral("dialout")), 0);
    EXPECT_GT(help->Results()->count(), 0);
    EXPECT_TRUE(
        help->Browser()->textCursor().block().text().contains(help->Results()->item(0)->text()));
    EXPECT_EQ(help->Search(QStringLiteral("qwertyuiop")), 0);
    EXPECT_EQ(help->Results()->count(), 0);
    EXPECT_TRUE(help->SearchNote()->text().contains(QStringLiteral("qwertyuiop")));
}

TEST_F(HelpWindow, AboutNamesReleaseBoardAndLicences) {
    form_->HelpItems.at(3)->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const std::string before = dialogs.messages[0];
    EXPECT_NE(before.find(orvan::kProgramVersion), std::string::npos);
    EXPECT_NE(before.find("No board has told its versions"), std::string::npos);
    for (const char* licence :
         {"Lesser General Public License", "IJG", "Runtime Library Exception"})
        EXPECT_NE(before.find(licence), std::string::npos) << licence;

    form_->Act_COMReqHWInfoExecute();
    ASSERT_TRUE(StepUntil(*form_, board_.clock, [&] { return form_->Core()->Idle(); }));
    form_->HelpAboutClick();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    const std::string after = dialogs.messages[1];
    EXPECT_NE(after.find("Board type 0x0100"), std::string::npos) << after;
    EXPECT_NE(after.find("Firmware 1.02.07, protocol 2.02.09"), std::string::npos) << after;
}

TEST_F(HelpWindow, HowToUseHelpExplainsTheSearch) {
    form_->HelpItems.at(2)->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find("Search for Help On"), std::string::npos);
}

}  // namespace
