// SPDX-License-Identifier: GPL-3.0-or-later
// sha256-file FILE...: the cache's content hash, printed like sha256sum.
#include "integrity/contenthash.h"
#include "models/errors.h"

#include <cstdio>

using namespace Starvane;

int main(int argc, char **argv)
{
    int status = argc > 1 ? 0 : 2;
    for (int i = 1; i < argc; ++i) {
        try {
            std::printf("%s  %s\n", qPrintable(sha256HexOfFile(QString::fromLocal8Bit(argv[i]))), argv[i]);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
            status = 1;
        }
    }
    return status;
}
