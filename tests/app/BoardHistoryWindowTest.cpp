// "Board history...": boards, a board's timeline, two configurations field
// by field with their units, and "Restore this" handing back the exact image
// of the record and the board it came from.

#include <gtest/gtest.h>

#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "app/BoardHistoryDialog.h"
#include "support/TempDir.h"

using namespace orvan;

TEST(BoardHistoryWindow, ShowsTimelineDifferencesAndRestoresTheExactImage) {
    test::TempDir dir;
    features::THistory history;
    ASSERT_TRUE(history.Open(dir.File("history.sqlite")));
    std::vector<std::vector<std::uint8_t>> images;
    for (int i = 0; i < 2; ++i) {
        config::TWelderCfgBlank cfg = config::DefaultConfiguration();
        const config::TFieldInfo* f = config::FindField("MinPower");
        f->setRaw(cfg, f->index, 1000 + 234 * i);
        std::vector<std::uint8_t> image(config::kImageSize);
        config::BuildDeviceImage(cfg, image.data());
        images.push_back(image);
        features::TOperationOutcome o;
        o.operation = "Configuration read";
        o.kind = features::TOutcomeKind::Completed;
        features::THistoryFacts facts;
        facts.serial = "W-1";
        facts.snapshots = {{"read", image}};
        ASSERT_EQ(history.RecordOutcome(o, facts, 1000 + i), "");
    }
    std::array<std::uint8_t, config::kImageSize> restored{};
    std::string restoredFrom;
    app::TBoardHistoryDialog dialog(history, [&](const auto& image, const std::string& serial) {
        restored = image;
        restoredFrom = serial;
    });
    ASSERT_EQ(dialog.Boards()->rowCount(), 1);
    EXPECT_EQ(dialog.Boards()->item(0, 0)->text(), QStringLiteral("W-1"));
    // Opened on the board seen last, its timeline shown at once.
    ASSERT_EQ(dialog.Timeline()->rowCount(), 2);
    // Newest first: row 0 is the second read.
    dialog.Timeline()->selectAll();
    ASSERT_EQ(dialog.Differences()->rowCount(), 1);
    EXPECT_EQ(dialog.Differences()->item(0, 1)->text(), QStringLiteral("MinPower"));
    EXPECT_FALSE(dialog.Differences()->item(0, 4)->text().isEmpty());
    EXPECT_TRUE(dialog.Differences()->item(0, 2)->text().contains(QStringLiteral("(1000)")));
    EXPECT_TRUE(dialog.Differences()->item(0, 3)->text().contains(QStringLiteral("(1234)")));
    EXPECT_FALSE(dialog.RestoreButton()->isEnabled());

    dialog.Timeline()->clearSelection();
    dialog.Timeline()->selectRow(1);  // the first read
    ASSERT_TRUE(dialog.RestoreButton()->isEnabled());
    dialog.RestoreButton()->click();
    EXPECT_EQ(restoredFrom, "W-1");
    EXPECT_TRUE(std::equal(restored.begin(), restored.end(), images[0].begin()));
}
