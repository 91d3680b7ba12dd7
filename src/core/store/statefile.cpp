// SPDX-License-Identifier: GPL-3.0-or-later
#include "statefile.h"

#include "filewritequeue.h"
#include "logging.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>

namespace Starvane {

StateFileRead readStateFile(const QString &path, int version, QJsonObject *object,
                            const std::function<bool(const QJsonObject &)> &isValid)
{
    FileWriteQueue::flush(); // what this or an earlier instance asked to write
    QFile file(path);
    if (!file.exists()) return StateFileRead::missing;
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcStore).noquote() << QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return StateFileRead::unreadable;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    file.close();
    if (error.error == QJsonParseError::NoError && doc.isObject() &&
        doc.object().value(QStringLiteral("version")).toInt() == version && (!isValid || isValid(doc.object()))) {
        *object = doc.object();
        return StateFileRead::ok;
    }
    const QString aside = path + QStringLiteral(".damaged");
    QFile::remove(aside);
    if (QFile::rename(path, aside))
        qCWarning(lcStore).noquote() << QStringLiteral("%1 could not be read; set aside as %2").arg(path, aside);
    else
        qCWarning(lcStore).noquote() << QStringLiteral("%1 could not be read and not be set aside").arg(path);
    return StateFileRead::setAside;
}

} // namespace Starvane
