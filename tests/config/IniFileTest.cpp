#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "config/IniFile.h"
#include "support/TempDir.h"

namespace orvan::config {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteText;

// Comments, blank lines, mixed case, unknown keys, blanks around '=', CRLF
// endings and a last line without an ending.
const std::string kSample =
    "; written by hand\r\n"
    "\r\n"
    "[Info]\r\n"
    "  version = 3\r\n"
    "Comment=keep me\r\n"
    "# another comment\r\n"
    "\r\n"
    "[ANALOG_OUT]\r\n"
    "MinPower=100\r\n"
    "UnknownKey=  spaced value  \r\n"
    "\r\n"
    "\r\n"
    "[extra]\r\n"
    "a=1";

TEST(IniFile, KeepsTextAsReadAndMatchesWithoutCase) {
    TIniFile ini;
    ini.LoadFromText(kSample);
    EXPECT_EQ(ini.Text(), kSample);
    EXPECT_EQ(ini.ReadInteger("INFO", "VERSION", -1), 3);
    EXPECT_EQ(ini.ReadInteger("info", "Version", -1), 3);
    EXPECT_EQ(ini.ReadString("Analog_Out", "unknownkey", ""), "spaced value");
    EXPECT_EQ(ini.ReadString("EXTRA", "A", ""), "1");
    EXPECT_TRUE(ini.ValueExists("analog_out", "MINPOWER"));
    EXPECT_FALSE(ini.ValueExists("ANALOG_OUT", "Version"));  // other section
    EXPECT_FALSE(ini.ValueExists("INFO", "written by hand"));
    EXPECT_FALSE(ini.ValueExists("INFO", "# another comment"));
}

TEST(IniFile, WritingOneKeyChangesOnlyItsValue) {
    struct Case {
        const char* section;
        const char* key;
        std::int32_t value;
        std::string expected;
    };
    const std::string head = "; written by hand\r\n\r\n[Info]\r\n";
    const Case cases[] = {
        // existing key, other case: key spelling and blanks around '=' kept
        {"INFO", "VERSION", 42,
         head + "  version = 42\r\nComment=keep me\r\n# another comment\r\n\r\n[ANALOG_OUT]\r\n"
                "MinPower=100\r\nUnknownKey=  spaced value  \r\n\r\n\r\n[extra]\r\na=1"},
        // the same value again: not a byte changes
        {"info", "version", 3, kSample},
        // new key: after the last non-blank line of its section
        {"analog_out", "MaxPower", 7,
         head +
             "  version = 3\r\nComment=keep me\r\n# another comment\r\n\r\n[ANALOG_OUT]\r\n"
             "MinPower=100\r\nUnknownKey=  spaced value  \r\nMaxPower=7\r\n\r\n\r\n[extra]\r\na=1"},
        // new key in the last section, whose last line had no ending
        {"EXTRA", "b", -2,
         head +
             "  version = 3\r\nComment=keep me\r\n# another comment\r\n\r\n[ANALOG_OUT]\r\n"
             "MinPower=100\r\nUnknownKey=  spaced value  \r\n\r\n\r\n[extra]\r\na=1\r\nb=-2\r\n"},
        // new section at the end
        {"TIMER_100", "Timer_0", 50, kSample + "\r\n[TIMER_100]\r\nTimer_0=50\r\n"},
    };
    for (const Case& c : cases) {
        TIniFile ini;
        ini.LoadFromText(kSample);
        EXPECT_TRUE(ini.WriteInteger(c.section, c.key, c.value));
        EXPECT_EQ(ini.Text(), c.expected) << c.section << "/" << c.key;
        EXPECT_EQ(ini.ReadInteger(c.section, c.key, -999), c.value);
        // everything else reads as before
        EXPECT_EQ(ini.ReadString("INFO", "Comment", ""), "keep me");
        EXPECT_EQ(ini.ReadString("EXTRA", "a", ""), "1");
    }
}

TEST(IniFile, AddedLinesFollowTheFilesLineEnding) {
    TIniFile lf;
    lf.LoadFromText("[A]\nx=1\n");
    lf.WriteInteger("A", "y", 2);
    lf.WriteInteger("B", "z", 3);
    EXPECT_EQ(lf.Text(), "[A]\nx=1\ny=2\n[B]\nz=3\n");

    TIniFile fresh;
    fresh.WriteInteger("A", "y", 2);
    EXPECT_EQ(fresh.Text(), "[A]\r\ny=2\r\n");
    TIniFile freshLf;
    freshLf.SetNewFileLineEnding("\n");
    freshLf.WriteString("A", "s", "v");
    EXPECT_EQ(freshLf.Text(), "[A]\ns=v\n");
}

TEST(IniFile, FirstKeyWinsAndRepeatedSectionsReadAsOne) {
    TIniFile ini;
    ini.LoadFromText("[S]\nk=1\nK=2\n[s]\nk=3\nonly=4\n[T]\nx=1\n");
    EXPECT_EQ(ini.ReadInteger("S", "k", 0), 1);
    // A section pasted in twice keeps its keys rather than losing them.
    EXPECT_EQ(ini.ReadInteger("S", "only", 0), 4);
    EXPECT_FALSE(ini.ValueExists("T", "only"));
    ini.WriteInteger("S", "k", 9);
    ini.WriteInteger("S", "only", 5);
    EXPECT_EQ(ini.Text(), "[S]\nk=9\nK=2\n[s]\nk=3\nonly=5\n[T]\nx=1\n");
    EXPECT_EQ(ini.Duplicates(),
              (std::vector<std::string>{
                  "section [S] appears 2 times (lines 1, 4)",
                  "key k appears 3 times in [S] (lines 2, 3, 5): the first value is used"}));
    TIniFile clean;
    clean.LoadFromText("[A]\nk=1\n[B]\nk=2\n");
    EXPECT_TRUE(clean.Duplicates().empty()) << "one key in two sections is no duplicate";
}

TEST(IniFile, IntegersParseWholeOrGiveTheDefault) {
    struct Case {
        const char* text;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"12", 12},
        {" -5 ", -5},
        {"+7", 7},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", -1},
        {"0x10", -1},
        {"12abc", -1},
        {"", -1},
        {"1 2", -1},
        {"+-3", -1},
        {"3.5", -1},
    };
    for (const Case& c : cases) {
        TIniFile ini;
        ini.LoadFromText(std::string("[S]\nk=") + c.text + "\n");
        EXPECT_EQ(ini.ReadInteger("S", "k", -1), c.expected) << '"' << c.text << '"';
    }
    TIniFile ini;
    ini.LoadFromText("[S]\n");
    EXPECT_EQ(ini.ReadInteger("S", "missing", 77), 77);
    EXPECT_EQ(ini.ReadInteger("NOPE", "k", 78), 78);
    EXPECT_EQ(ini.ReadString("NOPE", "k", "def"), "def");
}

