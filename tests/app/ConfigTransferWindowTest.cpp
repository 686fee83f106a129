// The window's configuration commands through their handlers: write, read and
// verify against the simulated board, ".wcf" open and save, and the backups.
// Dialogs are answered by a recording fake.

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "FormTestSupport.h"
#include "RecordingDialogs.h"
#include "app/MainForm.h"
#include "config/Cfgwelder.h"
#include "features/ConfigBackups.h"
#include "pages/PageWelderCfg.h"
#include "support/TempDir.h"

using namespace orvan::app;
using orvan::pages::TPageWelderCfg;

namespace {

using orvan::test::ReadText;
using orvan::test::WriteText;

// The caption of an outcome the core gives none of its own.
const std::string kTitle = std::string(kApplicationTitle) + " | ";

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class ConfigTransferWindow : public ::testing::Test {
  protected:
    std::string Dir() const { return dir_.path().toStdString() + "/"; }
    std::string Backups() const { return Dir() + "backups"; }

    std::unique_ptr<TMainForm> Start(TStartOptions o = {}) {
        o.settingsDirectory = Dir();
        o.backupDirectory = Backups();
        o.keepSettingsFile = true;
        auto f = std::make_unique<TMainForm>(o);
        f->SetDialogs(&dialogs);
        f->FormActivate();
        form_ = f.get();
        return f;
    }

    // A window on the simulated board in memory, stepped on the manual clock.
    std::unique_ptr<TMainForm> StartSimulated() {
        TStartOptions o;
        board_ = std::make_unique<TInProcessBoard>();
        board_->Connect(o);
        return Start(o);
    }
    // Steps the exchange until done() holds.
    bool Step(const std::function<bool()>& done) { return StepUntil(*form_, board_->clock, done); }
    // Steps until one more message came (the end of a transfer).
    bool AwaitMessage(std::size_t before) {
        return Step([&] { return messages.size() > before; });
    }
    bool Busy() const { return form_->Core()->Operations().Busy(); }

    // As typed by the user: the cell is marked edited.
    static void EditCell(QTableWidget* g, int col, int row, const char* text) {
        TPageWelderCfg::SetCell(g, col, row, QString::fromLatin1(text));
    }
    static std::string CellText(QTableWidget* g, int col, int row) {
        return TPageWelderCfg::Cell(g, col, row).toStdString();
    }

    QTemporaryDir dir_;
    std::unique_ptr<TInProcessBoard> board_;
    TMainForm* form_ = nullptr;
    orvan::test::TRecordingDialogs dialogs;
    std::vector<std::string>& messages = dialogs.messages;
    std::vector<std::string>& questions = dialogs.questions;
    std::vector<TFileRequest>& requests = dialogs.requests;
    std::vector<orvan::pages::TDifferenceRow>& differences = dialogs.differences;
    std::string& chosen = dialogs.chosen;
    bool& answer = dialogs.answer;
};

TEST_F(ConfigTransferWindow, WriteThenReadThroughTheMenusGivesTheSameValues) {
    auto f = StartSimulated();
    auto* cfg = f->FindPage<orvan::pages::TPageWelderCfg>();
    const auto held = board_->model.Eeprom();
    f->FileNew();
    EditCell(cfg->StrGridAnOffsetAverage, 1, 1, "17");
    EditCell(cfg->StrGridAnOffsetAverage, 1, 3, "200");
    EditCell(cfg->StrGridPIDSetting, 1, 0, "1234");
    ASSERT_TRUE(cfg->HasUnwrittenEdits());

    QString marksAtEnd;
    dialogs.whileQuestion = [&](const QString&, const QString&) { marksAtEnd = f->PanelText(1); };
    f->ConfigDownloadClick();
    EXPECT_TRUE(Busy());
    EXPECT_TRUE(f->cgaTransfer->isVisibleTo(f.get()));
    ASSERT_TRUE(Step([&] { return !questions.empty(); })) << "the write ends with an offer";
    // One outcome, in the core's words, naming the backup it kept first.
    const auto backups = orvan::features::ListBackups(Backups());
    ASSERT_EQ(backups.size(), 1u);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], kTitle +
                               "Configuration written to the board: 24 of 24 blocks. Backup of "
                               "the previous configuration: " +
                               backups[0].path);
    // The backup's exact image is what the board held before the write.
    const std::string exact = ReadText(orvan::features::BackupImagePath(backups[0].path));
    ASSERT_EQ(exact.size(), 384u);
    EXPECT_TRUE(
        std::equal(exact.begin(), exact.end(), held.begin() + 16,
                   [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; }));
    EXPECT_TRUE(Has(questions[0], "Read the board back now")) << questions[0];
    EXPECT_EQ(marksAtEnd, QString(24, QLatin1Char('|')));
    EXPECT_FALSE(cfg->HasUnwrittenEdits());
    EXPECT_FALSE(f->Session()->downloadActive);
    // The verification offered (and accepted) finds nothing to list.
    ASSERT_TRUE(AwaitMessage(1));
    EXPECT_EQ(messages.back(),
              kTitle + "The configuration on the board is identical to the one on the PC.");
    EXPECT_TRUE(differences.empty());

    // Other values on the pages, then the board's read over them.
    f->FileNew();
    ASSERT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 1), "0");
    EditCell(cfg->StrGridAnOffsetAverage, 1, 2, "5");
    answer = false;
    f->ConfigUploadClick();
    EXPECT_FALSE(Busy()) << "the edits were not given up";
    answer = true;
    const std::size_t asked = questions.size();
    f->PgcMain->setCurrentIndex(0);
    f->ConfigUploadClick();
    EXPECT_EQ(questions.size(), asked + 1);
    EXPECT_EQ(f->PgcMain->currentWidget(), cfg);
    const std::size_t before = messages.size();
    ASSERT_TRUE(AwaitMessage(before));
    EXPECT_EQ(messages.back(), kTitle + "Configuration read from the board: 12 of 12 blocks.");
    EXPECT_EQ(f->PanelText(1), QString(24, QLatin1Char('|')));
    EXPECT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 1), "17");
    EXPECT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 2), "0");
    EXPECT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 3), "200");
    EXPECT_EQ(CellText(cfg->StrGridPIDSetting, 1, 0), "1234");
    EXPECT_EQ(f->Record()->GetVersion(), 3);
    EXPECT_TRUE(f->ConfigLoaded());
    EXPECT_FALSE(cfg->HasUnwrittenEdits());
    EXPECT_FALSE(f->cgaTransfer->isVisibleTo(f.get()));
}

