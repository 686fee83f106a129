// Where the program finds its naming files: beside itself (build tree,
// portable copy, a technician's corrected file) before the installed folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <QTemporaryDir>

#include "app/InstallLayout.h"

using namespace orvan::app;
namespace fs = std::filesystem;

TEST(InstallLayout, NamingFilesBesideTheProgramWinOverTheInstalledOnes) {
    struct Row {
        bool beside;
        bool installed;
        const char* expected;  // "own" or "installed"
    } rows[] = {
        {true, true, "own"},
        {false, true, "installed"},
        {true, false, "own"},
        {false, false, "own"},
    };
    for (const Row& r : rows) {
        QTemporaryDir tmp;
        const fs::path root = fs::canonical(tmp.path().toStdString());
        const fs::path bin = root / "usr/bin";
        const fs::path share = root / "usr/share/orvan-supervisor/naming";
        fs::create_directories(bin);
        fs::create_directories(share);
        if (r.beside) std::ofstream(bin / "OrvanMachineName.ini") << "[ORVAN_MACHINE_TYPE]\n";
        if (r.installed) std::ofstream(share / "OrvanMachineName.ini") << "[ORVAN_MACHINE_TYPE]\n";
        const std::string own = bin.string() + "/";
        const std::string want = std::string(r.expected) == "own" ? own : share.string() + "/";
        EXPECT_EQ(NamingDirectory(own), want) << r.beside << r.installed;
    }
}

TEST(InstallLayout, ProgramDirectoryIsThisTestsFolder) {
    const std::string dir = ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(fs::is_directory(dir));
}
