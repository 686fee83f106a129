#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "config/Cfgwelderrw.h"
#include "support/TempDir.h"

namespace orvan::config {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteText;

TCfgWelderRW RandomRecord(std::mt19937& rng) {
    TCfgWelderRW c;
    for (const TFieldInfo& f : Fields()) {
        std::uniform_int_distribution<std::int32_t> d(f.Min(), f.Max());
        f.setRaw(c, f.index, d(rng));
    }
    return c;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        out.push_back(l);
    }
    return out;
}

TEST(WcfFileName, ReplacesOrAppendsTheExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"settings.txt", "settings.wcf"},
        {"backup", "backup.wcf"},
        {"a.wcf", "a.wcf"},
        {"a.b.c", "a.b.wcf"},
        {"dir.v2/backup", "dir.v2/backup.wcf"},
        {"/x/.hidden", "/x/.hidden.wcf"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(WcfFileName(in), out) << in;
}

TEST(WcfFile, NewFileHasTheSectionsAndKeysInOrder) {
    TIniFile ini;
    TCfgWelderRW c = TCfgWelderRW(DefaultConfiguration());
    c.WriteToIni(ini);
    std::vector<std::string> sections, feedback;
    std::string current;
    for (const std::string& l : Lines(ini.Text())) {
        if (l.front() == '[') {
            current = l;
            sections.push_back(l);
        } else if (current == "[FEEDBACK]") {
            feedback.push_back(l.substr(0, l.find('=')));
        }
    }
    const std::vector<std::string> expectedSections = {
        "[INFO]", "[ANALOG_OUT]",        "[ANALOG_INPUT]", "[TEMPERATURE]", "[FEEDBACK]",
        "[PID]",  "[OPTO_INPUT_FILTER]", "[TIMER_100]",    "[WA_TABLE]"};
    EXPECT_EQ(sections, expectedSections);
    std::vector<std::string> expectedFeedback = {"PowerTolerance", "CurrentTolerance",
                                                 "PMCoeff_m",      "PMCoeff_q",
                                                 "IAlimCoeff_m",   "IAlimCoeff_q"};
    for (int i = 0; i < 10; ++i) expectedFeedback.push_back("PDTable_V_" + std::to_string(i));
    for (int i = 0; i < 10; ++i) expectedFeedback.push_back("PDTable_W_" + std::to_string(i));
    expectedFeedback.push_back("TempCoeff_m");
    expectedFeedback.push_back("TempCoeff_q");
    EXPECT_EQ(feedback, expectedFeedback);
    const std::string text = ini.Text();
    EXPECT_NE(text.find("[ANALOG_OUT]\r\nStandByPower=3276\r\nMinPower=6553\r\nMaxPower=52428\r\n"
                        "CurrentDiodeMax=6000\r\nPDiodeMax=8000\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("PMCoeff_q=-5\r\n"), std::string::npos);
}

TEST(WcfFile, SignedAndLargeValuesRoundTrip) {
    TempDir dir;
    TCfgWelderRW c;
    c.SetTempCoeffQ(-12);
    c.SetPMCoeffM(40000);
    c.SetMaxPower(65535);
    const TFileResult saved = c.SaveToFile(dir.File("one.txt"));
    ASSERT_TRUE(saved) << saved.why;
    EXPECT_EQ(saved.path, dir.File("one.wcf"));
    const std::vector<std::string> lines = Lines(ReadText(dir.File("one.wcf")));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "TempCoeff_q=-12"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "PMCoeff_m=40000"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "MaxPower=65535"), lines.end());
    TCfgWelderRW back;
    const TFileResult loaded = back.LoadFromFile(dir.File("one"));
    ASSERT_TRUE(loaded) << loaded.why;
    EXPECT_TRUE(loaded.warnings.empty());
    EXPECT_TRUE(loaded.missingKeys.empty());
    EXPECT_EQ(back, c);
}

