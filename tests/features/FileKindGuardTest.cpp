// The save guard: a file of another kind is never replaced unasked.

#include <gtest/gtest.h>

#include <filesystem>

#include "config/Cfgwelderrw.h"
#include "features/FileKindGuard.h"
#include "support/TempDir.h"

using namespace orvan;
using features::TFileKind;

namespace {

TEST(FileKindGuard, KindsByContent) {
    test::TempDir dir;
    ASSERT_TRUE(config::TCfgWelderRW(config::DefaultConfiguration()).SaveToFile(dir.File("c.wcf")));
    test::WriteText(dir.File("renamed.log"), test::ReadText(dir.File("c.wcf")));
    test::WriteText(dir.File("t.log"), "Velkor Laser technology\n14/02/2007\n\r\n\r");
    test::WriteText(dir.File("t.wcf"), "Velkor Laser technology\n14/02/2007\n\r\n\r");
    test::WriteText(dir.File("notes.txt"), "[NOTES]\nfoo=1\n");
    test::WriteText(dir.File("empty.wcf"), "");
    std::filesystem::create_directory(dir.File("folder.wcf"));
    const std::pair<const char*, TFileKind> rows[] = {
        {"c.wcf", TFileKind::Configuration}, {"renamed.log", TFileKind::Configuration},
        {"t.log", TFileKind::TuningLog},     {"t.wcf", TFileKind::TuningLog},
        {"notes.txt", TFileKind::Other},     {"empty.wcf", TFileKind::Empty},
        {"folder.wcf", TFileKind::NotAFile}, {"none.wcf", TFileKind::Missing},
    };
    for (const auto& [name, kind] : rows)
        EXPECT_EQ(features::DetectFileKind(dir.File(name)), kind) << name;
}

TEST(FileKindGuard, AsksBeforeReplacingAnotherKind) {
    test::TempDir dir;
    ASSERT_TRUE(config::TCfgWelderRW(config::DefaultConfiguration()).SaveToFile(dir.File("c.wcf")));
    test::WriteText(dir.File("t.log"), "Velkor Laser technology\n14/02/2007\n\r\n\r");
    test::WriteText(dir.File("notes.txt"), "just some text\n");
    test::WriteText(dir.File("notes.wcf"), "just some text\n");
    std::filesystem::create_directory(dir.File("folder.log"));
    struct Row {
        const char* chosen;
        TFileKind saving;
        const char* target;
        bool ask, refuse;
    };
    const Row rows[] = {
        // The tuning log under the configuration's default extension.
        {"c.wcf", TFileKind::TuningLog, "c.wcf", true, false},
        {"new.wcf", TFileKind::TuningLog, "new.wcf", true, false},
        {"t.log", TFileKind::TuningLog, "t.log", false, false},
        {"new.log", TFileKind::TuningLog, "new.log", false, false},
        {"notes.txt", TFileKind::TuningLog, "notes.txt", true, false},
        {"folder.log", TFileKind::TuningLog, "folder.log", false, true},
        // A configuration saved under a ".log" name goes to the ".wcf" beside it.
        {"c.log", TFileKind::Configuration, "c.wcf", true, false},
        {"t.log", TFileKind::Configuration, "t.wcf", false, false},
        {"c.wcf", TFileKind::Configuration, "c.wcf", false, false},
        {"c", TFileKind::Configuration, "c.wcf", true, false},
        {"notes.txt", TFileKind::Configuration, "notes.wcf", true, false},
        {"fresh", TFileKind::Configuration, "fresh.wcf", false, false},
    };
    for (const Row& r : rows) {
        const auto c = features::CheckSave(dir.File(r.chosen), r.saving);
        EXPECT_EQ(c.target, dir.File(r.target)) << r.chosen;
        EXPECT_EQ(c.ask, r.ask) << r.chosen << ": " << c.message;
        EXPECT_EQ(c.refuse, r.refuse) << r.chosen << ": " << c.message;
        if (c.ask || c.refuse) {
            EXPECT_NE(c.message.find(c.target), std::string::npos) << c.message;
        }
    }
}

}  // namespace
