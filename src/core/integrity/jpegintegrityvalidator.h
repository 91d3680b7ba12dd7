// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>
#include <cstddef>
#include <cstdint>

namespace Starvane {

/// The three answers the validator can give about a JPEG file.
enum class JPEGVerdict { ok, invalidImageData, truncatedImageData };

/// "ok", "invalidImageData" or "truncatedImageData".
const char *jpegVerdictName(JPEGVerdict verdict);

/// Decides whether a JPEG file is complete: walks its marker segments and, for sequential frames,
/// Huffman-decodes every block of every scan (skipping coefficient bits, reconstructing nothing).
/// Progressive frames are accepted when their last AC refinement scan is present.
class JPEGIntegrityValidator
{
public:
    JPEGIntegrityValidator() = delete;

    /// Reads the file once and checks it. Throws WallpaperCacheError::invalidImageData() for headers
    /// that do not describe a usable JPEG, WallpaperCacheError::truncatedImageData() for a file that
    /// ends early or whose compressed data is damaged, FileError when the file cannot be read.
    static void validate(const QUrl &fileURL);

    /// The same decision for bytes already in memory. Never throws; safe on any input.
    static JPEGVerdict check(const std::uint8_t *data, std::size_t size) noexcept;

private:
    static std::size_t advanceToNextMarker(const std::uint8_t *data, std::size_t size, std::size_t from) noexcept;
};

} // namespace Starvane
