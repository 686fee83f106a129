#include <nettle/sha2.h>

#include "features/Sha256.h"

namespace orvan::features {

struct TSha256::TState {
    sha256_ctx ctx;
};

TSha256::TSha256() : state_(std::make_unique<TState>()) {
    sha256_init(&state_->ctx);
}

TSha256::~TSha256() = default;

void TSha256::Update(const std::uint8_t* data, std::size_t size) {
    sha256_update(&state_->ctx, size, data);
}

TSha256::TDigest TSha256::Final() {
    TDigest d{};
    static_assert(SHA256_DIGEST_SIZE == std::tuple_size_v<TDigest>);
    sha256_digest(&state_->ctx, SHA256_DIGEST_SIZE, d.data());  // also starts afresh
    return d;
}

}  // namespace orvan::features
