// SPDX-License-Identifier: GPL-3.0-or-later
// jpeg-validate FILE...: prints "<verdict>\t<path>" per file; exit status 0 only when all pass.
#include "integrity/jpegintegrityvalidator.h"
#include "models/errors.h"

#include <QString>
#include <QUrl>
#include <cstdio>

using namespace Starvane;

int main(int argc, char **argv)
{
    int status = argc > 1 ? 0 : 2;
    for (int i = 1; i < argc; ++i) {
        const char *verdict = "ok";
        try {
            JPEGIntegrityValidator::validate(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i])));
        } catch (const WallpaperCacheError &e) {
            verdict =
                e.kind() == WallpaperCacheError::Kind::invalidImageData ? "invalidImageData" : "truncatedImageData";
            status = 1;
        } catch (const std::exception &e) {
            std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
            verdict = "error";
            status = 1;
        }
        std::printf("%s\t%s\n", verdict, argv[i]);
    }
    return status;
}
