// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace Starvane {

/// The pictures the user chose to keep: plain files in a folder of their Pictures, each named after
/// its title and id, with a small text file beside it telling what the picture shows and naming the
/// credit and the archive page. The folder is theirs: nothing here prunes it, and it outlives the program.
class KeptPictures
{
    Q_DECLARE_TR_FUNCTIONS(Starvane::KeptPictures)

public:
    struct Picture
    {
        QString id;
        QString title;
        QString file;
    };
    /// What a kept picture is named after and what its text file says.
    struct Description
    {
        QString id;
        QString title;
        QString credit;
        QUrl page;
        /// What the picture shows; may be empty.
        QString story = {};
    };

    /// `directory` empty: PicturesLocation/Starvane.
    explicit KeptPictures(QString directory = {});
    QString directory() const { return m_directory; }

    /// The kept file of this id, or empty.
    QString fileFor(const QString &id) const;
    bool isKept(const QString &id) const { return !fileFor(id).isEmpty(); }
    /// Every kept picture, oldest name first.
    QList<Picture> all() const;

    /// Copies `file` into the folder (created when needed). On failure returns the reason, in the
    /// user's language, and leaves the folder as it was.
    std::optional<QString> keep(const QString &file, const Description &description) const;
    /// Removes the kept file of `id` and its text file; false when there was none.
    bool unkeep(const QString &id) const;

    /// "Title (id).jpg" with the title made safe for a file name.
    static QString fileName(const Description &description, const QString &suffix);

private:
    QString m_directory;
};

} // namespace Starvane
