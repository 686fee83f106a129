#pragma once
// SHA-256 of the files the history indexes: the system's own implementation
// behind one small class (nettle on Linux, CNG's BCrypt on Windows).

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace orvan::features {

class TSha256 {
  public:
    using TDigest = std::array<std::uint8_t, 32>;

    TSha256();
    ~TSha256();
    TSha256(const TSha256&) = delete;
    TSha256& operator=(const TSha256&) = delete;

    void Update(const std::uint8_t* data, std::size_t size);
    // The digest of everything given; the object starts afresh after it.
    TDigest Final();

  private:
    struct TState;
    std::unique_ptr<TState> state_;
};

}  // namespace orvan::features