TEST_F(ConfigTransferWindow, RefusedBlockStopsTheWriteAndThePagesKeepTheirValues) {
    auto f = StartSimulated();
    auto* cfg = f->FindPage<orvan::pages::TPageWelderCfg>();
    f->FileNew();
    EditCell(cfg->StrGridAnOffsetAverage, 1, 4, "33");
    board_->WithModel([](orvan::sim::TBoardModel& m, orvan::sim::BoardFaults&) {
        orvan::sim::ForcedError e;
        e.code = 10;
        e.remaining = 1;
        e.type = 0x01;  // WriteMemory
        e.after = 5;
        m.ForceError(e);
    });
    f->ConfigDownloadClick();
    // The refusal box first, then how the write ended.
    ASSERT_TRUE(Step([&] { return messages.size() >= 2; }));
    EXPECT_TRUE(Has(messages[0], "Comunication error! | EEPROM previous writing")) << messages[0];
    const std::string& end = messages[1];
    EXPECT_EQ(end.rfind(kTitle + "Write stopped at block 6 of 24", 0), 0u) << end;
    EXPECT_TRUE(Has(end, "EEPROM previous writing in course")) << end;
    EXPECT_TRUE(questions.empty()) << "no verification offered after a stopped write";
    EXPECT_EQ(f->PanelText(1), QString(5, QLatin1Char('|')));
    EXPECT_FALSE(f->Session()->downloadActive);
    EXPECT_FALSE(Busy());
    // The backup read before the write filled nothing: the pages are as typed,
    // and still marked as not written.
    EXPECT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 4), "33");
    EXPECT_TRUE(cfg->HasUnwrittenEdits());
    EXPECT_FALSE(f->cgaTransfer->isVisibleTo(f.get()));
}

