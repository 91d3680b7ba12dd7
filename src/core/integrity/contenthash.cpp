// SPDX-License-Identifier: GPL-3.0-or-later
#include "contenthash.h"

#include "models/errors.h"

#include <QFile>
#include <memory>
#include <openssl/evp.h>

namespace Starvane {

namespace {
constexpr qint64 chunkSize = 256 * 1024;

struct DigestContextDeleter
{
    void operator()(EVP_MD_CTX *ctx) const { EVP_MD_CTX_free(ctx); }
};
} // namespace

QString sha256HexOfFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) throw FileError(file.errorString());

    // OpenSSL uses the CPU's SHA extensions; Qt's own SHA-256 is several times slower on big files.
    std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1)
        throw FileError(QStringLiteral("SHA-256 is not available."));

    std::unique_ptr<char[]> chunk(new char[chunkSize]);
    while (true) {
        const qint64 got = file.read(chunk.get(), chunkSize);
        if (got < 0) throw FileError(file.errorString());
        if (got == 0) break;
        EVP_DigestUpdate(ctx.get(), chunk.get(), std::size_t(got));
    }

    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    EVP_DigestFinal_ex(ctx.get(), digest, &digestLength);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), int(digestLength)).toHex());
}

} // namespace Starvane
