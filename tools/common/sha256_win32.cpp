// SHA-256 through the system's CNG (bcrypt.dll): the algorithm opened once
// per object, a hash object per message.
#include "sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <new>

namespace {
struct CngHash {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
};
CngHash* cng(const Sha256* s)
{
    return static_cast<CngHash*>(s->state);
}
}  // namespace

int Sha256::open_state()
{
    CngHash* c = new (std::nothrow) CngHash;
    if (!c)
        return 0;
    state = c;
    if (BCryptOpenAlgorithmProvider(&c->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
        c->algorithm = nullptr;
        release();
        return 0;
    }
    return 1;
}

void Sha256::release()
{
    CngHash* c = cng(this);
    if (!c)
        return;
    if (c->hash)
        BCryptDestroyHash(c->hash);
    if (c->algorithm)
        BCryptCloseAlgorithmProvider(c->algorithm, 0);
    delete c;
    state = nullptr;
}

int Sha256::restart()
{
    CngHash* c = cng(this);
    if (!c || !c->algorithm)
        return 0;
    if (c->hash)
        BCryptDestroyHash(c->hash);
    c->hash = nullptr;
    if (BCryptCreateHash(c->algorithm, &c->hash, nullptr, 0, nullptr, 0, 0) != 0) {
        c->hash = nullptr;
        return 0;
    }
    return 1;
}

int Sha256::update(const void* data, size_t size)
{
    CngHash* c = cng(this);
    if (!c || !c->hash)
        return 0;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    // BCryptHashData takes a ULONG count: large buffers go in pieces.
    while (size > 0) {
        ULONG n = size > 0x40000000u ? 0x40000000u : (ULONG)size;
        if (BCryptHashData(c->hash, const_cast<PUCHAR>(p), n, 0) != 0)
            return 0;
        p += n;
        size -= n;
    }
    return 1;
}

int Sha256::finish(std::string* hex)
{
    CngHash* c = cng(this);
    unsigned char digest[32];
    if (!c || !c->hash || BCryptFinishHash(c->hash, digest, sizeof digest, 0) != 0)
        return 0;
    BCryptDestroyHash(c->hash);
    c->hash = nullptr;
    *hex = sha256_hex_of(digest);
    return 1;
}
