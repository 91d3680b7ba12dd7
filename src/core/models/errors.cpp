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

// Network and HTTP failures in plain words: what happened and what Starvane does about it. The
// transport's own words stay in the log and in `status --json`.
constexpr const char *kOffline =
    QT_TRANSLATE_NOOP("Starvane::Errors", "No internet connection. Starvane will try again when you are back online.");
constexpr const char *kTimedOut =
    QT_TRANSLATE_NOOP("Starvane::Errors", "The ESA/Hubble archive did not answer in time.");
constexpr const char *kInsecure =
    QT_TRANSLATE_NOOP("Starvane::Errors", "The archive's secure connection could not be verified.");
constexpr const char *kServerError = QT_TRANSLATE_NOOP("Starvane::Errors", "The archive returned an error (HTTP %1).");
constexpr const char *kServerErrorRetry =
    QT_TRANSLATE_NOOP("Starvane::Errors", "The archive returned an error (HTTP %1). Trying again in %2 minutes.");

// Why an image was skipped, as the detail check says it (the value of kIneligible).
constexpr const char *kNotObservation = QT_TRANSLATE_NOOP("Starvane::Errors", "not a single Hubble observation");
constexpr const char *kOtherObservatory =
    QT_TRANSLATE_NOOP("Starvane::Errors", "contains non-Hubble observatory data (%1)");
constexpr const char *kReasons[] = {kNotObservation, kOtherObservatory};

constexpr const char *kAll[] = {kHttpStatus,   kFileTooLarge, kIneligible,    kInvalidURL,       kInvalidResponse,
                                kEmptyCatalog, kIncomplete,   kTooSmall,      kAspect,           kInvalidData,
                                kTruncated,    kFileMissing,  kDisplayUpdate, kNoDisplays,       kUnknown,
                                kOffline,      kTimedOut,     kInsecure,      kServerErrorRetry, kServerError};

QString english(const char *sentence)
{
    return QString::fromUtf8(sentence);
}

// A number the English text wrote ("12.5") the way the user's language writes it ("12,5").
QString localNumber(const QString &text)
{
    bool isNumber = false;
    const double value = QLocale::c().toDouble(text, &isNumber);
    if (!isNumber)
        return text;
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    return locale.toString(value, 'f', point < 0 ? 0 : int(text.size() - point - 1));
}
} // namespace

QString HubbleAPIError::description() const
{
    switch (m_kind) {
    case Kind::httpStatus:
        return english(kHttpStatus).arg(m_number);
    case Kind::fileTooLarge:
        return english(kFileTooLarge).arg(double(m_number) / 1048576.0, 0, 'f', 1);
    case Kind::ineligibleImage:
        return english(kIneligible).arg(m_reason);
    case Kind::invalidURL:
        return english(kInvalidURL);
    case Kind::invalidResponse:
        return english(kInvalidResponse);
    case Kind::emptyCatalog:
        return english(kEmptyCatalog);
    case Kind::incompleteTransfer:
        return english(kIncomplete);
    }
    return {};
}

QString WallpaperCacheError::description() const
{
    const QString size = QString::number(m_width) + QChar(0x00D7) + QString::number(m_height);
    switch (m_kind) {
    case Kind::imageTooSmall:
        return english(kTooSmall).arg(size);
    case Kind::unsuitableAspectRatio:
        return english(kAspect).arg(size);
    case Kind::invalidImageData:
        return english(kInvalidData);
    case Kind::truncatedImageData:
        return english(kTruncated);
    }
    return {};
}

QString WallpaperApplyError::description() const
{
    switch (m_kind) {
    case Kind::fileMissing:
        return english(kFileMissing).arg(m_file.fileName());
    case Kind::displayUpdateFailed:
        // The text names the desktop rather than an operating system: on Linux it is the desktop
        // environment (or its compositor) that refused the picture.
        return english(kDisplayUpdate).arg(m_underlying);
    case Kind::noDisplaysFound:
        return english(kNoDisplays);
    }
    return {};
}

namespace {
// The translation of the first of `sentences` that `text` is an instance of, or nothing. Each "%N" of a
// sentence matches some text, which is carried over into the translation.
template<std::size_t N>
std::optional<QString> translateSentence(const QString &text, const char *const (&sentences)[N])
{
    static const QRegularExpression hole(QStringLiteral("%(\\d)"));
    for (const char *sentence : sentences) {
        const QString pattern = english(sentence);
        QString expression = QStringLiteral("^");
        QList<int> order;
        qsizetype from = 0;
        for (QRegularExpressionMatchIterator it = hole.globalMatch(pattern); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            expression +=
                QRegularExpression::escape(pattern.mid(from, m.capturedStart() - from)) + QStringLiteral("(.*)");
            order << m.captured(1).toInt();
            from = m.capturedEnd();
        }
        expression += QRegularExpression::escape(pattern.mid(from)) + QStringLiteral("$");
        const QRegularExpressionMatch match =
            QRegularExpression(expression, QRegularExpression::DotMatchesEverythingOption).match(text);
        if (!match.hasMatch()) continue;
        QStringList values(order.size());
        for (qsizetype i = 0; i < order.size(); ++i) {
            const QString value = match.captured(int(i) + 1);
            const qsizetype slot = std::clamp<qsizetype>(order[i] - 1, 0, order.size() - 1);
            values[slot] =
                sentence == kIneligible ? translateSentence(value, kReasons).value_or(value) : localNumber(value);
        }
        QString translated = QCoreApplication::translate("Starvane::Errors", sentence);
        for (const QString &value : values)
            translated = translated.arg(value);
        return translated;
    }
    return std::nullopt;
}
} // namespace

QString ineligibleBecauseNotObservation()
{
    return english(kNotObservation);
}

QString ineligibleBecauseOtherObservatory(const QString &observatory)
{
    return english(kOtherObservatory).arg(observatory);
}

QString localizedErrorMessage(const QString &description)
{
    // Platform texts (network, files) come as the platform wrote them.
    return translateSentence(description, kAll).value_or(description);
}

QString offlineErrorMessage()
{
    return english(kOffline);
}

std::optional<QString> plainErrorMessage(const std::exception_ptr &e, std::optional<int> retryMinutes)
{
    try {
        std::rethrow_exception(e);
    } catch (const NetworkError &error) {
        // Codes of QNetworkReply::NetworkError; this library does not link the network module.
        switch (error.code()) {
        case 3:  // host not found
        case 7:  // temporary network failure
        case 8:  // network session failed
        case 99: // unknown network error
            return english(kOffline);
        case 4: // timed out
        case 5: // a transfer time-out reports itself as cancelled; real cancellations never get here
            return english(kTimedOut);
        case 6:  // TLS handshake failed
        case 11: // redirected to plain HTTP
            return english(kInsecure);
        default:
            return std::nullopt;
        }
    } catch (const HubbleAPIError &error) {
        if (error.kind() != HubbleAPIError::Kind::httpStatus) return std::nullopt;
        if (retryMinutes) return english(kServerErrorRetry).arg(error.number()).arg(*retryMinutes);
        return english(kServerError).arg(error.number());
    } catch (...) {
        return std::nullopt;
    }
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
