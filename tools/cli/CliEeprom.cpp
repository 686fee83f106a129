// orvan-cli EEPROM commands: dump to a file, restore from one (read back and
// compared), raw reads listed as the page lists them, typed writes, and the
// format, which keeps a dump file first and prints its path.

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>

#include "cli/CliRunner.h"
#include "features/EepromImage.h"
#include "features/EepromManager.h"

namespace orvan::cli {

namespace {

using namespace orvan::features;

// Longest a dump, format or restore may take on the slowest line; each
// exchange is bounded by the receive time-out anyway.
constexpr std::int64_t kOperationLimitMs = 120000;

void Fail(const std::string& message) {
    std::fprintf(stderr, "orvan-cli: %s\n", message.c_str());
}

// The outcome of one EEPROM operation, and the restore's question.
class Waiter : public IEepromListener, public commands::IMemoryView {
  public:
    Waiter(TToolRunner& run, bool yes) : run_(run), yes_(yes) {
        run_.Core().EepromManager().SetListener(this);
        run_.Core().Events().Subscribe(static_cast<commands::IMemoryView&>(*this));
    }
    ~Waiter() override {
        run_.Core().EepromManager().SetListener(nullptr);
        run_.Core().Events().Unsubscribe(static_cast<commands::IMemoryView&>(*this));
    }
    void OnEepromProgress(TEepromOp, TEepromPhase phase, int done, int total) override {
        if (run_.Quiet() || done == 0) return;
        const char* what = phase == TEepromPhase::Write      ? "write"
                           : phase == TEepromPhase::ReadBack ? "read back"
                                                             : "read";
        std::fprintf(stderr, "%s: %d/%d\n", what, done, total);
    }
    void OnRestoreNeedsConfirmation(const std::string& board, const std::string& dump) override {
        asked = true;
        boardSerial = board;
        dumpSerial = dump;
    }
    void OnEepromFinished(const TEepromOutcome& o) override { outcome = o; }
    void OnMemoryRows(const std::vector<commands::MemoryRow>& r) override {
        rows.insert(rows.end(), r.begin(), r.end());
    }

    // Runs until the outcome; answers the restore's question on the way.
    bool Wait() {
        while (!outcome) {
            run_.RunUntil([&] { return outcome.has_value() || asked; }, kOperationLimitMs);
            if (outcome) break;
            if (!asked) return false;
            asked = false;
            run_.Core().EepromManager().ContinueRestore(Confirm());
        }
        return true;
    }

    std::optional<TEepromOutcome> outcome;
    std::vector<commands::MemoryRow> rows;
    bool asked = false;
    std::string boardSerial, dumpSerial;

  private:
    bool Confirm() {
        const std::string q = "the board's serial number \"" + boardSerial +
                              "\" differs from the dump's \"" + dumpSerial + "\"";
        if (yes_) {
            std::fprintf(stderr, "%s; writing anyway (--yes)\n", q.c_str());
            return true;
        }
        if (!::isatty(STDIN_FILENO)) {
            Fail(q + "; nothing written (--yes writes it anyway)");
            return false;
        }
        std::fprintf(stderr, "%s. Write the dump over it? [y/N] ", q.c_str());
        std::string answer;
        std::getline(std::cin, answer);
        return answer == "y" || answer == "Y" || answer == "yes";
    }

    TToolRunner& run_;
    bool yes_;
};

int Report(Waiter& w, TToolRunner& run) {
    if (!w.Wait()) {
        Fail("the operation did not end" + run.IgnoredNote());
        return 1;
    }
    if (!w.outcome->completed) {
        Fail(w.outcome->message);
        return 1;
    }
    std::printf("%s\n", w.outcome->message.c_str());
    return 0;
}

std::string ListingLine(const commands::MemoryRow& r) {
    return r.addressText + "  " + r.hexText + " " + r.asciiText;
}

// "eeprom-before-format-20261208-093005.bin" in the current folder.
std::string DefaultFormatDump() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char name[64];
    std::strftime(name, sizeof name, "eeprom-before-format-%Y%m%d-%H%M%S.bin", &tm);
    return name;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

// Splits off the flags a command allows.
bool Flags(const std::vector<std::string>& a, std::vector<std::string>& words, bool& yes,
           bool& force, std::string& dump, bool allowYes, bool allowForce, bool allowDump) {
    words.clear();
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (allowYes && a[i] == "--yes") {
            yes = true;
        } else if (allowForce && a[i] == "--force") {
            force = true;
        } else if (allowDump && a[i] == "--dump" && i + 1 < a.size()) {
            dump = a[++i];
        } else if (i > 0 && a[i].size() > 1 && a[i][0] == '-' && a[i] != "-") {
            Fail(a[0] + ": unknown option " + a[i]);
            return false;
        } else {
            words.push_back(a[i]);
        }
    }
    return true;
}

}  // namespace

