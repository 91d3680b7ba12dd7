// SPDX-License-Identifier: GPL-3.0-or-later
#include "logging.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Starvane"));
    QApplication::setOrganizationName(QStringLiteral("Starvane"));
    QApplication::setApplicationVersion(QStringLiteral(STARVANE_VERSION));
    Starvane::installLogHandler();
    QLabel label(QStringLiteral("Starvane"));
    label.setWindowTitle(QStringLiteral("Starvane"));
    label.show();
    return app.exec();
}
