// SPDX-License-Identifier: GPL-3.0-or-later
// A deliberately plain JPEG integrity check: one bit at a time, one step per rule, no tables beyond
// maxCode/valOffset. The fast validator must give exactly its verdict on every input.
#pragma once

#include "integrity/jpegintegrityvalidator.h"

#include <cstddef>
#include <cstdint>

namespace Starvane::Testing {

JPEGVerdict referenceJPEGVerdict(const std::uint8_t *data, std::size_t size);

} // namespace Starvane::Testing
