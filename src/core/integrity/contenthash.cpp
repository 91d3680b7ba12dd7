// SPDX-License-Identifier: GPL-3.0-or-later
#include "contenthash.h"

#include "models/errors.h"

#include <QFile>
#include <memory>

// The digest-only interface: the EVP one initialises OpenSSL's provider tables on first use, which keeps
// about 2 MB more of the library resident in a program that stays in the tray for weeks. Both run
// the same CPU-specific code. Deprecated in OpenSSL 3 but still part of its API.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

namespace Starvane {

namespace {
constexpr qint64 chunkSize = 256 * 1024;
} // namespace

QString sha256HexOfFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) throw FileError(file.errorString());

    // OpenSSL uses the CPU's SHA extensions; Qt's own SHA-256 is several times slower on big files.
    SHA256_CTX ctx;
    if (SHA256_Init(&ctx) != 1) throw FileError(QStringLiteral("SHA-256 is not available."));

    std::unique_ptr<char[]> chunk(new char[chunkSize]);
    while (true) {
        const qint64 got = file.read(chunk.get(), chunkSize);
        if (got < 0) throw FileError(file.errorString());
        if (got == 0) break;
        SHA256_Update(&ctx, chunk.get(), std::size_t(got));
    }

    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256_Final(digest, &ctx);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), SHA256_DIGEST_LENGTH).toHex());
}

} // namespace Starvane
