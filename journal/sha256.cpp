#include "journal/sha256.h"

#if defined(Q_OS_WIN)
#include <qt_windows.h>

#include <bcrypt.h>
#elif defined(RINDELL_SHA256_OPENSSL)
// The low-level SHA-256 calls, deprecated in OpenSSL 3 but kept by it, and the
// same algorithm code as the EVP interface: fetching a digest through EVP first
// sets up OpenSSL's library context, reads its configuration file and loads its
// providers, about a twentieth of the whole start-up's instructions.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>
#else
#include <QCryptographicHash>
#endif

#include <algorithm>
#include <cstdlib>

#if defined(Q_OS_WIN)

namespace {

// Opened once for the process; CNG's providers are meant to be kept.
BCRYPT_ALG_HANDLE algorithm()
{
    static const BCRYPT_ALG_HANDLE handle = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        if (!BCRYPT_SUCCESS(
                BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
            std::abort(); // every Windows since Vista has it: a hash never silently missing
        return opened;
    }();
    return handle;
}

} // namespace

struct Sha256::State
{
    BCRYPT_HASH_HANDLE hash = nullptr;
};

Sha256::Sha256() : m_state(std::make_unique<State>())
{
    reset();
}

Sha256::~Sha256()
{
    BCryptDestroyHash(m_state->hash);
}

void Sha256::reset()
{
    if (m_state->hash)
        BCryptDestroyHash(m_state->hash);
    m_state->hash = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm(), &m_state->hash, nullptr, 0, nullptr, 0, 0)))
        std::abort();
}

void Sha256::addData(QByteArrayView bytes)
{
    // CNG takes at most 4 GiB a call.
    while (!bytes.isEmpty()) {
        const qsizetype piece = std::min<qsizetype>(bytes.size(), qsizetype(1) << 30);
        BCryptHashData(m_state->hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                       ULONG(piece), 0);
        bytes = bytes.sliced(piece);
    }
}

QByteArray Sha256::result()
{
    QByteArray digest(32, Qt::Uninitialized);
    BCryptFinishHash(m_state->hash, reinterpret_cast<PUCHAR>(digest.data()), 32, 0);
    reset();
    return digest;
}

const char* Sha256::implementation()
{
    return "CNG";
}

#elif defined(RINDELL_SHA256_OPENSSL)

struct Sha256::State
{
    SHA256_CTX context;
};

Sha256::Sha256() : m_state(std::make_unique<State>())
{
    reset();
}

Sha256::~Sha256() = default;

void Sha256::reset()
{
    if (SHA256_Init(&m_state->context) != 1)
        std::abort();
}

void Sha256::addData(QByteArrayView bytes)
{
    SHA256_Update(&m_state->context, bytes.data(), size_t(bytes.size()));
}

QByteArray Sha256::result()
{
    QByteArray digest(32, Qt::Uninitialized);
    SHA256_Final(reinterpret_cast<unsigned char*>(digest.data()), &m_state->context);
    reset();
    return digest;
}

const char* Sha256::implementation()
{
    return "OpenSSL";
}

#else

struct Sha256::State
{
    QCryptographicHash hash{QCryptographicHash::Sha256};
};

Sha256::Sha256() : m_state(std::make_unique<State>()) {}

Sha256::~Sha256() = default;

void Sha256::reset()
{
    m_state->hash.reset();
}

void Sha256::addData(QByteArrayView bytes)
{
    m_state->hash.addData(bytes);
}

QByteArray Sha256::result()
{
    const QByteArray digest = m_state->hash.result();
    reset();
    return digest;
}

const char* Sha256::implementation()
{
    return "Qt";
}

#endif

QByteArray Sha256::hash(QByteArrayView bytes)
{
    Sha256 hasher;
    hasher.addData(bytes);
    return hasher.result();
}
