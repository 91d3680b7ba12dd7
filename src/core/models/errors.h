// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <exception>
#include <optional>

namespace Starvane {

/// Base of every error the core throws. `description()` is the sentence shown to the user.
class StarvaneError : public std::exception
{
public:
    virtual QString description() const = 0;
    const char *what() const noexcept override;

private:
    mutable QByteArray m_what;
};

/// Failures of the archive client.
class HubbleAPIError : public StarvaneError
{
public:
    enum class Kind { httpStatus, fileTooLarge, ineligibleImage, invalidURL, invalidResponse, emptyCatalog, incompleteTransfer };

    static HubbleAPIError httpStatus(int code) { return {Kind::httpStatus, code, {}}; }
    static HubbleAPIError fileTooLarge(qint64 bytes) { return {Kind::fileTooLarge, bytes, {}}; }
    static HubbleAPIError ineligibleImage(const QString &reason) { return {Kind::ineligibleImage, 0, reason}; }
    static HubbleAPIError invalidURL() { return {Kind::invalidURL, 0, {}}; }
    static HubbleAPIError invalidResponse() { return {Kind::invalidResponse, 0, {}}; }
    static HubbleAPIError emptyCatalog() { return {Kind::emptyCatalog, 0, {}}; }
    static HubbleAPIError incompleteTransfer() { return {Kind::incompleteTransfer, 0, {}}; }

    Kind kind() const { return m_kind; }
    /// Status code for httpStatus, byte count for fileTooLarge, 0 otherwise.
    qint64 number() const { return m_number; }
    QString reason() const { return m_reason; }
    QString description() const override;
    bool operator==(const HubbleAPIError &o) const
    {
        return m_kind == o.m_kind && m_number == o.m_number && m_reason == o.m_reason;
    }

private:
    HubbleAPIError(Kind k, qint64 n, QString r) : m_kind(k), m_number(n), m_reason(std::move(r)) {}
    Kind m_kind;
    qint64 m_number;
    QString m_reason;
};

/// Failures of the wallpaper cache and the JPEG validator.
class WallpaperCacheError : public StarvaneError
{
public:
    enum class Kind { imageTooSmall, unsuitableAspectRatio, invalidImageData, truncatedImageData };

    static WallpaperCacheError imageTooSmall(qint64 w, qint64 h) { return {Kind::imageTooSmall, w, h}; }
    static WallpaperCacheError unsuitableAspectRatio(qint64 w, qint64 h) { return {Kind::unsuitableAspectRatio, w, h}; }
    static WallpaperCacheError invalidImageData() { return {Kind::invalidImageData, 0, 0}; }
    static WallpaperCacheError truncatedImageData() { return {Kind::truncatedImageData, 0, 0}; }

    Kind kind() const { return m_kind; }
    qint64 width() const { return m_width; }
    qint64 height() const { return m_height; }
    QString description() const override;
    bool operator==(const WallpaperCacheError &o) const
    {
        return m_kind == o.m_kind && m_width == o.m_width && m_height == o.m_height;
    }

private:
    WallpaperCacheError(Kind k, qint64 w, qint64 h) : m_kind(k), m_width(w), m_height(h) {}
    Kind m_kind;
    qint64 m_width;
    qint64 m_height;
};

/// Failures of the desktop applier.
class WallpaperApplyError : public StarvaneError
{
public:
    enum class Kind { fileMissing, displayUpdateFailed, noDisplaysFound };

    static WallpaperApplyError fileMissing(const QUrl &file) { return {Kind::fileMissing, file, {}}; }
    static WallpaperApplyError displayUpdateFailed(const QString &underlying) { return {Kind::displayUpdateFailed, {}, underlying}; }
    static WallpaperApplyError noDisplaysFound() { return {Kind::noDisplaysFound, {}, {}}; }

