#include <windows.h>
// After windows.h:
#include <bcrypt.h>

#include <cstdlib>

#include "features/Sha256.h"

namespace orvan::features {

struct TSha256::TState {
    BCRYPT_ALG_HANDLE alg = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
};

namespace {

// CNG failing to hash is a broken system, not a case the caller can handle:
// a wrong digest would be recorded as the truth.
void Check(NTSTATUS s) {
    if (s < 0) std::abort();
}

void Begin(BCRYPT_ALG_HANDLE alg, BCRYPT_HASH_HANDLE& hash) {
    Check(::BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0));
}

}  // namespace

TSha256::TSha256() : state_(std::make_unique<TState>()) {
    Check(::BCryptOpenAlgorithmProvider(&state_->alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0));
    Begin(state_->alg, state_->hash);
}

TSha256::~TSha256() {
    if (state_->hash != nullptr) ::BCryptDestroyHash(state_->hash);
    if (state_->alg != nullptr) ::BCryptCloseAlgorithmProvider(state_->alg, 0);
}

void TSha256::Update(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ULONG chunk = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        Check(::BCryptHashData(state_->hash, const_cast<PUCHAR>(data), chunk, 0));
        data += chunk;
        size -= chunk;
    }
}

TSha256::TDigest TSha256::Final() {
    TDigest d{};
    Check(::BCryptFinishHash(state_->hash, d.data(), static_cast<ULONG>(d.size()), 0));
    ::BCryptDestroyHash(state_->hash);
    state_->hash = nullptr;
    Begin(state_->alg, state_->hash);
    return d;
}

}  // namespace orvan::features