TEST(IniFile, NamesThatCouldNotBeReadBackAreRefused) {
    TIniFile ini;
    ini.LoadFromText("[S]\nk=1\n");
    const std::string before = ini.Text();
    EXPECT_FALSE(ini.WriteInteger("", "k", 1));
    EXPECT_FALSE(ini.WriteInteger("A]B", "k", 1));
    EXPECT_FALSE(ini.WriteInteger("S", "a=b", 1));
    EXPECT_FALSE(ini.WriteInteger("S", ";k", 1));
    EXPECT_FALSE(ini.WriteInteger("S", "k\nx", 1));
    EXPECT_FALSE(ini.WriteInteger("S", " k", 1));
    EXPECT_EQ(ini.Text(), before);
    // a line break in a value cannot split the line
    EXPECT_TRUE(ini.WriteString("S", "v", "one\r\n[X]\ntwo"));
    EXPECT_FALSE(ini.SectionExists("X"));
    EXPECT_EQ(ini.ReadString("S", "v", ""), "one  [X] two");
}

TEST(IniFile, ByteOrderMarkDoesNotHideTheFirstSection) {
    TIniFile ini;
    const std::string text = "\xEF\xBB\xBF[INFO]\r\nVersion=2\r\n";
    ini.LoadFromText(text);
    EXPECT_EQ(ini.ReadInteger("INFO", "Version", 0), 2);
    EXPECT_EQ(ini.Text(), text);
}

TEST(IniFile, MissingFileLoadsEmpty) {
    TempDir dir;
    TIniFile ini(dir.File("none.ini"));
    std::string error;
    EXPECT_TRUE(ini.Load(&error));
    EXPECT_FALSE(ini.Exists());
    EXPECT_EQ(ini.ReadInteger("COM", "Port", 1), 1);
    EXPECT_EQ(ini.Text(), "");
}

TEST(IniFile, FileRoundTripKeepsEveryOtherByte) {
    TempDir dir;
    const std::string path = dir.File("s.ini");
    WriteText(path, kSample);
    TIniFile ini(path);
    ASSERT_TRUE(ini.Load());
    EXPECT_TRUE(ini.Exists());
    ini.WriteInteger("ANALOG_OUT", "minpower", 250);
    ASSERT_TRUE(ini.Save());
    std::string expected = kSample;
    expected.replace(expected.find("MinPower=100"), 12, "MinPower=250");
    EXPECT_EQ(ReadText(path), expected);
    EXPECT_EQ(dir.EntryCount(), 1u);  // no temporary left behind
}

