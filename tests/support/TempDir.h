#pragma once
// A fresh folder under the system's temporary folder, removed with its content.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace orvan::test {

class TempDir {
  public:
    TempDir() {
        // A new folder of a random name: create_directory says whether it
        // was made here (and not found), on every system.
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        std::random_device rd;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const auto candidate = base / ("orvan-test-" + std::to_string(rd()));
            std::error_code ec;
            if (std::filesystem::create_directory(candidate, ec)) {
                path_ = candidate;
                return;
            }
        }
        std::abort();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }
    std::size_t EntryCount() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path_),
                                                      std::filesystem::directory_iterator()));
    }

  private:
    std::filesystem::path path_;
};

// Creates an empty file (or leaves one there) and gives its path back.
inline std::string TouchFile(const std::string& path) {
    std::ofstream(path, std::ios::binary | std::ios::app).flush();
    return path;
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace orvan::test
