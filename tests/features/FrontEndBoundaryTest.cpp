// The front ends (the window, its pages, orvan-cli) start operations and
// render them; they never drive the engine themselves. The compiler holds
// them to the read-only views of protocol, session and record; this holds
// them to the rest: no engine, no event registry, no request built by hand,
// no sequence of a controller started past its operation.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Rule {
    const char* pattern;
    const char* why;
};

const Rule kRules[] = {
    {R"(\bEngine\(\))", "the mutable engine"},
    {R"(\bEvents\(\))", "the event registry (views attach with core.Attach)"},
    {R"(\bconst_cast\b)", "a way round the read-only views"},
    {R"(\bViews\(\)\.(Add|Remove)\b|\bSubscribe\()", "attaching other than with core.Attach"},
    {R"(\b(SendReadVariable|SendWriteVariable|SendSecurityCode|SendStartCommand|SendFlangingCommand|QueueCommand|ProcessAnswer|RequestHardwareInfo|StartChain|WriteBlock|WriteMemoryBytes)\()",
     "a request built or sent past the core"},
    {R"(Transfer\(\)\.(Read|Verify|Download|Abandon)\(|Eeprom\(\)\.Start|\b(SetSerialNumber|SetHoursCounter|SetHoursSeconds|SetFactoryTuningDate|StartEventLogRead|StartTuningLogRead|SaveProfile)\(|BoardClock\(\)\.Set(Running)?\(|Procedures\(\)\.Start\(|TuningLog\(\)\.(Read|Save)\(|Report\(\)\.Start\(|Polling\(\)\.(Start|Toggle|Stop)\()",
     "a controller's sequence started past its operation"},
};

// Comments say what the code must not do; only code counts.
std::string WithoutComments(const std::string& text) {
    std::string out;
    bool block = false;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::string code;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (block) {
                if (line.compare(i, 2, "*/") == 0) {
                    block = false;
                    ++i;
                }
                continue;
            }
            if (line.compare(i, 2, "//") == 0) break;
            if (line.compare(i, 2, "/*") == 0) {
                block = true;
                ++i;
                continue;
            }
            code += line[i];
        }
        out += code + '\n';
    }
    return out;
}

TEST(FrontEndBoundary, NoFrontEndDrivesTheEngine) {
    const fs::path root = ORVAN_SOURCE_DIR;
    std::vector<std::string> found;
    std::size_t files = 0;
    for (const char* dir : {"src/app", "src/pages", "src/frames", "tools/cli"}) {
        for (const auto& e : fs::recursive_directory_iterator(root / dir)) {
            const std::string ext = e.path().extension().string();
            if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            ++files;
            std::ifstream in(e.path());
            std::stringstream ss;
            ss << in.rdbuf();
            const std::string code = WithoutComments(ss.str());
            for (const Rule& r : kRules) {
                std::smatch m;
                if (std::regex_search(code, m, std::regex(r.pattern)))
                    found.push_back(fs::relative(e.path(), root).string() + ": " + m.str() + " (" +
                                    r.why + ")");
            }
        }
    }
    EXPECT_GT(files, 40u) << "the front ends' sources were found";
    EXPECT_TRUE(found.empty()) << [&] {
        std::string t;
        for (const std::string& f : found) t += f + "\n";
        return t;
    }();
}

// The rules catch what they are there for.
TEST(FrontEndBoundary, TheRulesCatchWhatTheyShould) {
    const char* offending[] = {
        "core_->Engine().session.configLoaded = true;",
        "core.Events().Subscribe(view);",
        "(void)SendReadVariable(protocol, code);",
        "core_->Transfer().Read(false);",
        "core.Polling().Start();",
        "const_cast<TSession&>(core.Session())",
    };
    for (const char* line : offending) {
        bool caught = false;
        for (const Rule& r : kRules)
            caught = caught || std::regex_search(line, std::regex(r.pattern));
        EXPECT_TRUE(caught) << line;
    }
    EXPECT_FALSE(std::regex_search(WithoutComments("// core.Engine() is not for us\n"),
                                   std::regex(kRules[0].pattern)));
}

}  // namespace
