// The file and user-place rules every system must keep alike: the same
// assertions run in the Linux trees and, under Wine, in the Windows tree.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "config/AtomicFile.h"
#include "config/SystemPaths.h"
#include "support/TempDir.h"

namespace orvan::config {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteText;

TEST(FileSeams, ReservedNameIsHeldUntilReleasedAndCommitReplacesItWhole) {
    TempDir dir;
    const std::string path = dir.File("dump.bin");
    TReservedFile mine;
    ASSERT_TRUE(mine.Reserve(path, false)) << "free name";
    EXPECT_TRUE(HeldByAnotherRun(path));

    // A second taker, and a plain save, are refused while it is held.
    TReservedFile other;
    const SaveResult taken = other.Reserve(path, true);
    EXPECT_FALSE(taken);
    EXPECT_TRUE(taken.exists);
    EXPECT_NE(taken.why.find("being written by another run"), std::string::npos) << taken.why;
    const SaveResult replaced = SaveFileAtomically(path, "other");
    EXPECT_FALSE(replaced);
    EXPECT_TRUE(replaced.exists);

    // Line ends and zero bytes go to the file exactly as given.
    const std::string content("a\r\nb\n\0c", 7);
    const SaveResult committed = mine.Commit(content);
    ASSERT_TRUE(committed) << committed.why;
    mine.Release();
    EXPECT_FALSE(HeldByAnotherRun(path));
    EXPECT_EQ(ReadText(path), content);
    EXPECT_EQ(dir.EntryCount(), 1u) << "no temporary file left";

    // An existing file with content is taken only when it may be replaced.
    TReservedFile again;
    const SaveResult kept = again.Reserve(path, false);
    EXPECT_FALSE(kept);
    EXPECT_TRUE(kept.exists);
    ASSERT_TRUE(again.Reserve(path, true));
    ASSERT_TRUE(again.Commit("new"));
    again.Release();
    EXPECT_EQ(ReadText(path), "new");
}

TEST(FileSeams, UncommittedPlaceholderGoesAndAFolderIsNoFile) {
    TempDir dir;
    {
        TReservedFile r;
        ASSERT_TRUE(r.Reserve(dir.File("left.wcf"), false));
        EXPECT_TRUE(std::filesystem::exists(dir.File("left.wcf")));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("left.wcf")));

    std::filesystem::create_directory(dir.File("folder"));
    TReservedFile r;
    const SaveResult f = r.Reserve(dir.File("folder"), true);
    EXPECT_FALSE(f);
    EXPECT_NE(f.why.find("is not a file"), std::string::npos) << f.why;
    std::string content, why;
    EXPECT_FALSE(ReadWholeFile(dir.File("folder"), content, &why));
    EXPECT_NE(why.find("a folder"), std::string::npos) << why;
}

TEST(FileSeams, NewFilesNeverReplaceAndStaleTemporariesGo) {
    TempDir dir;
    const std::string path = dir.File("backup.wcf");
    ASSERT_TRUE(SaveNewFile(path, "first"));
    const SaveResult second = SaveNewFile(path, "second");
    EXPECT_FALSE(second);
    EXPECT_TRUE(second.exists);
    EXPECT_EQ(ReadText(path), "first");

    std::string why;
    WriteText(dir.File("export.part"), "whole");
    EXPECT_FALSE(PlaceNewFile(dir.File("export.part"), path, why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(ReadText(path), "first");
    ASSERT_TRUE(PlaceNewFile(dir.File("export.part"), dir.File("export.sqlite"), why)) << why;
    EXPECT_EQ(ReadText(dir.File("export.sqlite")), "whole");

    // What a killed save leaves behind (nobody holds it) is removed by the
    // next save into the folder; a file merely looking alike is not.
    WriteText(dir.File(".backup.wcf.orvantmpAbC123"), "half");
    WriteText(dir.File("backup.wcf.orvantmpAbC123"), "not ours");
    ASSERT_TRUE(SaveFileAtomically(path, "third"));
    EXPECT_FALSE(std::filesystem::exists(dir.File(".backup.wcf.orvantmpAbC123")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("backup.wcf.orvantmpAbC123")));
    EXPECT_EQ(ReadText(path), "third");
}

TEST(FileSeams, ReadWholeFileKeepsBytesAndRefusesWhatIsTooLarge) {
    TempDir dir;
    const std::string path = dir.File("capture.txt");
    const std::string bytes("\x00\x01\r\n\x1a\xff", 6);  // 0x1a ends a text-mode read
    WriteText(path, bytes);
    std::string content, why;
    ASSERT_TRUE(ReadWholeFile(path, content, &why)) << why;
    EXPECT_EQ(content, bytes);
    EXPECT_FALSE(ReadWholeFile(path, content, &why, 5));
    EXPECT_NE(why.find("too large"), std::string::npos) << why;
    EXPECT_FALSE(ReadWholeFile(dir.File("missing"), content, &why));
    EXPECT_NE(why.find("cannot open"), std::string::npos) << why;
}

TEST(UserPlaces, SettingsAndDataFoldersAndNames) {
    TempDir dir;
    const std::string settings = UserConfigDirectory();
    ASSERT_FALSE(settings.empty());
    EXPECT_NE(settings.find("OrvanSuperV"), std::string::npos) << settings;
    const char last = settings.back();
    EXPECT_TRUE(last == '/' || last == '\\') << settings;
    EXPECT_FALSE(UserDataDirectory().empty());

    EXPECT_TRUE(FolderWritable(dir.File("OrvanSuperV.cfg")));
    EXPECT_FALSE(FolderWritable(dir.File("no/such/folder/OrvanSuperV.cfg")));
    EXPECT_EQ(dir.EntryCount(), 0u) << "the check leaves nothing behind";
    EXPECT_TRUE(PathExists(dir.Path().string()));
    EXPECT_FALSE(PathExists(dir.File("missing")));

    EXPECT_FALSE(LoginName().empty());
    EXPECT_FALSE(HostName().empty());
}

}  // namespace
}  // namespace orvan::config
