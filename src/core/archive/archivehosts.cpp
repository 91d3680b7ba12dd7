// SPDX-License-Identifier: GPL-3.0-or-later
#include "archivehosts.h"

namespace Starvane {

std::optional<QUrl> ArchiveHosts::urlOn(const QUrl &host, const QString &path)
{
    if (!host.isValid() || host.host().isEmpty() || host.scheme().isEmpty()) return std::nullopt;
    QUrl url = host;
    url.setQuery(QString());
    url.setFragment(QString());
    url.setPath(path, QUrl::DecodedMode);
    if (!url.isValid()) return std::nullopt;
    return url;
}

std::optional<QUrl> ArchiveHosts::imageFileURL(const QString &variant, const QString &id) const
{
    return urlOn(images,
                 QStringLiteral("/archives/images/") + variant + QLatin1Char('/') + id + QStringLiteral(".jpg"));
}

std::optional<QUrl> ArchiveHosts::detailPageURL(const QString &id) const
{
    return urlOn(web, QStringLiteral("/images/") + id + QLatin1Char('/'));
}

QString ArchiveHosts::imageHostPrefix() const
{
    QUrl base = images;
    base.setPath(QString());
    base.setQuery(QString());
    base.setFragment(QString());
    return base.toString(QUrl::FullyEncoded | QUrl::StripTrailingSlash);
}

} // namespace Starvane
