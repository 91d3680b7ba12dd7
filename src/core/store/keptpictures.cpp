// SPDX-License-Identifier: GPL-3.0-or-later
#include "keptpictures.h"

#include "logging.h"
#include "models/hubbleimage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace Starvane {

namespace {
constexpr qsizetype kMaxTitleLength = 80;
const QStringList kImageSuffixes{QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
                                 QStringLiteral("webp")};

/// The id a kept file is named after: "… (id).jpg", or "id.jpg" for a picture without a title.
QString idOfFileName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("(?:^|\\()([^()\\s]+)\\)?\\.[A-Za-z]+$"));
    const QRegularExpressionMatch m = re.match(name);
    if (!m.hasMatch()) return {};
    const QString id = m.captured(1);
    return isSafeArchiveID(id) ? id : QString();
}

QString titleOfFileName(const QString &name, const QString &id)
{
    const QString base = QFileInfo(name).completeBaseName();
    const QString suffix = QStringLiteral(" (") + id + QLatin1Char(')');
    return base.endsWith(suffix) ? base.chopped(suffix.size()) : QString();
}
} // namespace

KeptPictures::KeptPictures(QString directory) : m_directory(std::move(directory))
{
    if (m_directory.isEmpty()) {
        QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        if (pictures.isEmpty()) pictures = QDir::homePath() + QStringLiteral("/Pictures");
        m_directory = QDir::cleanPath(pictures + QStringLiteral("/Starvane"));
    }
}

QString KeptPictures::fileName(const Description &description, const QString &suffix)
{
    QString title;
    for (const QChar c : description.title.simplified()) {
        // Nothing that a file manager, a shell or another file system would trip over.
        if (c.category() == QChar::Other_Control || QStringLiteral("/\\:*?\"<>|()").contains(c)) continue;
        title += c;
    }
    title = title.simplified().left(kMaxTitleLength).trimmed();
    while (title.startsWith(QLatin1Char('.')))
        title.remove(0, 1);
    const QString base =
        title.isEmpty() ? description.id : title + QStringLiteral(" (") + description.id + QLatin1Char(')');
    return base + QLatin1Char('.') + suffix;
}

QList<KeptPictures::Picture> KeptPictures::all() const
{
    QList<Picture> pictures;
    const QFileInfoList files = QDir(m_directory).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &f : files) {
        if (!kImageSuffixes.contains(f.suffix().toLower())) continue;
        const QString id = idOfFileName(f.fileName());
        if (id.isEmpty()) continue;
        pictures.append({id, titleOfFileName(f.fileName(), id), f.absoluteFilePath()});
    }
    return pictures;
}

QString KeptPictures::fileFor(const QString &id) const
{
    if (!isSafeArchiveID(id)) return {};
    for (const Picture &p : all())
        if (p.id == id) return p.file;
    return {};
}

std::optional<QString> KeptPictures::keep(const QString &file, const Description &description) const
{
    if (!isSafeArchiveID(description.id)) return tr("This picture has no usable name.");
    if (isKept(description.id)) return std::nullopt;
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly)) return tr("The picture's file is gone; show it again first.");
    if (!QDir().mkpath(m_directory))
        return tr("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(m_directory));

    QString suffix = QFileInfo(file).suffix().toLower();
    if (!kImageSuffixes.contains(suffix)) suffix = QStringLiteral("jpg");
    const QString target = QDir(m_directory).filePath(fileName(description, suffix));
    const QString notes = QDir(m_directory).filePath(QFileInfo(target).completeBaseName() + QStringLiteral(".txt"));

    // Both files whole or neither: each is written beside its name and renamed into place.
    QSaveFile copy(target);
    if (copy.open(QIODevice::WriteOnly)) {
        while (!source.atEnd()) {
            const QByteArray chunk = source.read(1 << 20);
            if (chunk.isEmpty() || copy.write(chunk) != chunk.size()) break;
        }
    }
    if (!source.atEnd() || !copy.commit()) {
        qCWarning(lcStore).noquote()
            << QStringLiteral("Could not keep %1 in %2: %3").arg(description.id, m_directory, copy.errorString());
        return tr("The folder %1 cannot be written.").arg(QDir::toNativeSeparators(m_directory));
    }
    QSaveFile text(notes);
    QString body = description.title.simplified() + QLatin1Char('\n');
    // The story reads as it does in the window: paragraphs with a blank line between them.
    if (!description.story.isEmpty()) body += QLatin1Char('\n') + description.story + QStringLiteral("\n\n");
    if (!description.credit.isEmpty()) body += tr("Credit: %1").arg(description.credit) + QLatin1Char('\n');
    if (description.page.isValid()) body += description.page.toString() + QLatin1Char('\n');
    if (!text.open(QIODevice::WriteOnly) || text.write(body.toUtf8()) < 0 || !text.commit()) {
        QFile::remove(target);
        return tr("The folder %1 cannot be written.").arg(QDir::toNativeSeparators(m_directory));
    }
    qCInfo(lcStore).noquote() << QStringLiteral("Kept %1 as %2").arg(description.id, target);
    return std::nullopt;
}

bool KeptPictures::unkeep(const QString &id) const
{
    const QString file = fileFor(id);
    if (file.isEmpty()) return false;
    const QFileInfo info(file);
    QFile::remove(info.dir().filePath(info.completeBaseName() + QStringLiteral(".txt")));
    return QFile::remove(file);
}

} // namespace Starvane
