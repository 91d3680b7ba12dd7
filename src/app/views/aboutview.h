// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "windowparts.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace Starvane {

class PlainButton;

/// Who made Starvane and under which terms: the version, the licence, where the pictures come from and
/// under which licence, and the Qt the program was built with.
class AboutView : public QWidget
{
    Q_OBJECT

public:
    static inline const QUrl archiveURL{QStringLiteral("https://esahubble.org/images/")};
    static inline const QUrl imageLicenceURL{QStringLiteral("https://creativecommons.org/licenses/by/4.0/")};
    static inline const QUrl licenceURL{QStringLiteral("https://www.gnu.org/licenses/gpl-3.0.html")};

    explicit AboutView(QWidget *parent = nullptr);

    /// How the links open a page (tests record it, or make it fail).
    void setLinkOpener(LinkOpener opener) { m_open = std::move(opener); }

    QLabel *versionLabel() const { return m_version; }
    QLabel *qtLabel() const { return m_qt; }
    QList<PlainButton *> links() const { return m_links; }
    /// Says that a link could not be opened; hidden otherwise.
    QLabel *problemLabel() const { return m_problem; }

private:
    PlainButton *addLink(const QString &name, const QString &text, const QString &description, const QUrl &url);

    LinkOpener m_open = desktopLinkOpener();
    QLabel *m_version;
    QLabel *m_qt;
    QLabel *m_problem;
    QList<PlainButton *> m_links;
};

} // namespace Starvane
