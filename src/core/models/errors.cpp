// SPDX-License-Identifier: GPL-3.0-or-later
#include "errors.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace Starvane {

const char *StarvaneError::what() const noexcept
{
    m_what = description().toUtf8();
    return m_what.constData();
}

namespace {
// Every sentence an error may show, with %1 for what varies. Descriptions are built in English, which
// the log and `status --json` keep; the window and the command line translate them when they show them.
constexpr const char *kHttpStatus = QT_TRANSLATE_NOOP("Starvane::Errors", "ESA/Hubble archive returned HTTP %1.");
constexpr const char *kFileTooLarge = QT_TRANSLATE_NOOP("Starvane::Errors", "Skipped oversized image (%1 MB).");
constexpr const char *kIneligible = QT_TRANSLATE_NOOP("Starvane::Errors", "Skipped image: %1.");
constexpr const char *kInvalidURL =
    QT_TRANSLATE_NOOP("Starvane::Errors", "Could not construct the ESA/Hubble archive request.");
constexpr const char *kInvalidResponse =
    QT_TRANSLATE_NOOP("Starvane::Errors", "Received an unexpected response from the ESA/Hubble archive.");
constexpr const char *kEmptyCatalog =
    QT_TRANSLATE_NOOP("Starvane::Errors", "No high-resolution Hubble telescope wallpapers were found on this page.");
constexpr const char *kIncomplete =
    QT_TRANSLATE_NOOP("Starvane::Errors", "Image download ended before all bytes were received.");
constexpr const char *kTooSmall =
    QT_TRANSLATE_NOOP("Starvane::Errors", "Image resolution (%1) is below the HD wallpaper threshold.");
constexpr const char *kAspect =
    QT_TRANSLATE_NOOP("Starvane::Errors", "Image aspect ratio (%1) is not suitable for a widescreen desktop.");
constexpr const char *kInvalidData = QT_TRANSLATE_NOOP("Starvane::Errors", "Downloaded file was not a valid image.");
constexpr const char *kTruncated =
    QT_TRANSLATE_NOOP("Starvane::Errors", "Downloaded image was incomplete or corrupted.");
constexpr const char *kFileMissing =
    QT_TRANSLATE_NOOP("Starvane::Errors", "Wallpaper file could not be found at %1.");
constexpr const char *kDisplayUpdate =
    QT_TRANSLATE_NOOP("Starvane::Errors", "The desktop could not update all displays: %1");
constexpr const char *kNoDisplays = QT_TRANSLATE_NOOP("Starvane::Errors", "No active displays were found.");
constexpr const char *kUnknown = QT_TRANSLATE_NOOP("Starvane::Errors", "Unknown error.");

// The store's own failures.
constexpr const char *kNoConnection = QT_TRANSLATE_NOOP("Starvane::Errors", "There is no network connection.");
constexpr const char *kNoKeptPictures = QT_TRANSLATE_NOOP(
    "Starvane::Errors", "No kept pictures to show. Keep a picture first, or rotate among all pictures.");
constexpr const char *kCannotShowAgain = QT_TRANSLATE_NOOP("Starvane::Errors", "This picture can no longer be shown.");
constexpr const char *kKeptPictureGone = QT_TRANSLATE_NOOP("Starvane::Errors", "The kept picture %1 is gone.");

// Why an image was skipped, as the detail check says it (the value of kIneligible).
constexpr const char *kNotObservation = QT_TRANSLATE_NOOP("Starvane::Errors", "not a single Hubble observation");
constexpr const char *kOtherObservatory =
    QT_TRANSLATE_NOOP("Starvane::Errors", "contains non-Hubble observatory data (%1)");

QString english(const char *sentence)
{
    return QString::fromUtf8(sentence);
}

} // namespace

QString HubbleAPIError::description() const
{
    // One table of sentences for every kind: the value's.
    return ChangeError::from(std::make_exception_ptr(*this)).description();
}

QString WallpaperCacheError::description() const
{
    // One table of sentences for every kind: the value's.
    return ChangeError::from(std::make_exception_ptr(*this)).description();
}

QString WallpaperApplyError::description() const
{
    // One table of sentences for every kind: the value's.
    return ChangeError::from(std::make_exception_ptr(*this)).description();
}

QString ineligibleBecauseNotObservation()
{
    return english(kNotObservation);
}

QString ineligibleBecauseOtherObservatory(const QString &observatory)
{
    return english(kOtherObservatory).arg(observatory);
}

ChangeError ChangeError::from(const std::exception_ptr &e)
{
    using K = ChangeError::Kind;
    try {
        std::rethrow_exception(e);
    } catch (const HubbleAPIError &error) {
        static constexpr K kinds[] = {K::httpStatus,      K::fileTooLarge,  K::ineligibleImage,   K::invalidURL,
                                      K::invalidResponse, K::emptyCatalog, K::incompleteTransfer};
        return ChangeError{kinds[int(error.kind())], error.number(), 0, error.reason()};
    } catch (const WallpaperCacheError &error) {
        static constexpr K kinds[] = {K::imageTooSmall, K::unsuitableAspectRatio, K::invalidImageData,
                                      K::truncatedImageData};
        return ChangeError{kinds[int(error.kind())], error.width(), error.height(), {}};
    } catch (const WallpaperApplyError &error) {
        switch (error.kind()) {
        case WallpaperApplyError::Kind::fileMissing:
            return of(K::fileMissing, error.file().fileName());
        case WallpaperApplyError::Kind::displayUpdateFailed:
            return of(K::displayUpdateFailed, error.underlying());
        case WallpaperApplyError::Kind::noDisplaysFound:
            return of(K::noDisplaysFound);
        }
    } catch (const NetworkError &error) {
        ChangeError value = of(K::network, error.description());
        value.network = error.failure();
        return value;
    } catch (const FileError &error) {
        return of(K::file, error.description());
    } catch (const ChangeFailure &failure) {
        return failure.error();
    } catch (const std::exception &error) {
        return of(K::other, describeError(error));
    } catch (...) {
    }
    return of(K::other, english(kUnknown));
}