    Kind kind() const { return m_kind; }
    QUrl file() const { return m_file; }
    QString underlying() const { return m_underlying; }
    QString description() const override;
    bool operator==(const WallpaperApplyError &o) const
    {
        return m_kind == o.m_kind && m_file == o.m_file && m_underlying == o.m_underlying;
    }

private:
    WallpaperApplyError(Kind k, QUrl f, QString u) : m_kind(k), m_file(std::move(f)), m_underlying(std::move(u)) {}
    Kind m_kind;
    QUrl m_file;
    QString m_underlying;
};

/// What kind of transport failure a NetworkError is, as the archive layer sorts Qt Network's codes.
enum class NetworkFailure {
    /// No route, the network went away, or the session failed.
    offline,
    /// The server did not answer in time (a transfer time-out included).
    timedOut,
    /// The name server does not know the host.
    hostNotFound,
    /// The host refused or closed the connection.
    refused,
    /// The secure connection could not be verified, or a redirect left HTTPS.
    insecure,
    other,
};

/// A transport failure passed through from Qt Network, with Qt's own text.
class NetworkError : public StarvaneError
{
public:
    NetworkError(NetworkFailure failure, QString text) : m_failure(failure), m_text(std::move(text)) {}
    NetworkFailure failure() const { return m_failure; }
    QString description() const override { return m_text; }

private:
    NetworkFailure m_failure;
    QString m_text;
};

/// A file-system failure passed through with the operating system's text.
class FileError : public StarvaneError
{
public:
    explicit FileError(QString text) : m_text(std::move(text)) {}
    QString description() const override { return m_text; }

private:
    QString m_text;
};

/// Thrown at a suspension point whose task was cancelled. Never shown to the user.
class CancelledError : public StarvaneError
{
public:
    QString description() const override { return QStringLiteral("The operation was cancelled."); }
};

/// The user-facing text of any exception that reaches a boundary.
QString describeError(const std::exception &e);
QString describeError(const std::exception_ptr &e);

/// Why a change failed, as a value the store keeps and the interface words: the kind, what varies in
/// it, and the English description the log and `status --json` keep. Made from any exception that ends
/// a change; the text a person reads is made from the kind, in their language, when it is shown.
struct ChangeError
{
    enum class Kind {
        // The archive's.
        httpStatus, fileTooLarge, ineligibleImage, invalidURL, invalidResponse, emptyCatalog, incompleteTransfer,
        // The cache's.
        imageTooSmall, unsuitableAspectRatio, invalidImageData, truncatedImageData,
        // The desktop's.
        fileMissing, displayUpdateFailed, noDisplaysFound,
        // Passed through from the platform with its own text.
        network, file,
        // The store's own.
        noConnection, noKeptPictures, cannotShowAgain, keptPictureGone,
        /// Already in the user's words (a kept picture that could not be copied, say).
        other,
    };

    Kind kind = Kind::other;
    /// The status code, the byte count, or the width.
    qint64 number = 0;
    qint64 height = 0;
    /// The reason, the underlying text, the file or the platform's words.
    QString text;
    NetworkFailure network = NetworkFailure::other;

    bool operator==(const ChangeError &) const = default;

    static ChangeError from(const std::exception_ptr &e);
    static ChangeError of(Kind kind, QString text = {}) { return ChangeError{kind, 0, 0, std::move(text)}; }

    /// The English sentence: the archive's and desktop's kinds say exactly what their error says.
    QString description() const;
    /// The same sentence in the user's language (platform texts stay as the platform gave them).
    QString localizedDescription() const;
    /// A stable name for scripts: "httpStatus", "network.hostNotFound", "fileMissing"…
    QString code() const;
    /// The network failures that mean "no connection" rather than a fault of the archive.
    bool isConnectionFailure() const;
    /// What varies in it, for another process to word it ({"number", "height", "text"}).
    QJsonObject arguments() const;
    /// Made back from code() and arguments(); absent for a code this build does not know.
    static std::optional<ChangeError> fromCode(const QString &code, const QJsonObject &arguments);
};

/// A failure of the store's own, thrown where a change fails for it.
class ChangeFailure : public StarvaneError
{
public:
    explicit ChangeFailure(ChangeError error) : m_error(std::move(error)) {}
    const ChangeError &error() const { return m_error; }
    QString description() const override { return m_error.description(); }

private:
    ChangeError m_error;
};

/// Reasons for HubbleAPIError::ineligibleImage that the user's language can show.
QString ineligibleBecauseNotObservation();
QString ineligibleBecauseOtherObservatory(const QString &observatory);

} // namespace Starvane
