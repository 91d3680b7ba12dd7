// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace Starvane {

/// Where the archive lives: the web host serves catalog and detail pages, the image host the files.
/// Tests point both at a loopback server; the application uses the defaults.
struct ArchiveHosts
{
    QUrl web = QUrl(QStringLiteral("https://esahubble.org"));
    QUrl images = QUrl(QStringLiteral("https://cdn.esahubble.org"));

    /// `host` with its path replaced by `path` (query and fragment dropped); absent when that is no usable URL.
    static std::optional<QUrl> urlOn(const QUrl &host, const QString &path);
    /// "<image host>/archives/images/<variant>/<id>.jpg"
    std::optional<QUrl> imageFileURL(const QString &variant, const QString &id) const;
    /// "<web host>/images/<id>/"
    std::optional<QUrl> detailPageURL(const QString &id) const;
    /// The image host as the pages spell it in links, without a trailing slash.
    QString imageHostPrefix() const;
};

} // namespace Starvane