TEST_F(ConfigTransferWindow, ReadFillsThePagesOnlyWhenItCompletes) {
    auto f = StartSimulated();
    auto* cfg = f->FindPage<orvan::pages::TPageWelderCfg>();
    board_->WithModel([](orvan::sim::TBoardModel& m, orvan::sim::BoardFaults&) {
        orvan::sim::ForcedError e;
        e.code = 7;
        e.values = {16 + 32 * 4};
        e.remaining = 1;
        e.type = 0x02;  // ReadMemory: after the serial number and four blocks
        e.after = 5;
        m.ForceError(e);
    });
    f->ConfigUploadClick();
    ASSERT_TRUE(Step([&] { return messages.size() >= 2; }));
    EXPECT_EQ(messages[1].rfind(kTitle, 0), 0u) << messages[1];
    EXPECT_TRUE(Has(messages[1], "block 5 of 12")) << messages[1];
    EXPECT_TRUE(Has(messages[1], "Invalid EEPROM address: 144")) << messages[1];
    EXPECT_EQ(f->PanelText(1), QString(8, QLatin1Char('|')));
    EXPECT_FALSE(f->ConfigLoaded());
    EXPECT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 1), "");
    EXPECT_EQ(CellText(cfg->StrGridAnalogOut, 1, 3), "");
}

TEST_F(ConfigTransferWindow, DamagedImageIsShownWithAWarningAndVerifyListsLaterChanges) {
    auto f = StartSimulated();
    auto* cfg = f->FindPage<orvan::pages::TPageWelderCfg>();
    // ADCOffset_4 changed behind the checksum's back.
    board_->WithModel(
        [](orvan::sim::TBoardModel& m, orvan::sim::BoardFaults&) { m.Eeprom()[16 + 22] = 99; });
    f->VerifyPCTarget1Click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "Attenzione! | Leggere la configurazione prima di eseguire questa operazione");
    f->ConfigUploadClick();
    ASSERT_TRUE(AwaitMessage(1));
    EXPECT_EQ(messages[1].rfind(kTitle + "Configuration read from the board", 0), 0u)
        << messages[1];
    EXPECT_TRUE(Has(messages[1], "damaged")) << messages[1];
    EXPECT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 5), "99") << "what was read is shown";
    EXPECT_TRUE(f->ConfigLoaded());
    // The read ends with the tuning log that follows it: nothing runs on.
    EXPECT_FALSE(f->Session()->ChainRunning());
    EXPECT_FALSE(f->Core()->Operations().Busy());

    // Changed on the board after the read: MinPower and ADCOffset_0.
    board_->WithModel([](orvan::sim::TBoardModel& m, orvan::sim::BoardFaults&) {
        m.Eeprom()[16 + 6] = 0x00;
        m.Eeprom()[16 + 7] = 0x10;
        m.Eeprom()[16 + 18] = 44;
    });
    const std::string pcOffset0 = CellText(cfg->StrGridAnOffsetAverage, 1, 1);
    const std::size_t shown = messages.size();
    f->VerifyPCTarget1Click();
    ASSERT_TRUE(Step([&] { return messages.size() > shown; }));
    // The outcome in the core's words, the board's damaged image said once
    // more beneath it, and the table of the fields beside it.
    const std::string& said = messages.back();
    EXPECT_EQ(
        said.rfind(kTitle + "2 fields differ between the PC and the board.\n\nThe configuration "
                            "image on the board is damaged",
                   0),
        0u)
        << said;
    EXPECT_EQ(said.find("fields differ"), said.rfind("fields differ")) << "said once: " << said;
    std::vector<std::string> keys;
    for (const auto& d : differences) keys.push_back(d.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"MinPower", "ADCOffset_0"}));
    // Where the pages show each field, the values as they show them with
    // their unit, and the raw values apart.
    const auto& rows = differences;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].where,
              "Welder CFG > Gestione ingressi > Ingressi analogici > Foto diodo, Offset");
    EXPECT_EQ(rows[1].pc.toStdString(), pcOffset0);
    EXPECT_EQ(rows[1].board, "44");
    EXPECT_EQ(rows[1].boardRaw, "44");
    EXPECT_EQ(rows[0].where, "Welder CFG > Gestione potenza > Uscita analogica > Corrente minima");
    EXPECT_TRUE(rows[0].board.endsWith(" A")) << rows[0].board.toStdString();
    EXPECT_FALSE(rows[0].board.contains(QStringLiteral("4096")))
        << "no raw count among the amperes";
    EXPECT_EQ(rows[0].boardRaw, "4096");
    EXPECT_EQ(rows[0].pcRaw.toInt(), f->Record()->GetMinPower());
    EXPECT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 1), pcOffset0) << "verify leaves the pages";
}