TEST(WcfFile, RandomRecordsSurviveTheFile) {
    TempDir dir;
    std::mt19937 rng(99);
    for (int n = 0; n < 30; ++n) {
        const TCfgWelderRW c = RandomRecord(rng);
        ASSERT_TRUE(c.SaveToFile(dir.File("r" + std::to_string(n % 3))));  // also saves over
        TCfgWelderRW back;
        ASSERT_TRUE(back.LoadFromFile(dir.File("r" + std::to_string(n % 3) + ".wcf")));
        ASSERT_EQ(back, c) << "record " << n;
    }
}

TEST(WcfFile, SaveLoadSaveIsByteIdentical) {
    TempDir dir;
    std::mt19937 rng(5);
    const TCfgWelderRW c = RandomRecord(rng);
    ASSERT_TRUE(c.SaveToFile(dir.File("a.wcf")));
    TCfgWelderRW back;
    ASSERT_TRUE(back.LoadFromFile(dir.File("a.wcf")));
    ASSERT_TRUE(back.SaveToFile(dir.File("b.wcf")));
    const std::string first = ReadText(dir.File("a.wcf"));
    EXPECT_EQ(ReadText(dir.File("b.wcf")), first);
    ASSERT_TRUE(back.SaveToFile(dir.File("a.wcf")));  // over itself
    EXPECT_EQ(ReadText(dir.File("a.wcf")), first);
}

TEST(WcfFile, OnlyVersionLoadsDefaultsElsewhere) {
    TempDir dir;
    WriteText(dir.File("v.wcf"), "[INFO]\nVersion=2\n");
    TCfgWelderRW c = TCfgWelderRW(DefaultConfiguration());
    const TFileResult r = c.LoadFromFile(dir.File("v.wcf"));
    ASSERT_TRUE(r) << r.why;
    EXPECT_EQ(c.GetVersion(), 2);
    EXPECT_EQ(c.GetSize(), 128);
    TCfgWelderRW expected;
    expected.SetVersion(2);
    expected.SetSize(128);
    EXPECT_EQ(c, expected);
    EXPECT_EQ(r.missingKeys.size(), Fields().size() - 1);
}

TEST(WcfFile, NamesMatchWithoutCase) {
    TIniFile ini;
    ini.LoadFromText("[analog_out]\r\nminpower = 5\r\n[Feedback]\r\npmcoeff_Q=-7\r\n");
    TCfgWelderRW c;
    ASSERT_TRUE(c.LoadFromIni(ini));
    EXPECT_EQ(c.GetMinPower(), 5);
    EXPECT_EQ(c.GetPMCoeffQ(), -7);
    EXPECT_EQ(c.GetVersion(), 3);
}

TEST(WcfFile, OutOfRangeAndBadValuesAreLimitedOrDefaultedWithWarnings) {
    TIniFile ini;
    ini.LoadFromText(
        "[ANALOG_INPUT]\nADCOffset_0=256\n[ANALOG_OUT]\nMinPower=70000\nMaxPower=-1\n"
        "StandByPower=12x\n[FEEDBACK]\nTempCoeff_m=-40000\nPMCoeff_q=40000\n[INFO]\nSize=abc\n");
    TCfgWelderRW c;
    const TFileResult r = c.LoadFromIni(ini);
    ASSERT_TRUE(r);
    EXPECT_EQ(c.GetADCOffset(0), 255);
    EXPECT_EQ(c.GetMinPower(), 65535);
    EXPECT_EQ(c.GetMaxPower(), 0);
    EXPECT_EQ(c.GetStandByPower(), 0);
    EXPECT_EQ(c.GetTempCoeffM(), -32768);
    EXPECT_EQ(c.GetPMCoeffQ(), 32767);
    EXPECT_EQ(c.GetSize(), 128);
    ASSERT_EQ(r.warnings.size(), 7u);
    const std::string all = [&] {
        std::string s;
        for (const auto& w : r.warnings) s += w + "\n";
        return s;
    }();
    EXPECT_NE(all.find("MinPower=70000 is outside 0..65535: limited to 65535"), std::string::npos)
        << all;
    EXPECT_NE(all.find("StandByPower=12x is not an integer"), std::string::npos) << all;
}