TEST(IniFile, UnwritableTargetGivesAClearErrorAndNoPartialFile) {
    TempDir dir;
    WriteText(dir.File("plain"), "x");
    const std::string cases[] = {dir.File("missing-folder/s.ini"), dir.File("plain/s.ini")};
    for (const std::string& path : cases) {
        TIniFile ini(path);
        ASSERT_TRUE(ini.Load()) << path;
        ini.WriteInteger("A", "b", 1);
        const SaveResult r = ini.Save();
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.why.find(path), std::string::npos) << r.why;
        EXPECT_NE(r.why.find(": "), std::string::npos) << r.why;  // and the reason
    }
    // a target that cannot be replaced stays as it was
    std::filesystem::create_directory(dir.File("taken"));
    WriteText(dir.File("taken/inside"), "keep");
    TIniFile ini(dir.File("taken"));
    ini.WriteInteger("A", "b", 1);
    EXPECT_FALSE(ini.Save().ok);
    EXPECT_EQ(ReadText(dir.File("taken/inside")), "keep");
    EXPECT_EQ(dir.EntryCount(), 2u);
}

TEST(IniFile, AFolderOrHugeFileIsRefusedOnLoad) {
    TempDir dir;
    TIniFile folder(dir.Path().string());
    std::string error;
    EXPECT_FALSE(folder.Load(&error));
    EXPECT_NE(error.find(dir.Path().string()), std::string::npos);

    const std::string fifo = dir.File("pipe.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TIniFile pipe(fifo);
    EXPECT_FALSE(pipe.Load(&error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;

    const std::string big = dir.File("big.ini");
    WriteText(big, std::string(kMaxIniFileSize + 1, 'x'));
    TIniFile huge(big);
    EXPECT_FALSE(huge.Load(&error));
    EXPECT_NE(error.find("too large"), std::string::npos);
}

TEST(AtomicFile, AKilledSavesTemporaryFileGoesWithTheNextSave) {
    TempDir dir;
    const std::string path = dir.File("s.ini");
    // What a save killed half way leaves: its temporary file, no longer locked.
    WriteText(dir.File(".s.ini.orvantmpAbC123"), "half");
    WriteText(dir.File(".other.wcf.orvantmpXyZ789"), "half");
    WriteText(dir.File("s.ini.orvantmpAbC123"), "not ours: no leading dot");
    WriteText(dir.File(".notes.orvantmp"), "not ours: no random part");
    ASSERT_TRUE(SaveFileAtomically(path, "x=1\n"));
    EXPECT_FALSE(std::filesystem::exists(dir.File(".s.ini.orvantmpAbC123")));
    EXPECT_FALSE(std::filesystem::exists(dir.File(".other.wcf.orvantmpXyZ789")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("s.ini.orvantmpAbC123")));
    EXPECT_TRUE(std::filesystem::exists(dir.File(".notes.orvantmp")));
    EXPECT_EQ(ReadText(path), "x=1\n");
    // A temporary file a live save holds locked is left alone.
    const std::string live = dir.File(".t.ini.orvantmpLiVe00");
    WriteText(live, "being written");
    const int fd = ::open(live.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_EQ(RemoveStaleTemporaryFiles(dir.Path().string()), 0);
    EXPECT_TRUE(std::filesystem::exists(live));
    ::close(fd);
    EXPECT_EQ(RemoveStaleTemporaryFiles(dir.Path().string()), 1);
}

TEST(AtomicFile, NewFilesNeverReplaceOne) {
    TempDir dir;
    const std::string path = dir.File("b.wcf");
    ASSERT_TRUE(SaveNewFile(path, "first"));
    const SaveResult again = SaveNewFile(path, "second");
    EXPECT_FALSE(again.ok);
    EXPECT_TRUE(again.exists);
    EXPECT_EQ(ReadText(path), "first");
    const SaveResult nowhere = SaveNewFile(dir.File("no/such/folder/b.wcf"), "x");
    EXPECT_FALSE(nowhere.ok);
    EXPECT_FALSE(nowhere.exists);
    EXPECT_NE(nowhere.why.find("no/such/folder"), std::string::npos) << nowhere.why;
    EXPECT_EQ(dir.EntryCount(), 1u) << "no temporary file left";
}

}  // namespace
}  // namespace orvan::config