TEST_F(ConfigTransferWindow, OpenAndSaveRoundTrip) {
    auto f = Start();
    auto* cfg = f->FindPage<orvan::pages::TPageWelderCfg>();
    f->FileNew();
    EditCell(cfg->StrGridAnOffsetAverage, 1, 2, "71");
    EditCell(cfg->StrGridTemperature, 1, 6, "abc");

    // A cell that does not convert: nothing is written.
    chosen = Dir() + "a";
    f->FileSaveAs();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(requests[0].filters,
              QStringList({"File configurazione (*.wcf)", "File log (*.log)"}));
    EXPECT_EQ(requests[0].filterIndex, 1);
    EXPECT_EQ(requests[0].defaultSuffix, "wcf");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(Has(messages[0], "abc")) << messages[0];
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Dir() + "a.wcf")));

    EditCell(cfg->StrGridTemperature, 1, 6, CellText(cfg->StrGridTemperature, 1, 7).c_str());
    f->FileSaveAs();
    EXPECT_EQ(messages.size(), 1u) << messages.back();
    ASSERT_TRUE(QFile::exists(QString::fromStdString(Dir() + "a.wcf")));
    EXPECT_EQ(f->CurrentFile().toStdString(), Dir() + "a.wcf");
    EXPECT_FALSE(cfg->HasUnwrittenEdits());
    EXPECT_TRUE(Has(ReadText(Dir() + "a.wcf"), "ADCOffset_1=71"));

    // "&Save" goes to the same file without a dialog.
    EditCell(cfg->StrGridAnOffsetAverage, 1, 2, "72");
    f->FileSave();
    EXPECT_EQ(requests.size(), 2u);
    EXPECT_TRUE(Has(ReadText(Dir() + "a.wcf"), "ADCOffset_1=72"));

    // Opened over other values.
    f->FileNew();
    ASSERT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 2), "0");
    chosen = Dir() + "a.wcf";
    f->FileOpen();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_FALSE(requests[2].save);
    EXPECT_EQ(requests[2].filters, QStringList({"File di configurazione (*.wcf)"}));
    EXPECT_EQ(requests[2].filterIndex, 1);
    EXPECT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 2), "72");
    EXPECT_TRUE(f->ConfigLoaded());

    // A file with an old version is saved with the version of the image.
    WriteText(Dir() + "v2.wcf",
              std::string(ReadText(Dir() + "a.wcf"))
                  .replace(ReadText(Dir() + "a.wcf").find("Version=3"), 9, "Version=2"));
    chosen = Dir() + "v2.wcf";
    f->FileOpen();
    EXPECT_EQ(f->Record()->GetVersion(), 2);
    f->FileSave();
    EXPECT_TRUE(Has(ReadText(Dir() + "v2.wcf"), "Version=3"));
    EXPECT_EQ(f->PanelText(2), "Cfg V.3");

    // Cancel does nothing; a file that is no configuration is refused and
    // the pages stay.
    const std::size_t shown = messages.size();
    chosen.clear();
    f->FileOpen();
    f->FileSaveAs();
    EXPECT_EQ(messages.size(), shown);
    WriteText(Dir() + "junk.wcf", "nothing of ours\n");
    chosen = Dir() + "junk.wcf";
    f->FileOpen();
    ASSERT_EQ(messages.size(), shown + 1);
    EXPECT_TRUE(Has(messages.back(), "junk.wcf")) << messages.back();
    EXPECT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 2), "72");

    // A save that cannot be done names the file.
    chosen = Dir() + "missing/b.wcf";
    f->FileSaveAs();
    ASSERT_EQ(messages.size(), shown + 2);
    EXPECT_TRUE(Has(messages.back(), Dir() + "missing/b.wcf")) << messages.back();

    // Unwritten edits are not dropped unasked by New or Open.
    EditCell(cfg->StrGridAnOffsetAverage, 1, 2, "9");
    answer = false;
    f->FileNew();
    chosen = Dir() + "a.wcf";
    f->FileOpen();
    EXPECT_EQ(questions.size(), 2u);
    EXPECT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 2), "9");
}

