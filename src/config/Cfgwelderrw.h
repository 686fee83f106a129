#pragma once
// The welder configuration file (".wcf"): the record's raw values as a
// profile file of nine sections, read and written through TIniFile so that a
// file saved over keeps every line the program does not own.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/Cfgwelder.h"
#include "config/IniFile.h"
#include "link/Result.h"

namespace orvan::config {

struct TFileResult : TResult {             // `why` names the path
    std::string path;                      // the file actually read or written
    std::vector<std::string> warnings;     // values that were not taken as written
    std::vector<std::string> missingKeys;  // keys absent from the file (defaults used)
    std::vector<std::string> duplicates;   // repeated sections and keys (also in warnings)
};

// The name with its extension replaced by ".wcf" (appended when it has none).
std::string WcfFileName(std::string_view name);

// The fields in the order the file holds them.
std::span<const TFieldInfo* const> FileFieldOrder();

class TCfgWelderRW : public TWelderCfgBlank {
  public:
    TCfgWelderRW() = default;
    explicit TCfgWelderRW(const TWelderCfgBlank& cfg) : TWelderCfgBlank(cfg) {}

    // Reads every key. A file that does not exist, cannot be read, or holds
    // none of the keys is refused and the record stays as it was. A missing
    // key or one that is not an integer gives its default; a value outside
    // the field's range is limited to it; both are listed in the warnings.
    [[nodiscard]] TFileResult LoadFromFile(const std::string& fileName);
    // Writes every key into the file (creating it), keeping everything else
    // the file holds; atomic. A file that exists but cannot be read is not
    // overwritten.
    [[nodiscard]] TFileResult SaveToFile(const std::string& fileName) const;
    // The text SaveToFile would write to the ".wcf" of `fileName`: every key
    // of the record over what that file holds now (nothing when it is
    // missing or empty), for a caller that writes it itself.
    [[nodiscard]] TFileResult FileText(const std::string& fileName, std::string& text) const;

    // The same on an INI already in memory (tests, fuzzing).
    [[nodiscard]] TFileResult LoadFromIni(const TIniFile& ini);
    void WriteToIni(TIniFile& ini) const;
};

}  // namespace orvan::config