namespace {
// Every sentence with what varies in it, in English or in the user's language.
QString sentence(const ChangeError &e, bool localized)
{
    using K = ChangeError::Kind;
    const auto say = [localized](const char *text) {
        return localized ? QCoreApplication::translate("Starvane::Errors", text) : english(text);
    };
    QLocale locale = localized ? QLocale() : QLocale::c();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const auto size = [&] {
        QString text = locale.toString(e.number);
        text.append(QChar(0x00D7));
        text.append(locale.toString(e.height));
        return text;
    };
    switch (e.kind) {
    case K::httpStatus:
        return say(kHttpStatus).arg(locale.toString(e.number));
    case K::fileTooLarge:
        return say(kFileTooLarge).arg(locale.toString(double(e.number) / 1048576.0, 'f', 1));
    case K::ineligibleImage: {
        // The reasons the detail check gives are ours; another (an observatory's name inside one) is
        // shown as the archive check wrote it.
        QString reason = e.text;
        if (localized) {
            if (reason == english(kNotObservation)) {
                reason = say(kNotObservation);
            } else {
                static const QRegularExpression other(QStringLiteral("^contains non-Hubble observatory data \\((.*)\\)$"));
                if (const QRegularExpressionMatch m = other.match(reason); m.hasMatch())
                    reason = say(kOtherObservatory).arg(m.captured(1));
            }
        }
        return say(kIneligible).arg(reason);
    }
    case K::invalidURL:
        return say(kInvalidURL);
    case K::invalidResponse:
        return say(kInvalidResponse);
    case K::emptyCatalog:
        return say(kEmptyCatalog);
    case K::incompleteTransfer:
        return say(kIncomplete);
    case K::imageTooSmall:
        return say(kTooSmall).arg(size());
    case K::unsuitableAspectRatio:
        return say(kAspect).arg(size());
    case K::invalidImageData:
        return say(kInvalidData);
    case K::truncatedImageData:
        return say(kTruncated);
    case K::fileMissing:
        return say(kFileMissing).arg(e.text);
    case K::displayUpdateFailed:
        return say(kDisplayUpdate).arg(e.text);
    case K::noDisplaysFound:
        return say(kNoDisplays);
    case K::noConnection:
        return say(kNoConnection);
    case K::noKeptPictures:
        return say(kNoKeptPictures);
    case K::cannotShowAgain:
        return say(kCannotShowAgain);
    case K::keptPictureGone:
        return say(kKeptPictureGone).arg(e.text);
    case K::network:
    case K::file:
    case K::other:
        return e.text;
    }
    return e.text;
}
} // namespace

QString ChangeError::description() const
{
    return sentence(*this, false);
}

QString ChangeError::localizedDescription() const
{
    return sentence(*this, true);
}

QString ChangeError::code() const
{
    static const char *const names[] = {
        "httpStatus",       "fileTooLarge",       "ineligibleImage", "invalidURL",         "invalidResponse",
        "emptyCatalog",     "incompleteTransfer", "imageTooSmall",   "unsuitableAspectRatio", "invalidImageData",
        "truncatedImageData", "fileMissing",      "displayUpdateFailed", "noDisplaysFound", "network",
        "file",             "noConnection",       "noKeptPictures",     "cannotShowAgain", "keptPictureGone",    "other"};
    static const char *const failures[] = {"offline", "timedOut", "hostNotFound", "refused", "insecure", "other"};
    QString name = QString::fromLatin1(names[int(kind)]);
    if (kind == Kind::network) name += QLatin1Char('.') + QString::fromLatin1(failures[int(network)]);
    return name;
}

QJsonObject ChangeError::arguments() const
{
    return QJsonObject{{QStringLiteral("number"), double(number)},
                       {QStringLiteral("height"), double(height)},
                       {QStringLiteral("text"), text}};
}

std::optional<ChangeError> ChangeError::fromCode(const QString &code, const QJsonObject &arguments)
{
    for (int k = 0; k <= int(Kind::other); ++k) {
        for (int n = 0; n <= int(NetworkFailure::other); ++n) {
            const bool network = Kind(k) == Kind::network;
            ChangeError e{Kind(k), qint64(arguments.value(QStringLiteral("number")).toDouble()),
                          qint64(arguments.value(QStringLiteral("height")).toDouble()),
                          arguments.value(QStringLiteral("text")).toString(),
                          network ? NetworkFailure(n) : NetworkFailure::other};
            if (e.code() == code) return e;
            if (e.kind != Kind::network) break;
        }
    }
    return std::nullopt;
}

bool ChangeError::isConnectionFailure() const
{
    return kind == Kind::network && (network == NetworkFailure::offline || network == NetworkFailure::hostNotFound);
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
        return english(kUnknown);
    }
}

} // namespace Starvane
