// The core is assembled in one place: the session and its exchange cycle are
// built by TSupervisorCore only, whatever front end runs them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <type_traits>

#include "TransferRig.h"
#include "features/SupervisorCore.h"

using namespace orvan;

namespace {

namespace fs = std::filesystem;

TEST(CoreAssembly, OnlyTheOwnerBuildsASessionOrACycle) {
    // An object of either declared or built (references and pointers to
    // them are fine: that is how the rest of the program uses the core).
    const std::regex built(
        R"(\bTSession(Cycle)?(\s*[({]|\s+\w+\s*[;({=])|make_unique<[\w:]*TSession(Cycle)?>)");
    const fs::path root = ORVAN_SOURCE_DIR;
    std::vector<std::string> builders;
    int scanned = 0;
    for (const char* top : {"src", "tools", "bench"}) {
        for (const auto& e : fs::recursive_directory_iterator(root / top)) {
            const std::string ext = e.path().extension().string();
            if (ext != ".cpp" && ext != ".h") continue;
            const std::string rel = fs::relative(e.path(), root).string();
            // The classes' own declarations.
            if (rel == "src/commands/Session.h" || rel == "src/commands/SessionCycle.h") continue;
            std::ifstream in(e.path());
            std::stringstream text;
            text << in.rdbuf();
            ++scanned;
            if (std::regex_search(text.str(), built)) builders.push_back(rel);
        }
    }
    EXPECT_GT(scanned, 50);
    EXPECT_EQ(builders, (std::vector<std::string>{"src/features/SupervisorCore.h"}));
}

TEST(CoreAssembly, TheRigsRunOnTheOwner) {
    test::TransferRig rig;
    static_assert(std::is_same_v<decltype(rig.core), features::TSupervisorCore>);
    // The rig's parts are the core's, not copies beside it.
    EXPECT_EQ(&rig.session, &rig.core.Session());
    EXPECT_EQ(&rig.transfer, &rig.core.Transfer());
    EXPECT_EQ(&rig.record, &rig.core.Record());
    EXPECT_EQ(&rig.session.Protocol(), &rig.core.Protocol());
}

}  // namespace