TEST(WcfFile, MissingOrForeignFileLeavesTheRecordAlone) {
    TempDir dir;
    WriteText(dir.File("foreign.wcf"), "[Something]\nelse=1\n");
    const TCfgWelderRW before = TCfgWelderRW(DefaultConfiguration());
    for (const char* name : {"missing.wcf", "foreign.wcf"}) {
        TCfgWelderRW c = before;
        const TFileResult r = c.LoadFromFile(dir.File(name));
        EXPECT_FALSE(r);
        EXPECT_NE(r.why.find(dir.File(name)), std::string::npos) << r.why;
        EXPECT_EQ(c, before) << name;
    }
    TCfgWelderRW c = before;
    EXPECT_FALSE(
        c.LoadFromFile(dir.Path().string() + "/"));  // names the folder: ".wcf" there is absent
    EXPECT_EQ(c, before);
}

TEST(WcfFile, SavingOverKeepsEverythingElse) {
    TempDir dir;
    const std::string path = dir.File("keep.wcf");
    const std::string original =
        "; site copy, do not lose\r\n"
        "[info]\r\n"
        "version=1\r\n"
        "Comment=old board\r\n"
        "\r\n"
        "[EXTRA]\r\n"
        "Anything = goes here\r\n"
        "\r\n";
    WriteText(path, original);
    TCfgWelderRW c = TCfgWelderRW(DefaultConfiguration());
    ASSERT_TRUE(c.SaveToFile(path));
    const std::string text = ReadText(path);
    EXPECT_EQ(
        text.rfind(
            "; site copy, do not lose\r\n[info]\r\nversion=3\r\nComment=old board\r\nSize=218\r\n"
            "\r\n[EXTRA]\r\nAnything = goes here\r\n\r\n[ANALOG_OUT]\r\n",
            0),
        0u)
        << text;
    TCfgWelderRW back;
    ASSERT_TRUE(back.LoadFromFile(path));
    EXPECT_EQ(back, c);
}

TEST(WcfFile, SaveFailureNamesThePathAndLeavesNothing) {
    TempDir dir;
    const TCfgWelderRW c = TCfgWelderRW(DefaultConfiguration());
    const TFileResult r = c.SaveToFile(dir.File("no-such-folder/x.wcf"));
    EXPECT_FALSE(r);
    EXPECT_NE(r.why.find("no-such-folder/x.wcf"), std::string::npos) << r.why;
    EXPECT_EQ(dir.EntryCount(), 0u);
}

TEST(WcfFile, RepeatedSectionsAndKeysAreNamed) {
    TempDir dir;
    const std::string path = dir.File("dup.wcf");
    TCfgWelderRW c;
    ASSERT_TRUE(c.SaveToFile(path));
    // A section pasted in again with a key the first one lacks, and a key twice.
    std::string text = ReadText(path);
    text.replace(text.find("MinPower="), 0, "MinPower=77\r\n");
    const auto cut = text.find("PMCoeff_m=");
    const auto end = text.find("\r\n", cut) + 2;
    const std::string line = text.substr(cut, end - cut);
    text.erase(cut, end - cut);
    text += "[FEEDBACK]\r\n" + line;
    WriteText(path, text);
    TCfgWelderRW back;
    const TFileResult r = back.LoadFromFile(path);
    ASSERT_TRUE(r) << r.why;
    EXPECT_TRUE(r.missingKeys.empty())
        << "the repeated section's key is read: " << r.missingKeys[0];
    EXPECT_EQ(back.GetMinPower(), 77) << "the first of two values";
    ASSERT_EQ(r.duplicates.size(), 2u);
    EXPECT_NE(r.duplicates[0].find("section [FEEDBACK] appears 2 times"), std::string::npos)
        << r.duplicates[0];
    EXPECT_NE(r.duplicates[1].find("key MinPower appears 2 times in [ANALOG_OUT]"),
              std::string::npos)
        << r.duplicates[1];
    EXPECT_EQ(r.warnings, r.duplicates) << "warned like any value not taken as written";
}

}  // namespace
}  // namespace orvan::config
