// SPDX-License-Identifier: GPL-3.0-or-later
#include "integrity/jpegintegrityvalidator.h"
#include "jpegreference.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Starvane::JPEGVerdict fast = Starvane::JPEGIntegrityValidator::check(data, size);
    const Starvane::JPEGVerdict literal = Starvane::Testing::referenceJPEGVerdict(data, size);
    if (fast != literal) {
        std::fprintf(stderr, "verdicts differ: fast %s, literal %s\n", Starvane::jpegVerdictName(fast),
                     Starvane::jpegVerdictName(literal));
        std::abort();
    }
    return 0;
}
