// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowparts.h"

#include "buttonstyles.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QWidget>

namespace Starvane {

LinkOpener desktopLinkOpener()
{
    return [](const QUrl &url) { return QDesktopServices::openUrl(url); };
}

void closeOnEscapeAndCtrlW(QWidget *window)
{
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto *shortcut = new QShortcut(keys, window);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, window, &QWidget::close);
    }
}

void setUpSecondaryWindow(QWidget *window, const QString &objectName, const QString &title,
                          const QString &accessibleName, const QString &description)
{
    window->setObjectName(objectName);
    window->setWindowTitle(title);
    window->setAccessibleName(accessibleName);
    window->setAccessibleDescription(description);
    applyWindowPalette(window);
    closeOnEscapeAndCtrlW(window);
}

QPushButton *addCloseButton(QVBoxLayout *layout, QWidget *window, const QString &description)
{
    auto *close = new QPushButton(WindowTexts::close(), window);
    close->setObjectName(window->objectName() + QStringLiteral("Close"));
    close->setAccessibleDescription(description);
    close->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, window, &QWidget::close);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(close);
    layout->addLayout(row);
    return close;
}

QString WindowTexts::close()
{
    return tr("Close");
}

QString WindowTexts::linkFailed(const QUrl &url)
{
    //: %1 is a web address or a folder
    return tr("Nothing on this desktop could open %1. Copy the address into a browser instead.")
        .arg(url.toDisplayString(QUrl::PreferLocalFile));
}

} // namespace Starvane
