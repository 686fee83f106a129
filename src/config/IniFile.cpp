#include "config/IniFile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace orvan::config {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

// A name we write must read back as the same name.
bool WritableName(std::string_view name, bool section) {
    if (name.empty() || Trim(name) != name) return false;
    if (name.find_first_of("\r\n") != std::string_view::npos) return false;
    if (name.front() == ';' || name.front() == '#') return false;
    if (section) return name.find(']') == std::string_view::npos;
    return name.front() != '[' && name.find('=') == std::string_view::npos;
}

constexpr std::string_view kBom = "\xEF\xBB\xBF";

}  // namespace

bool ParseIniInteger(std::string_view text, std::int32_t& value) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return false;
    }
    if (text.empty()) return false;
    std::int32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 10);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    value = v;
    return true;
}

TIniFile::TIniFile(std::string path) : path_(std::move(path)) {}

TIniFile::Line TIniFile::Parse(std::string text, std::string eol, bool first) {
    Line line;
    line.text = std::move(text);
    line.eol = std::move(eol);
    std::string_view body = line.text;
    if (first && body.substr(0, kBom.size()) == kBom) body.remove_prefix(kBom.size());
    body = Trim(body);
    if (body.empty() || body.front() == ';' || body.front() == '#') return line;
    if (body.front() == '[') {
        const auto close = body.find(']');
        if (close != std::string_view::npos) {
            line.kind = Kind::Section;
            line.name = std::string(Trim(body.substr(1, close - 1)));
        }
        return line;
    }
    const auto eq = body.find('=');
    if (eq == std::string_view::npos) return line;
    const auto key = Trim(body.substr(0, eq));
    if (key.empty()) return line;
    line.kind = Kind::Key;
    line.name = std::string(key);
    return line;
}

bool TIniFile::LoadFromText(std::string_view text) {
    lines_.clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            lines_.push_back(Parse(std::string(text.substr(pos)), "", lines_.empty()));
            break;
        }
        std::size_t end = nl;
        std::string eol = "\n";
        if (end > pos && text[end - 1] == '\r') {
            --end;
            eol = "\r\n";
        }
        lines_.push_back(Parse(std::string(text.substr(pos, end - pos)), eol, lines_.empty()));
        pos = nl + 1;
    }
    return true;
}

bool TIniFile::Load(std::string* error) {
    lines_.clear();
    exists_ = false;
    std::error_code ec;
    const auto st = std::filesystem::status(path_, ec);
    if (st.type() == std::filesystem::file_type::not_found) return true;
    if (ec) {
        if (error) *error = "cannot open \"" + path_ + "\": " + ec.message();
        return false;
    }
    if (st.type() == std::filesystem::file_type::directory) {
        if (error) *error = "cannot open \"" + path_ + "\": it is a folder";
        return false;
    }
    // A device or pipe could feed bytes for ever.
    if (st.type() != std::filesystem::file_type::regular) {
        if (error) *error = "cannot open \"" + path_ + "\": not a regular file";
        return false;
    }
    const auto size = std::filesystem::file_size(path_, ec);
    if (!ec && size > kMaxIniFileSize) {
        if (error) *error = "cannot read \"" + path_ + "\": the file is too large";
        return false;
    }
    std::string content;
    if (!ReadWholeFile(path_, content, error)) return false;
    if (content.size() > kMaxIniFileSize) {
        if (error) *error = "cannot read \"" + path_ + "\": the file is too large";
        return false;
    }
    exists_ = true;
    return LoadFromText(content);
}

bool TIniFile::FindSection(std::string_view section, std::size_t& header, std::size_t& begin,
                           std::size_t& end, std::size_t from) const {
    const std::string_view name = Trim(section);
    std::size_t i = from;
    if (name.empty()) {
        if (from != 0) return false;
        header = std::string::npos;
        begin = 0;
    } else {
        while (i < lines_.size() &&
               !(lines_[i].kind == Kind::Section && SameName(lines_[i].name, name))) {
            ++i;
        }
        if (i == lines_.size()) return false;
        header = i;
        begin = ++i;
    }
    while (i < lines_.size() && lines_[i].kind != Kind::Section) ++i;
    end = i;
    return true;
}

std::optional<std::size_t> TIniFile::FindKey(std::string_view section, std::string_view key) const {
    std::size_t header = 0, begin = 0, end = 0;
    const std::string_view name = Trim(key);
    for (std::size_t from = 0; FindSection(section, header, begin, end, from); from = end) {
        for (std::size_t i = begin; i < end; ++i) {
            if (lines_[i].kind == Kind::Key && SameName(lines_[i].name, name)) return i;
        }
        if (end == lines_.size()) break;
    }
    return std::nullopt;
}