TEST_F(ConfigTransferWindow, ALimitedValueIsSavedAndShownAsStored) {
    auto f = Start();
    auto* cfg = f->FindPage<orvan::pages::TPageWelderCfg>();
    f->FileNew();
    EditCell(cfg->StrGridAnOffsetAverage, 1, 1, "300");
    chosen = Dir() + "limited.wcf";
    f->FileSaveAs();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(Has(messages[0], "Foto diodo, Offset: 300 typed, 255 stored")) << messages[0];
    EXPECT_TRUE(Has(ReadText(Dir() + "limited.wcf"), "ADCOffset_0=255"));
    EXPECT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 1), "255") << "the page shows the file";
    EXPECT_FALSE(cfg->HasUnwrittenEdits());
}

TEST_F(ConfigTransferWindow, SaveAsksBeforeReplacingAnotherKindOfFile) {
    auto f = Start();
    f->FileNew();
    const std::string wcf = Dir() + "x.wcf", log = Dir() + "t.wcf";
    WriteText(wcf, "[ANALOG_INPUT]\nADCOffset_0=5\n");
    WriteText(log, "Velkor Laser technology\ntuning log\n");
    struct Row {
        std::string chosen, target;
        bool answer, replaced;
    };
    const Row rows[] = {
        {Dir() + "x.log", wcf, false, false},  // a ".log" name: the configuration goes to x.wcf
        {Dir() + "x.log", wcf, true, true},
        {log, log, false, false},  // a tuning log under a ".wcf" name
        {log, log, true, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.chosen + (r.answer ? " yes" : " no"));
        const std::string before = ReadText(r.target);
        const std::size_t asked = questions.size();
        chosen = r.chosen;
        answer = r.answer;
        f->FileSaveAs();
        ASSERT_EQ(questions.size(), asked + 1);
        EXPECT_TRUE(Has(questions.back(), r.target)) << questions.back();
        EXPECT_EQ(ReadText(r.target) != before, r.replaced);
        EXPECT_FALSE(QFile::exists(QString::fromStdString(Dir() + "x.log.wcf")));
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Dir() + "x.log")));
}

