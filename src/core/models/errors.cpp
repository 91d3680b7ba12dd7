// SPDX-License-Identifier: GPL-3.0-or-later
#include "errors.h"

namespace Starvane {

const char *StarvaneError::what() const noexcept
{
    m_what = description().toUtf8();
    return m_what.constData();
}

QString HubbleAPIError::description() const
{
    switch (m_kind) {
    case Kind::httpStatus:
        return QStringLiteral("ESA/Hubble archive returned HTTP %1.").arg(m_number);
    case Kind::fileTooLarge:
        return QStringLiteral("Skipped oversized image (%1 MB).").arg(double(m_number) / 1048576.0, 0, 'f', 1);
    case Kind::ineligibleImage:
        return QStringLiteral("Skipped image: ") + m_reason + QLatin1Char('.');
    case Kind::invalidURL:
        return QStringLiteral("Could not construct the ESA/Hubble archive request.");
    case Kind::invalidResponse:
        return QStringLiteral("Received an unexpected response from the ESA/Hubble archive.");
    case Kind::emptyCatalog:
        return QStringLiteral("No high-resolution Hubble telescope wallpapers were found on this page.");
    case Kind::incompleteTransfer:
        return QStringLiteral("Image download ended before all bytes were received.");
    }
    return {};
}

QString WallpaperCacheError::description() const
{
    const QString size = QString::number(m_width) + QChar(0x00D7) + QString::number(m_height);
    switch (m_kind) {
    case Kind::imageTooSmall:
        return QStringLiteral("Image resolution (") + size + QStringLiteral(") is below the HD wallpaper threshold.");
    case Kind::unsuitableAspectRatio:
        return QStringLiteral("Image aspect ratio (") + size +
               QStringLiteral(") is not suitable for a widescreen desktop.");
    case Kind::invalidImageData:
        return QStringLiteral("Downloaded file was not a valid image.");
    case Kind::truncatedImageData:
        return QStringLiteral("Downloaded image was incomplete or corrupted.");
    }
    return {};
}

QString WallpaperApplyError::description() const
{
    switch (m_kind) {
    case Kind::fileMissing:
        return QStringLiteral("Wallpaper file could not be found at ") + m_file.fileName() + QLatin1Char('.');
    case Kind::displayUpdateFailed:
        // The text names the desktop rather than an operating system: on Linux it is the desktop
        // environment (or its compositor) that refused the picture.
        return QStringLiteral("The desktop could not update all displays: ") + m_underlying;
    case Kind::noDisplaysFound:
        return QStringLiteral("No active displays were found.");
    }
    return {};
}

QString describeError(const std::exception &e)
{
    if (auto s = dynamic_cast<const StarvaneError *>(&e))
        return s->description();
    return QString::fromLocal8Bit(e.what());
}

QString describeError(const std::exception_ptr &e)
{
    try {
        std::rethrow_exception(e);
    } catch (const std::exception &ex) {
        return describeError(ex);
    } catch (...) {
        return QStringLiteral("Unknown error.");
    }
}

} // namespace Starvane
