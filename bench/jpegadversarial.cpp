// SPDX-License-Identifier: GPL-3.0-or-later
// jpeg-adversarial KIND MIB FILE: writes one of the test corpus's worst cases for the validator, about MIB
// mebibytes long. KIND is "tables" (table definitions, no scan), "tables-scan" (the same, then one scan)
// or "scans" (one-block scans, each after a redefinition of its tables).
#include "jpegcorpus.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace Starvane::Testing;

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: jpeg-adversarial tables|tables-scan|scans MIB FILE\n");
        return 2;
    }
    const qsizetype bytes = qsizetype(std::atof(argv[2]) * 1024 * 1024);
    QByteArray jpeg;
    if (std::strcmp(argv[1], "tables") == 0)
        jpeg = manyTableDefinitionsJPEG(bytes, false);
    else if (std::strcmp(argv[1], "tables-scan") == 0)
        jpeg = manyTableDefinitionsJPEG(bytes, true);
    else if (std::strcmp(argv[1], "scans") == 0)
        jpeg = manyTinyScansJPEG(bytes);
    else
        return 2;
    QFile out(QString::fromLocal8Bit(argv[3]));
    if (!out.open(QIODevice::WriteOnly) || out.write(jpeg) != jpeg.size()) {
        std::fprintf(stderr, "jpeg-adversarial: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
