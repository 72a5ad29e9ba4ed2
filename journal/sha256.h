#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

// SHA-256 from the platform: OpenSSL's libcrypto on Linux (the processor's SHA
// instructions where it has them), Windows' own CNG (bcrypt) on Windows, so that
// no library ships with the program; Qt's portable code only where neither is.
class Sha256
{
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void addData(QByteArrayView bytes);
    // The 32 bytes of the digest of everything added since the last reset; the
    // object then starts over, as after reset().
    QByteArray result();
    void reset();

    // The digest of `bytes`, in one call.
    static QByteArray hash(QByteArrayView bytes);
    // Which implementation hashes: "OpenSSL", "CNG" or "Qt".
    static const char* implementation();

  private:
    struct State;
    std::unique_ptr<State> m_state;
};