TEST_F(ConfigTransferWindow, BackupsAreListedNewestFirstAndRestoredAsUnwritten) {
    auto f = Start();
    auto* cfg = f->FindPage<orvan::pages::TPageWelderCfg>();
    orvan::config::TWelderCfgBlank older = orvan::config::DefaultConfiguration();
    orvan::config::TWelderCfgBlank newer = older;
    const auto* offset = orvan::config::FindField("ADCOffset_2");
    ASSERT_NE(offset, nullptr);
    offset->setRaw(older, offset->index, 11);
    offset->setRaw(newer, offset->index, 22);
    const auto t0 = orvan::features::TBackupClock::from_time_t(1796703540);
    ASSERT_TRUE(orvan::features::SaveBackup(Backups(), "SIM-000001", older, t0));
    ASSERT_TRUE(
        orvan::features::SaveBackup(Backups(), "SIM-000001", newer, t0 + std::chrono::hours(1)));

    dialogs.backupPick = 1;
    f->FileNew();
    EditCell(cfg->StrGridAnOffsetAverage, 1, 1, "4");
    answer = false;
    f->FileBackups();
    ASSERT_EQ(dialogs.backupLists.size(), 1u);
    const auto& listed = dialogs.backupLists[0];
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].timeText, "2026-12-08 05:19:00 UTC");
    EXPECT_EQ(listed[1].timeText, "2026-12-08 04:19:00 UTC");
    EXPECT_EQ(listed[0].serial, "SIM-000001");
    EXPECT_EQ(questions.size(), 1u) << "asked over the edit";
    EXPECT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 3), "0") << "refused: nothing restored";

    answer = true;
    f->FileBackups();
    EXPECT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 3), "11") << "the older one, as chosen";
    EXPECT_TRUE(Has(messages.back(), "04:19:00")) << messages.back();
    EXPECT_TRUE(cfg->HasUnwrittenEdits());
    EXPECT_GT(cfg->UnwrittenEditCount(), 50)
        << "every value is still to be written, not only the one that differs";

    dialogs.backupPick = -1;
    f->FileBackups();
    EXPECT_EQ(CellText(cfg->StrGridAnOffsetAverage, 1, 3), "11");
}

TEST_F(ConfigTransferWindow, ExitDuringAWriteAsksAndThenSaysWhatTheBoardHolds) {
    auto f = StartSimulated();
    f->FileNew();
    f->ConfigDownloadClick();
    const auto marks = [&](int n) {
        return f->PanelText(1).startsWith(QString(n, QLatin1Char('|')));
    };
    ASSERT_TRUE(Step([&] { return marks(3); }));
    answer = false;
    EXPECT_FALSE(f->close());
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_TRUE(Has(questions[0], "A write to the board is running")) << questions[0];
    EXPECT_TRUE(Busy()) << "kept running";
    ASSERT_TRUE(Step([&] { return marks(5); }));
    answer = true;
    EXPECT_TRUE(f->close());
    EXPECT_TRUE(f->Closed());
    ASSERT_EQ(messages.size(), 1u) << "one account, and no outcome told twice";
    const std::string& said = messages.back();
    EXPECT_EQ(said.rfind("Attenzione! | Write stopped at block ", 0), 0u) << said;
    EXPECT_TRUE(Has(said, "holds blocks 1 to ")) << said;
    EXPECT_TRUE(Has(said, "the program was closed")) << said;
    const auto backups = orvan::features::ListBackups(Backups());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(Has(said, backups[0].path)) << said;
    // The blocks it names as new are on the board, the rest as it held them.
    const std::size_t at = said.find("holds blocks 1 to ") + 18;
    const int k = std::stoi(said.substr(at));
    ASSERT_GE(k, 5);
    ASSERT_LT(k, 24);
    const auto eeprom = board_->model.Eeprom();
    std::array<std::uint8_t, 384> written{};
    orvan::config::TCfgWelderRW defaults(orvan::config::DefaultConfiguration());
    orvan::config::BuildDeviceImage(defaults, written.data());
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + 16 * k, eeprom.begin() + 16));
    const std::string exact = ReadText(orvan::features::BackupImagePath(backups[0].path));
    EXPECT_TRUE(
        std::equal(eeprom.begin() + 16 + 16 * k, eeprom.begin() + 400, exact.begin() + 16 * k,
                   [](std::uint8_t b, char c) { return static_cast<std::uint8_t>(c) == b; }));
}

