// SHA-256 through OpenSSL's libcrypto (EVP).
#include "sha256.h"

#include <openssl/evp.h>

namespace {
EVP_MD_CTX* context(const Sha256* s)
{
    return static_cast<EVP_MD_CTX*>(s->state);
}
}  // namespace

int Sha256::open_state()
{
    state = EVP_MD_CTX_new();
    return state ? 1 : 0;
}

void Sha256::release()
{
    EVP_MD_CTX_free(context(this));
    state = nullptr;
}

int Sha256::restart()
{
    return state && EVP_DigestInit_ex(context(this), EVP_sha256(), nullptr) == 1 ? 1 : 0;
}

int Sha256::update(const void* data, size_t size)
{
    return state && EVP_DigestUpdate(context(this), data, size) == 1 ? 1 : 0;
}

int Sha256::finish(std::string* hex)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (!state || EVP_DigestFinal_ex(context(this), digest, &n) != 1 || n != 32)
        return 0;
    *hex = sha256_hex_of(digest);
    return 1;
}