std::vector<std::string> TIniFile::Duplicates() const {
    struct Seen {
        std::string name;  // lower case
        std::string shown;
        std::vector<std::size_t> lines;
    };
    auto lower = [](std::string_view s) {
        std::string out(s);
        for (char& c : out) c = Lower(c);
        return out;
    };
    auto listed = [](const std::vector<std::size_t>& at) {
        std::string t;
        for (std::size_t n : at) t += (t.empty() ? "" : ", ") + std::to_string(n + 1);
        return t;
    };
    std::vector<Seen> sections;
    // Keys by section (lower-case section name), across repeated sections.
    std::vector<std::pair<std::string, std::vector<Seen>>> keys;
    std::string current;  // "" before the first header
    auto keysOf = [&](const std::string& sec) -> std::vector<Seen>& {
        for (auto& k : keys)
            if (k.first == sec) return k.second;
        keys.emplace_back(sec, std::vector<Seen>{});
        return keys.back().second;
    };
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& l = lines_[i];
        if (l.kind == Kind::Section) {
            current = lower(l.name);
            auto it = std::find_if(sections.begin(), sections.end(),
                                   [&](const Seen& s) { return s.name == current; });
            if (it == sections.end())
                sections.push_back({current, l.name, {i}});
            else
                it->lines.push_back(i);
        } else if (l.kind == Kind::Key) {
            std::vector<Seen>& ks = keysOf(current);
            const std::string k = lower(l.name);
            auto it =
                std::find_if(ks.begin(), ks.end(), [&](const Seen& s) { return s.name == k; });
            if (it == ks.end())
                ks.push_back({k, l.name, {i}});
            else
                it->lines.push_back(i);
        }
    }
    std::vector<std::string> out;
    for (const Seen& s : sections)
        if (s.lines.size() > 1)
            out.push_back("section [" + s.shown + "] appears " + std::to_string(s.lines.size()) +
                          " times (lines " + listed(s.lines) + ")");
    for (const auto& [sec, ks] : keys) {
        std::string secShown = sec;
        for (const Seen& s : sections)
            if (s.name == sec) secShown = s.shown;
        for (const Seen& k : ks)
            if (k.lines.size() > 1)
                out.push_back("key " + k.shown + " appears " + std::to_string(k.lines.size()) +
                              " times" + (sec.empty() ? "" : " in [" + secShown + "]") +
                              " (lines " + listed(k.lines) + "): the first value is used");
    }
    return out;
}

bool TIniFile::SectionExists(std::string_view section) const {
    std::size_t header = 0, begin = 0, end = 0;
    return FindSection(section, header, begin, end);
}

std::optional<std::string> TIniFile::Find(std::string_view section, std::string_view key) const {
    const auto at = FindKey(section, key);
    if (!at) return std::nullopt;
    const std::string_view text = lines_[*at].text;
    return std::string(Trim(text.substr(text.find('=') + 1)));
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
    return FindKey(section, key).has_value();
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
    auto v = Find(section, key);
    return v ? *v : std::string(def);
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                                   std::int32_t def) const {
    const auto v = Find(section, key);
    std::int32_t out = def;
    if (!v || !ParseIniInteger(*v, out)) return def;
    return out;
}

std::string TIniFile::Eol() const {
    return lines_.empty() || lines_.front().eol.empty() ? newFileEol_ : lines_.front().eol;
}

bool TIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (!WritableName(section, true) || !WritableName(key, false)) return false;
    std::string clean(Trim(value));
    for (char& c : clean) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    const std::string eol = Eol();

    if (const auto at = FindKey(section, key)) {
        // Keep the key as spelled and the blanks around '=' and before the
        // value; only the value itself changes.
        Line& line = lines_[*at];
        const auto eq = line.text.find('=');
        if (Trim(std::string_view(line.text).substr(eq + 1)) == clean) return true;
        std::size_t start = eq + 1;
        while (start < line.text.size() && (line.text[start] == ' ' || line.text[start] == '\t'))
            ++start;
        line.text = line.text.substr(0, start) + clean;
        return true;
    }

    std::size_t header = 0, begin = 0, end = 0;
    Line added = Parse(std::string(key) + "=" + clean, "", false);
    if (FindSection(section, header, begin, end)) {
        std::size_t after = end;  // insert before trailing blank lines of the section
        while (after > begin && Trim(lines_[after - 1].text).empty()) --after;
        if (lines_[after - 1].eol.empty()) lines_[after - 1].eol = eol;
        added.eol = eol;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after), std::move(added));
        return true;
    }
    if (!lines_.empty() && lines_.back().eol.empty()) lines_.back().eol = eol;
    lines_.push_back(Parse("[" + std::string(section) + "]", eol, lines_.empty()));
    added.eol = eol;
    lines_.push_back(std::move(added));
    return true;
}

std::string TIniFile::Text() const {
    std::string out;
    for (const Line& l : lines_) {
        out += l.text;
        out += l.eol;
    }
    return out;
}

SaveResult TIniFile::Save() const {
    return SaveFileAtomically(path_, Text());
}

}  // namespace orvan::config
