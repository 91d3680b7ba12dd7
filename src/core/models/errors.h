// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
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

/// A transport failure passed through from Qt Network (the code is QNetworkReply::NetworkError).
class NetworkError : public StarvaneError
{
public:
    NetworkError(int code, QString text) : m_code(code), m_text(std::move(text)) {}
    int code() const { return m_code; }
    QString description() const override { return m_text; }

private:
    int m_code;
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

/// Network and HTTP failures in plain words (English, like descriptions): what happened and, given
/// `retryMinutes`, when Starvane tries again. Nothing for other failures, whose description says it.
std::optional<QString> plainErrorMessage(const std::exception_ptr &e, std::optional<int> retryMinutes = std::nullopt);
/// "No internet connection…": what a change the user asks for while offline says at once.
QString offlineErrorMessage();

/// `description` (an English error text, as the core writes and logs it) in the user's language, for the
/// window and the command line. Texts it does not know come back unchanged.
QString localizedErrorMessage(const QString &description);
/// Reasons for HubbleAPIError::ineligibleImage that the user's language can show.
QString ineligibleBecauseNotObservation();
QString ineligibleBecauseOtherObservatory(const QString &observatory);

} // namespace Starvane
