// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutview.h"

#include "buttonstyles.h"
#include "cardparts.h"
#include "velmoratheme.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace Starvane {

using VelmoraTheme::Color;

namespace {
constexpr int kWidth = 400;
constexpr int kIconSide = 48;
} // namespace

AboutView::AboutView(QWidget *parent) : QWidget(parent)
{
    setUpSecondaryWindow(this, QStringLiteral("aboutView"), tr("About Starvane"), tr("About Starvane"),
                         tr("Version, licence and where the pictures come from"));
    setFixedWidth(kWidth);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(20, 20, 20, 18);
    root->setSpacing(6);

    auto *header = new QHBoxLayout;
    header->setSpacing(12);
    if (const QIcon icon = QApplication::windowIcon(); !icon.isNull()) {
        auto *image = new QLabel(this);
        image->setObjectName(QStringLiteral("aboutIcon"));
        image->setPixmap(icon.pixmap(QSize(kIconSide, kIconSide), devicePixelRatioF()));
        image->setFixedSize(kIconSide, kIconSide);
        image->setAccessibleName(tr("Starvane's icon"));
        header->addWidget(image, 0, Qt::AlignTop);
    }
    auto *titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(
        makeLabel(QStringLiteral("Starvane"), VelmoraTheme::systemFont(18, QFont::DemiBold), Color::foreground, this));
    const QString version = QCoreApplication::applicationVersion();
    //: %1 is a version number such as 1.0.0
    m_version = makeLabel(tr("Version %1").arg(version.isEmpty() ? tr("unknown") : version),
                          VelmoraTheme::systemFont(12), Color::mutedForeground, this);
    m_version->setObjectName(QStringLiteral("aboutVersion"));
    m_version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    titles->addWidget(m_version);
    header->addLayout(titles, 1);
    root->addLayout(header);
    root->addSpacing(8);

    const auto paragraph = [this, root](const QString &text, const QString &name) {
        QLabel *label = makeLabel(text, VelmoraTheme::systemFont(12.5), Color::foreground, this);
        label->setObjectName(name);
        label->setWordWrap(true);
        root->addWidget(label);
        return label;
    };
    paragraph(tr("Wallpapers shipped from Hubble Telescope: real high-resolution photographs from the ESA/Hubble "
                 "archive on your desktop."),
              QStringLiteral("aboutSummary"));
    root->addSpacing(6);
    paragraph(tr("Images: ESA/Hubble, under CC BY 4.0"), QStringLiteral("aboutImages"));
    auto *imageLinks = new QHBoxLayout;
    imageLinks->setSpacing(14);
    //: Link to the picture archive; the archive's name, usually left as it is
    imageLinks->addWidget(addLink(QStringLiteral("archiveLink"), tr("ESA/Hubble images"),
                                  tr("Open the ESA/Hubble image archive in the web browser"), archiveURL));
    imageLinks->addWidget(addLink(QStringLiteral("imageLicenceLink"), tr("CC BY 4.0"),
                                  tr("Open the Creative Commons Attribution 4.0 licence in the web browser"),
                                  imageLicenceURL));
    imageLinks->addStretch();
    root->addLayout(imageLinks);
    root->addSpacing(6);
    paragraph(tr("Starvane is free software under the GNU General Public License, version 3 or later."),
              QStringLiteral("aboutLicence"));
    auto *licenceLinks = new QHBoxLayout;
    licenceLinks->addWidget(addLink(QStringLiteral("licenceLink"), tr("GNU GPL 3.0"),
                                    tr("Open the GNU General Public License in the web browser"), licenceURL));
    licenceLinks->addStretch();
    root->addLayout(licenceLinks);
    root->addSpacing(6);
    // The Qt of the build, and the one it runs on where the system's libraries are newer.
    const QString built = QStringLiteral(QT_VERSION_STR);
    const QString running = QString::fromLatin1(qVersion());
    m_qt = makeLabel(running == built ? tr("Built with Qt %1").arg(built)
                                      //: %1 and %2 are Qt version numbers
                                      : tr("Built with Qt %1, running on Qt %2").arg(built, running),
                     VelmoraTheme::systemFont(11.5), Color::mutedForeground, this);
    m_qt->setObjectName(QStringLiteral("aboutQt"));
    root->addWidget(m_qt);

    m_problem = makeLabel({}, VelmoraTheme::systemFont(11.5), Color::destructive, this);
    m_problem->setObjectName(QStringLiteral("aboutProblem"));
    m_problem->setWordWrap(true);
    m_problem->setVisible(false);
    root->addWidget(m_problem);

    root->addSpacing(8);
    addCloseButton(root, this, tr("Close this window"));
    adjustSize();
}

PlainButton *AboutView::addLink(const QString &name, const QString &text, const QString &description, const QUrl &url)
{
    auto *link = new PlainButton(text, VelmoraTheme::systemFont(12, QFont::Medium), Color::link, this);
    link->setObjectName(name);
    link->setSymbol(Symbol::arrowUpRight);
    link->setAccessibleDescription(description);
    link->setToolTip(url.toDisplayString());
    connect(link, &QAbstractButton::clicked, this, [this, url] {
        const bool opened = m_open && m_open(url);
        m_problem->setVisible(!opened);
        if (!opened) m_problem->setText(WindowTexts::linkFailed(url));
        adjustSize();
    });
    m_links << link;
    return link;
}

} // namespace Starvane
