// Backups: names, the folder, listing newest first, restoring.

#include <gtest/gtest.h>

#include <cstdlib>

#include "TransferRig.h"
#include "features/ConfigBackups.h"
#include "support/TempDir.h"

using namespace orvan;
using features::TBackupClock;

namespace {

TBackupClock::time_point At(std::int64_t t) {
    return TBackupClock::from_time_t(t);
}
constexpr std::int64_t kT0 = 1796703540;  // 2026-12-08 04:19:00 UTC

TEST(Backups, FileNames) {
    struct Row {
        const char* serial;
        std::int64_t t;
        const char* name;
    };
    const Row rows[] = {
        {"SIM-000001", kT0, "SIM-000001_20261208-041900.wcf"},
        {"", kT0 + 61, "unknown_20261208-042001.wcf"},
        {"AB/../c d", kT0, "AB____c_d_20261208-041900.wcf"},
        {"SN_7", 0, "SN_7_19700101-000000.wcf"},
    };
    for (const Row& r : rows) EXPECT_EQ(features::BackupFileName(r.serial, At(r.t)), r.name);
}

TEST(Backups, DefaultFolderFollowsTheDataHome) {
    const char* oldX = std::getenv("XDG_DATA_HOME");
    const char* oldH = std::getenv("HOME");
    const std::string keepX = oldX ? oldX : "", keepH = oldH ? oldH : "";
    setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(features::DefaultBackupDir(), "/data/home/orvan-supervisor/backups");
    setenv("XDG_DATA_HOME", "relative/ignored", 1);
    setenv("HOME", "/home/tech", 1);
    EXPECT_EQ(features::DefaultBackupDir(), "/home/tech/.local/share/orvan-supervisor/backups");
    unsetenv("XDG_DATA_HOME");
    unsetenv("HOME");
    EXPECT_EQ(features::DefaultBackupDir(), "");
    if (oldX) setenv("XDG_DATA_HOME", keepX.c_str(), 1);
    if (oldH) setenv("HOME", keepH.c_str(), 1);
}

TEST(Backups, SavedListedNewestFirstAndRestored) {
    test::TempDir dir;
    const std::string folder = dir.File("deep/er/backups");  // created on the way
    config::TWelderCfgBlank a = config::DefaultConfiguration(), b = a, c = a;
    test::SetRaw(a, "MinPower", 1);
    test::SetRaw(b, "MinPower", 2);
    test::SetRaw(c, "MinPower", 3);
    const auto ra = features::SaveBackup(folder, "SN1", a, At(kT0));
    const auto rb = features::SaveBackup(folder, "SN2", b, At(kT0 + 3600));
    const auto rc = features::SaveBackup(folder, "SN1", c, At(kT0));  // the same second as a
    ASSERT_TRUE(ra && rb && rc) << ra.why << rb.why << rc.why;
    EXPECT_NE(ra.path, rc.path) << "never written over";
    EXPECT_NE(rc.path.find("SN1_20261208-041900-2.wcf"), std::string::npos) << rc.path;
    // Files of other names are not backups.
    test::WriteText(folder + "/notes.wcf", "[INFO]\nVersion=3\n");
    test::WriteText(folder + "/SN1_2026-12-08.wcf", "");
    test::WriteText(folder + "/SN1_20261208-041900.log", "");

    const auto list = features::ListBackups(folder);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].path, rb.path);
    EXPECT_EQ(list[0].serial, "SN2");
    EXPECT_EQ(list[0].timeText, "2026-12-08 05:19:00 UTC");
    EXPECT_EQ(list[1].path, rc.path) << "the later of one second comes first";
    EXPECT_EQ(list[2].path, ra.path);
    EXPECT_EQ(list[2].serial, "SN1");

    config::TCfgWelderRW record;
    ASSERT_TRUE(features::RestoreBackup(list[1].path, record));
    EXPECT_EQ(record.GetMinPower(), 3);
    EXPECT_FALSE(features::RestoreBackup(dir.File("none.wcf"), record));
    EXPECT_EQ(record.GetMinPower(), 3) << "a refused restore leaves the record";
    EXPECT_TRUE(features::ListBackups(dir.File("missing")).empty());
}

TEST(Backups, FolderThatCannotBeMadeIsReported) {
    test::TempDir dir;
    test::WriteText(dir.File("file"), "x");
    const auto r =
        features::SaveBackup(dir.File("file/backups"), "SN", config::TWelderCfgBlank{}, At(kT0));
    EXPECT_FALSE(r);
    EXPECT_NE(r.why.find(dir.File("file/backups")), std::string::npos) << r.why;
    EXPECT_FALSE(features::SaveBackup("", "SN", config::TWelderCfgBlank{}, At(kT0)));
}

}  // namespace