std::optional<Plan> EepromPlan(const std::vector<std::string>& a) {
    const std::string& cmd = a[0];
    std::vector<std::string> w;
    bool yes = false, force = false;
    std::string dump;
    if (cmd == "eeprom-dump") {
        if (!Flags(a, w, yes, force, dump, false, true, false)) return std::nullopt;
        if (w.size() != 2) {
            Fail("eeprom-dump takes the file to write: eeprom-dump OUT.bin [--force]");
            return std::nullopt;
        }
        const std::string out = w[1];
        if (Exists(out) && !force) {
            Fail(out + " exists; not replaced (--force replaces it)");
            return std::nullopt;
        }
        return Plan([out](TToolRunner& run) {
            Waiter wait(run, false);
            if (const auto r = run.Core().EepromManager().Dump(out); !r) {
                Fail(r.message);
                return 1;
            }
            return Report(wait, run);
        });
    }
    if (cmd == "eeprom-restore") {
        if (!Flags(a, w, yes, force, dump, true, false, false)) return std::nullopt;
        if (w.size() != 2) {
            Fail("eeprom-restore takes the dump file: eeprom-restore IN.bin [--yes]");
            return std::nullopt;
        }
        TEepromImage image{};
        std::string why;
        if (!LoadDumpFile(w[1], image, &why)) {
            Fail(why + "; nothing sent");
            return std::nullopt;
        }
        const std::string in = w[1];
        return Plan([in, yes](TToolRunner& run) {
            Waiter wait(run, yes);
            if (const auto r = run.Core().EepromManager().Restore(in); !r) {
                Fail(r.message);
                return 1;
            }
            return Report(wait, run);
        });
    }
    if (cmd == "eeprom-read") {
        if (a.size() != 3) {
            Fail("eeprom-read takes ADDR LEN (decimal; LEN 1 to 32)");
            return std::nullopt;
        }
        TRawRead r;
        std::string why;
        if (!CheckRawRead(a[1], a[2], r, &why)) {
            Fail("eeprom-read: " + why);
            return std::nullopt;
        }
        const std::string addr = a[1], len = a[2];
        return Plan([addr, len](TToolRunner& run) {
            Waiter wait(run, false);
            if (const auto s = run.Core().EepromManager().ReadRaw(addr, len); !s) {
                Fail(s.message);
                return 1;
            }
            if (const int rc = run.RunUntilIdle(); rc != 0) return rc;
            if (wait.rows.empty()) {
                Fail("the board's answer carried no data" + run.IgnoredNote());
                return 1;
            }
            for (const auto& row : wait.rows) std::printf("%s\n", ListingLine(row).c_str());
            return 0;
        });
    }
    if (cmd == "eeprom-write") {
        if (a.size() != 3) {
            Fail("eeprom-write takes ADDR TEXT (quote a text with blanks)");
            return std::nullopt;
        }
        TTypedWrite tw;
        std::string why;
        if (!CheckTypedWrite(a[1], a[2], tw, &why)) {
            Fail("eeprom-write: " + why);
            return std::nullopt;
        }
        const std::string addr = a[1], text = a[2];
        return Plan([addr, text](TToolRunner& run) {
            if (const auto s = run.Core().EepromManager().WriteText(addr, text); !s) {
                Fail(s.message);
                return 1;
            }
            if (const int rc = run.RunUntilIdle(); rc != 0) return rc;
            std::printf("%zu bytes written at %s\n", text.size(), addr.c_str());
            return 0;
        });
    }
    if (cmd == "eeprom-format") {
        if (!Flags(a, w, yes, force, dump, true, false, true)) return std::nullopt;
        if (w.size() != 1 || !yes) {
            Fail(
                "eeprom-format erases the serial number, the configuration and the logs: "
                "confirm with --yes (a dump is kept first; --dump FILE names it)");
            return std::nullopt;
        }
        if (dump.empty()) dump = DefaultFormatDump();
        if (Exists(dump)) {
            Fail(dump + " exists; the dump before a format never replaces a file");
            return std::nullopt;
        }
        return Plan([dump](TToolRunner& run) {
            Waiter wait(run, false);
            std::printf("dump of the memory before the format: %s\n", dump.c_str());
            std::fflush(stdout);
            if (const auto r = run.Core().EepromManager().Format(dump); !r) {
                Fail(r.message);
                return 1;
            }
            return Report(wait, run);
        });
    }
    Fail("unknown command " + cmd);
    return std::nullopt;
}

std::string EepromUsage() {
    return "  eeprom-dump OUT.bin [--force]\n"
           "                       the whole 1024-byte memory into a file\n"
           "  eeprom-restore IN.bin [--yes]\n"
           "                       write a dump file back, read it back and compare (--yes: "
           "even\n"
           "                       over a board whose serial number differs)\n"
           "  eeprom-read ADDR LEN list LEN bytes (1 to 32) from ADDR as the EEPROM page does\n"
           "  eeprom-write ADDR TEXT  write the characters of TEXT from ADDR\n"
           "  eeprom-format --yes [--dump FILE]\n"
           "                       erase the memory (all FF) after keeping a dump in FILE\n";
}

bool IsEepromCommand(const std::string& name) {
    return name == "eeprom-dump" || name == "eeprom-restore" || name == "eeprom-read" ||
           name == "eeprom-write" || name == "eeprom-format";
}

}  // namespace orvan::cli