TEST_F(ConfigTransferWindow, AWriteThatEndsWhileExitIsAskedIsToldAfterTheAnswer) {
    // The exchange goes on under the question; what ended meanwhile is told
    // once, after the answer, and its follow-up (the verify offer) only when
    // the window stays.
    for (const bool close : {true, false}) {
        SCOPED_TRACE(close ? "closed" : "kept open");
        auto f = StartSimulated();
        f->FileNew();
        f->ConfigDownloadClick();
        ASSERT_TRUE(Step([&] { return f->PanelText(1).startsWith(QStringLiteral("|||")); }));
        answer = close;
        bool ended = false;
        dialogs.whileQuestion = [&](const QString&, const QString&) {
            dialogs.whileQuestion = nullptr;
            ended = Step([&] { return !Busy(); });
            EXPECT_TRUE(messages.empty()) << "nothing told under the question";
        };
        EXPECT_EQ(f->close(), close);
        EXPECT_TRUE(ended);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(Has(messages[0], "Configuration written to the board: 24 of 24 blocks"))
            << messages[0];
        ASSERT_EQ(questions.size(), close ? 1u : 2u);
        if (!close) {
            EXPECT_TRUE(Has(questions[1], "Read the board back now")) << questions[1];
            f->close();
        }
        messages.clear();
        questions.clear();
        dialogs.whileQuestion = nullptr;
    }
}

TEST_F(ConfigTransferWindow, ABoardOfAnotherLayoutIsWrittenOnlyOnceAccepted) {
    auto f = StartSimulated();
    board_->WithModel([](orvan::sim::TBoardModel& m, orvan::sim::BoardFaults&) {
        orvan::sim::SetImageFiller(m.Eeprom(), 0x5A);
        orvan::sim::SetImageLayout(m.Eeprom(), 2, 128);
    });
    std::array<std::uint8_t, 1024> original{};
    board_->WithModel(
        [&](orvan::sim::TBoardModel& m, orvan::sim::BoardFaults&) { original = m.Eeprom(); });
    f->FileNew();
    answer = false;
    f->ConfigDownloadClick();
    ASSERT_TRUE(Step([&] { return !questions.empty(); }));
    EXPECT_TRUE(Has(questions[0], "another layout (Version 2, Size 128")) << questions[0];
    ASSERT_TRUE(Step([&] { return !Busy() && !messages.empty(); }));
    EXPECT_TRUE(Has(messages.back(), "not confirmed: nothing was written")) << messages.back();
    board_->WithModel([&](orvan::sim::TBoardModel& m, orvan::sim::BoardFaults&) {
        EXPECT_EQ(m.Eeprom(), original) << "nothing written when refused";
    });
    questions.clear();
    messages.clear();
    answer = true;  // accepted now, and the verification after it too
    f->ConfigDownloadClick();
    ASSERT_TRUE(Step([&] { return questions.size() >= 2; }));
    ASSERT_FALSE(messages.empty());
    EXPECT_TRUE(Has(messages[0], "Configuration written to the board")) << messages[0];
    ASSERT_TRUE(Step([&] { return Settled(*f) && messages.size() >= 2; }));

    // The backup restores the board byte for byte through the window.
    dialogs.backupPick = 0;
    f->FileBackups();
    questions.clear();
    messages.clear();
    f->ConfigDownloadClick();
    ASSERT_TRUE(Step([&] { return !questions.empty(); }));
    ASSERT_TRUE(Step([&] { return Settled(*f) && messages.size() >= 2; }));
    EXPECT_TRUE(Has(messages[0], "Configuration written to the board")) << messages[0];
    board_->WithModel([&](orvan::sim::TBoardModel& m, orvan::sim::BoardFaults&) {
        EXPECT_TRUE(
            std::equal(m.Eeprom().begin() + 16, m.Eeprom().begin() + 400, original.begin() + 16))
            << "the board's exact bytes are back";
    });
}

}  // namespace
