#include "monitor/Md5.h"

#include <openssl/evp.h>

#include <new>
#include <stdexcept>

namespace quernel {

struct TMd5::Context {
    EVP_MD_CTX* ctx = nullptr;
    ~Context() { EVP_MD_CTX_free(ctx); }
};

namespace {

[[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string("MD5: ") + what + " failed");
}

}  // namespace

TMd5::TMd5() : context_(std::make_unique<Context>()) {
    context_->ctx = EVP_MD_CTX_new();
    if (context_->ctx == nullptr) throw std::bad_alloc();
    Reset();
}

TMd5::~TMd5() = default;
TMd5::TMd5(TMd5&& other) noexcept = default;
TMd5& TMd5::operator=(TMd5&& other) noexcept = default;

void TMd5::Reset() {
    if (EVP_DigestInit_ex(context_->ctx, EVP_md5(), nullptr) != 1) Fail("EVP_DigestInit_ex");
}

void TMd5::Update(ByteView data) {
    if (data.empty()) return;
    if (EVP_DigestUpdate(context_->ctx, data.data(), data.size()) != 1) Fail("EVP_DigestUpdate");
}

TDigest TMd5::Digest() const {
    // Finishing consumes a context, so a copy is finished and the running one goes on.
    Context copy;
    copy.ctx = EVP_MD_CTX_new();
    if (copy.ctx == nullptr) throw std::bad_alloc();
    if (EVP_MD_CTX_copy_ex(copy.ctx, context_->ctx) != 1) Fail("EVP_MD_CTX_copy_ex");
    TDigest out{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(copy.ctx, out.data(), &length) != 1 || length != out.size()) {
        Fail("EVP_DigestFinal_ex");
    }
    return out;
}

TDigest Md5Digest(ByteView data) {
    TMd5 md5;
    md5.Update(data);
    return md5.Digest();
}

}  // namespace quernel
