#pragma once
// The program's one reader and writer of profile (INI) files: the welder
// configuration files, the settings file and the machine naming files.
//
// The file is kept as its lines, exactly as read. Writing a key edits the one
// line that holds it (or inserts one line), so comments, blank lines, the order
// of sections and keys, keys nobody here knows and the line endings all stay
// byte for byte as they were. Section and key names are matched without regard
// to ASCII case; the first matching key wins. A section that appears twice is
// read as one (keys of the first occurrence first): a hand-edited file with a
// section pasted in again keeps its keys. Duplicates() names every repeated
// section and key so callers can warn about them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/AtomicFile.h"

namespace orvan::config {

// Files larger than this are refused: no file of ours comes near it.
inline constexpr std::size_t kMaxIniFileSize = 4 * 1024 * 1024;

// Parses a whole value as a decimal integer (optional sign, surrounding blanks
// allowed). False when it is not one or does not fit in 32 bits.
[[nodiscard]] bool ParseIniInteger(std::string_view text, std::int32_t& value);

class TIniFile {
  public:
    TIniFile() = default;
    explicit TIniFile(std::string path);  // remembers the path; call Load()

    // A missing file gives empty content and true (Exists() false); a file that
    // exists but cannot be read, or is too large, gives false and a message
    // naming the path and the reason, and leaves the content empty.
    bool Load(std::string* error = nullptr);
    bool Exists() const { return exists_; }
    // Replaces the content by the text (for tests and fuzzing). Always true.
    bool LoadFromText(std::string_view text);

    // Missing section, missing key or a value that is not an integer: def.
    std::int32_t ReadInteger(std::string_view section, std::string_view key,
                             std::int32_t def) const;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    // The trimmed value when the key exists.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    bool SectionExists(std::string_view section) const;
    // "section [X] appears 2 times (lines 3, 40)", "key K appears 2 times in
    // [S] (lines 5, 9): the first value is used", in file order.
    std::vector<std::string> Duplicates() const;

    // A key present in the file has its value replaced on its own line; a new
    // key goes after the last non-blank line of its section; a new section is
    // appended at the end. A section or key name that could not be read back
    // (empty, or holding '[', ']', '=', ';' at its start, or a line break) writes
    // nothing and returns false; line breaks inside a value become blanks.
    bool WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);

    std::string Text() const;               // the file's bytes as they would be saved
    [[nodiscard]] SaveResult Save() const;  // atomic, to the path
    const std::string& Path() const { return path_; }
    void SetPath(std::string path) { path_ = std::move(path); }

    // Line ending for lines added to a file that has none yet (a new file);
    // otherwise added lines take the ending of the file's first line.
    void SetNewFileLineEnding(std::string_view eol) { newFileEol_ = std::string(eol); }

  private:
    enum class Kind : std::uint8_t { Other, Section, Key };
    struct Line {
        std::string text;  // without its line ending
        std::string eol;   // "\r\n", "\n" or "" (last line without one)
        Kind kind = Kind::Other;
        std::string name;  // section or key name, as written
    };
    static Line Parse(std::string text, std::string eol, bool first);
    // The lines of the first matching section: header index (npos for the
    // lines before any header, which section "" names), first and one past
    // the last line of its body.
    bool FindSection(std::string_view section, std::size_t& header, std::size_t& begin,
                     std::size_t& end, std::size_t from = 0) const;
    std::optional<std::size_t> FindKey(std::string_view section, std::string_view key) const;
    std::string Eol() const;

    std::string path_;
    bool exists_ = false;
    std::vector<Line> lines_;
    std::string newFileEol_ = "\r\n";
};

}  // namespace orvan::config
