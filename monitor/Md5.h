#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "host/Bytes.h"

namespace quernel {

using TDigest = std::array<std::uint8_t, 16>;

// A running MD5 (RFC 1321) over bytes fed in pieces. Digest() can be asked at any point and
// feeding can go on afterwards, so the digest of a growing prefix is kept up to date at the
// cost of the new bytes alone.
class TMd5 {
  public:
    TMd5();
    ~TMd5();
    TMd5(TMd5&& other) noexcept;
    TMd5& operator=(TMd5&& other) noexcept;
    TMd5(const TMd5&) = delete;
    TMd5& operator=(const TMd5&) = delete;

    // Back to the digest of the empty input.
    void Reset();
    void Update(ByteView data);
    // The digest of everything fed since the last Reset.
    TDigest Digest() const;

  private:
    struct Context;
    std::unique_ptr<Context> context_;
};

// The MD5 digest of the bytes.
TDigest Md5Digest(ByteView data);

}  // namespace quernel
