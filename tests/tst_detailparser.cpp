// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/detailparser.h"
#include "models/errors.h"

#include <QFile>
#include <QTest>

using namespace Starvane;
using namespace Starvane::HubbleArchive;

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(std::optional<QUrl>)
Q_DECLARE_METATYPE(QSet<QString>)

namespace {
QString readFixture(const QString &name)
{
    QFile f(QStringLiteral(STARVANE_TEST_DATA "/archive/") + name);
    if (!f.open(QIODevice::ReadOnly)) qFatal("missing fixture %s", qPrintable(name));
    return QString::fromUtf8(f.readAll());
}

QUrl cdn(const QString &variant, const QString &id)
{
    return QUrl(QStringLiteral("https://cdn.esahubble.org/archives/images/%1/%2.jpg").arg(variant, id));
}

/// A candidate as the catalog produces it.
HubbleImage candidate(const QString &id, const QString &variant = QStringLiteral("large"))
{
    return HubbleImage{id,
                       QStringLiteral("Title"),
                       QStringLiteral("ESA/Hubble & NASA"),
                       QStringLiteral("2009"),
                       cdn(variant, id),
                       cdn(QStringLiteral("wallpaper5"), id),
                       QUrl(QStringLiteral("https://esahubble.org/images/%1/").arg(id)),
                       6000,
                       3000};
}

QString page(const QString &type, const QString &credit, const QStringList &variants, const QString &id)
{
    QString html = QStringLiteral("<html><body>");
    if (!credit.isNull()) html += QStringLiteral("<div class=\"credit\"><p>") + credit + QStringLiteral("</p></div>");
    html += QStringLiteral("<ul>");
    for (const QString &v : variants)
        html += QStringLiteral("<li><a href=\"%1\">file</a></li>").arg(cdn(v, id).toString());
    html += QStringLiteral("</ul><table>");
    if (!type.isNull())
        html += QStringLiteral("<tr><th class=\"title\" scope=\"row\">Type:</th><td>%1</td></tr>").arg(type);
    return html + QStringLiteral("</table></body></html>");
}

/// An observation's page whose story, between the picture and its credit, is `body`.
QString story(const QString &body)
{
    return QStringLiteral("<h1>T</h1><div class=\"archive-image archive-image-dark\"><a href=\"#\"><img src=\"x\"/></a>"
                          "</div>") +
           body + QStringLiteral("<p><strong>Credit:</strong></p>") + page("Observation", "NASA", {}, "heic0910a");
}
} // namespace

class TestDetailParser : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void enrichment_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<HubbleImage>("candidate");
        QTest::addColumn<QString>("credit");
        QTest::addColumn<QUrl>("primary");
        QTest::addColumn<std::optional<QUrl>>("fallback");
        QTest::addColumn<QSize>("saveDataFor"); // invalid: the usual choice

        const QString id = QStringLiteral("heic0910a");
        QTest::newRow("current markup keeps large")
            << readFixture("detail-current.html") << candidate(id)
            << QString::fromUtf8("NASA, ESA, and the Hubble SM4 ERO Team\nAcknowledgement: J. Doe & M. Smith "
                                 "(Example Institute) – Processing")
            << cdn("large", id) << std::optional<QUrl>(cdn("wallpaper_uhd", id)) << QSize();
        QTest::newRow("older markup prefers publication")
            << readFixture("detail-older.html") << candidate("opo9544a")
            << QString::fromUtf8("NASA, ESA, and the Hubble Heritage Team (STScI/AURA) – “Pillars” re‑processed")
            << cdn("publicationjpg", "opo9544a") << std::optional<QUrl>(cdn("wallpaper_uhd", "opo9544a")) << QSize();
        QTest::newRow("large, uhd and wallpaper5")
            << page("Observation", "NASA", {"large", "wallpaper_uhd", "wallpaper5"}, id) << candidate(id) << "NASA"
            << cdn("large", id) << std::optional<QUrl>(cdn("wallpaper_uhd", id)) << QSize();
        QTest::newRow("publication and uhd")
            << page("Observation", "NASA", {"publicationjpg", "wallpaper_uhd"}, id) << candidate(id) << "NASA"
            << cdn("publicationjpg", id) << std::optional<QUrl>(cdn("wallpaper_uhd", id)) << QSize();
        QTest::newRow("only uhd keeps the candidate's fallback")
            << page("Observation", "NASA", {"wallpaper_uhd"}, id) << candidate(id) << "NASA" << cdn("wallpaper_uhd", id)
            << std::optional<QUrl>(cdn("wallpaper5", id)) << QSize();
        QTest::newRow("no files keep the candidate's URLs")
            << page("Observation", "NASA", {}, id) << candidate(id) << "NASA" << cdn("large", id)
            << std::optional<QUrl>(cdn("wallpaper5", id)) << QSize();
        QTest::newRow("large for a publication candidate")
            << page("Observation", "NASA", {"large", "wallpaper_qhd"}, id) << candidate(id, "publicationjpg") << "NASA"
            << cdn("large", id) << std::optional<QUrl>(cdn("wallpaper_qhd", id)) << QSize();
        QTest::newRow("no credit keeps the candidate's")
            << page("OBSERVATION", QString(), {"wallpaper4"}, id) << candidate(id) << "ESA/Hubble & NASA"
            << cdn("large", id) << std::optional<QUrl>(cdn("wallpaper4", id)) << QSize();
        QTest::newRow("line breaks stay, empty lines go")
            << page("Observation", "Image: NASA<BR>  <br> Processing:\n J. Doe<br/>", {}, id) << candidate(id)
            << "Image: NASA\nProcessing: J. Doe" << cdn("large", id) << std::optional<QUrl>(cdn("wallpaper5", id))
            << QSize();
        QTest::newRow("empty credit keeps the candidate's")
            << page("Observation", " <br/> ", {}, id) << candidate(id) << "ESA/Hubble & NASA" << cdn("large", id)
            << std::optional<QUrl>(cdn("wallpaper5", id)) << QSize();
        // Saving data: the smallest wallpaper variant that fills the display without upscaling.
        const QStringList all = {"large", "wallpaper_uhd", "wallpaper_qhd", "wallpaper5", "wallpaper4"};
        QTest::newRow("save data, full HD: wallpaper4")
            << page("Observation", "NASA", all, id) << candidate(id) << "NASA" << cdn("wallpaper4", id)
            << std::optional<QUrl>(cdn("wallpaper_uhd", id)) << QSize(1920, 1080);
        QTest::newRow("save data, 2560x1600: qhd is too short")
            << page("Observation", "NASA", {"large", "wallpaper_uhd", "wallpaper_qhd"}, id) << candidate(id) << "NASA"
            << cdn("wallpaper_uhd", id) << std::optional<QUrl>(cdn("wallpaper_qhd", id)) << QSize(2560, 1600);
        QTest::newRow("save data, 4:3 display: wallpaper5")
            << page("Observation", "NASA", {"large", "wallpaper_qhd", "wallpaper5"}, id) << candidate(id) << "NASA"
            << cdn("wallpaper5", id) << std::optional<QUrl>(cdn("wallpaper_qhd", id)) << QSize(2048, 1536);
        QTest::newRow("save data, 5K: none covers, the original")
            << page("Observation", "NASA", {"large", "wallpaper_uhd"}, id) << candidate(id) << "NASA"
            << cdn("large", id) << std::optional<QUrl>(cdn("wallpaper_uhd", id)) << QSize(5120, 2880);
        QTest::newRow("save data, no variant of known size")
            << page("Observation", "NASA", {"large", "publicationjpg"}, id) << candidate(id) << "NASA"
            << cdn("large", id) << std::optional<QUrl>(cdn("wallpaper5", id)) << QSize(1920, 1080);
    }
    void enrichment()
    {
        QFETCH(QString, html);
        QFETCH(HubbleImage, candidate);
        QFETCH(QString, credit);
        QFETCH(QUrl, primary);
        QFETCH(std::optional<QUrl>, fallback);
        QFETCH(QSize, saveDataFor);
        const HubbleImage result =
            parseImageDetail(html, candidate, {}, saveDataFor.isValid() ? std::optional(saveDataFor) : std::nullopt);
        QCOMPARE(result.credit, credit);
        QCOMPARE(result.imageURL, primary);
        QCOMPARE(result.fallbackImageURL, fallback);
        // Everything the page does not speak about is carried over unchanged.
        QCOMPARE(result.id, candidate.id);
        QCOMPARE(result.title, candidate.title);
        QCOMPARE(result.dateCaptured, candidate.dateCaptured);
        QCOMPARE(result.detailsURL, candidate.detailsURL);
        QCOMPARE(result.width, candidate.width);
        QCOMPARE(result.height, candidate.height);
    }

    void description_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<std::optional<QString>>("description");
        using D = std::optional<QString>;
        QTest::newRow("current markup: headline, paragraphs, a link")
            << readFixture("detail-current.html")
            << D(QString::fromUtf8(
                   "A stellar nursery in Carina\n\nThis is a test description mentioning the VLT and "
                   "Webb, which must not matter.\n\nThe Carina Nebula lies about 7500 light-years away; "
                   "its pillars are three light-years tall… and still growing."));
        QTest::newRow("older markup: bare paragraphs")
            << readFixture("detail-older.html")
            << D(QString::fromUtf8("The “Pillars of Creation” are columns of cool hydrogen gas and dust in the Eagle "
                                   "Nebula.\n\nEach pillar is wider than our Solar System."));
        QTest::newRow("nested paragraphs and a heading")
            << story("<h2>Headline</h2><div style=\"margin-top: 10px\"><div><p>One <p>Two</div></div>")
            << D("Headline\n\nOne\n\nTwo");
        QTest::newRow("entities, once") << story(
                                               "<p>It&#8217;s 5&deg;&#x2009;wide &amp;lt; &bogus; &#0;x&#99999999;</p>")
                                        << D(QString::fromUtf8("It’s 5° wide &lt; &bogus; x"));
        QTest::newRow("a lone < is text") << story("<p>a < b <3 c</p>") << D("a < b <3 c");
        QTest::newRow("scripts, styles and comments say nothing")
            << story(
                   "<p>Before.</p><script>var s = \"<p>no</p>\";</script><STYLE>p{}</STYLE><![CDATA[x]]><!-- <p>no</p> "
                   "--><p>After.</p>")
            << D("Before.\n\nAfter.");
        QTest::newRow("an unclosed script takes the rest")
            << story("<p>Before.</p><script>document.write(\"<p>no</p>\")") << D("Before.");
        QTest::newRow("an unclosed tag takes the rest") << story("<p>Dust.</p><p>Gas <a href=\"x") << D("Dust.\n\nGas");
        QTest::newRow("control characters and overrides go") << story(QString::fromUtf8("<p>A\x01"
                                                                                        "B\u202Ec\t&#7;d\u0085e</p>"))
                                                             << D("ABc d e");
        QTest::newRow("over the limit: cut after a sentence")
            << story("<p>" + QString("Hubble sees far. ").repeated(300) + "</p>")
            << D(QStringList(235, "Hubble sees far.").join(' '));
        QTest::newRow("10 MiB without a sentence end: cut after a word")
            << story("<p>" + QString("word ").repeated(2 << 20) + "</p>")
            << D(QStringList(800, "word").join(' ') + QString::fromUtf8("…"));
        QTest::newRow("exactly at the limit: whole")
            << story("<p>" + QString(3999, 'a') + ".</p>") << D(QString(3999, 'a') + ".");
        QTest::newRow("over the limit: cut at a paragraph's end, without its break")
            << story("<p>" + QString("Far. ").repeated(797) + "Near.</p><p>" + QString(100, 'b') + "</p>")
            << D(QString("Far. ").repeated(797) + "Near.");
        QTest::newRow("upper-case tags, a break is a space")
            << story("<P>One<BR>two</P><P>Three</P>") << D("One two\n\nThree");
        QTest::newRow("the image block's own parts are not the story")
            << "<div class=\"archive_image\"><div><img/></div><div><p>Zoom</p></div></div><p>Story.</p>"
               "<p><strong>Credit:</strong></p>" +
                   page("Observation", "NASA", {}, "heic0910a")
            << D("Story.");
        QTest::newRow("one endless word: none") << story("<p>" + QString("x").repeated(5000) + "</p>") << D();
        QTest::newRow("only markup: none") << story("<div style=\"margin-top: 10px\"><p> &nbsp; </p></div>") << D();
        QTest::newRow("no credit label: none") << page("Observation", "NASA", {}, "heic0910a") << D();
        QTest::newRow("image block never closes: none")
            << "<div class=\"archive-image\"><div><p>Text.</p><p><strong>Credit:</strong></p>"
               "<table><tr><th class=\"title\">Type:</th><td>Observation</td></tr></table>"
            << D();
    }
    void description()
    {
        QFETCH(QString, html);
        QFETCH(std::optional<QString>, description);
        // Through the whole parse: whatever the text, the picture itself is never refused for it.
        QCOMPARE(parseImageDetail(html, candidate(QStringLiteral("heic0910a"))).description, description);
    }

    void rejection_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("candidateCredit");
        QTest::addColumn<QString>("reason"); // empty: accepted
        const QString id = QStringLiteral("heic0910a");
        const QString notObservation = QStringLiteral("not a single Hubble observation");
        QTest::newRow("artwork") << page("Artwork", "ESA/Hubble", {}, id) << "ESA/Hubble & NASA" << notObservation;
        QTest::newRow("no type row") << page(QString(), "ESA/Hubble", {}, id) << "ESA/Hubble & NASA" << notObservation;
        QTest::newRow("only the object's type row")
            << QStringLiteral("<table><tr><td class=\"title\">Type:</td><td>Milky Way : Nebula</td></tr></table>")
            << "ESA/Hubble & NASA" << notObservation;
        QTest::newRow("team of astronomers")
            << page("Observation", "NASA, ESA and a team of astronomers", {}, id) << "ESA/Hubble & NASA"
            << "";
        QTest::newRow("subaru") << page("Observation", "NASA, ESA; Subaru Telescope (NAOJ)", {}, id)
                                << "ESA/Hubble & NASA"
                                << "contains non-Hubble observatory data (subaru)";
        QTest::newRow("gemini in capitals")
            << page("Observation", "NASA, ESA, GEMINI OBSERVATORY", {}, id) << "ESA/Hubble & NASA"
            << "contains non-Hubble observatory data (gemini observatory)";
        QTest::newRow("possessive webb") << page("Observation", "NASA, ESA, Webb&#39;s NIRCam team", {}, id)
                                         << "ESA/Hubble & NASA"
                                         << "contains non-Hubble observatory data (webb)";
        QTest::newRow("webb inside a word") << page("Observation", "J. Webbington (ESA)", {}, id) << "ESA/Hubble & NASA"
                                            << "";
        QTest::newRow("webb before a non-ASCII letter")
            << page("Observation", QString::fromUtf8("Webbé Institute"), {}, id) << "ESA/Hubble & NASA"
            << "";
        QTest::newRow("list order decides")
            << page("Observation", "Sloan Digital Sky Survey; VLT", {}, id) << "ESA/Hubble & NASA"
            << "contains non-Hubble observatory data (vlt)";
        QTest::newRow("dotted name") << page("Observation", "ESO 2.2-m telescope", {}, id) << "ESA/Hubble & NASA"
                                     << "contains non-Hubble observatory data (eso 2.2-m)";
        QTest::newRow("candidate credit is checked too")
            << page("Observation", QString(), {}, id) << "NASA, ESA, Spitzer"
            << "contains non-Hubble observatory data (spitzer)";
        QTest::newRow("description text does not count") << readFixture("detail-current.html") << "ESA/Hubble & NASA"
                                                         << "";
    }
    void rejection()
    {
        QFETCH(QString, html);
        QFETCH(QString, candidateCredit);
        QFETCH(QString, reason);
        HubbleImage c = candidate(QStringLiteral("heic0910a"));
        c.credit = candidateCredit;
        try {
            parseImageDetail(html, c);
            QVERIFY2(reason.isEmpty(), "accepted an ineligible page");
        } catch (const HubbleAPIError &e) {
            QCOMPARE(e, HubbleAPIError::ineligibleImage(reason));
        }
    }

    void infoFields_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<std::optional<QString>>("value");
        QTest::newRow("current") << "<tr><th class=\"title\" scope=\"row\">Type:</th><td>Observation</td></tr>"
                                 << std::optional<QString>("Observation");
        QTest::newRow("older") << "<tr><td class=\"title\">Type:</td><td>Observation</td></tr>"
                               << std::optional<QString>("Observation");
        QTest::newRow("first row wins") << readFixture("detail-current.html") << std::optional<QString>("Observation");
        QTest::newRow("spread over lines")
            << "<td class=\"title\">\n Type:\n</td>\n<td class=\"x\">\n <a href=\"#\">Observation</a>\n</td>"
            << std::optional<QString>("Observation");
        QTest::newRow("empty value") << "<td class=\"title\">Type:</td><td></td>" << std::optional<QString>("");
        QTest::newRow("label case matters")
            << "<td class=\"title\">type:</td><td>Observation</td>" << std::optional<QString>();
        QTest::newRow("not a title cell") << "<td>Type:</td><td>Observation</td>" << std::optional<QString>();
    }
    void infoFields()
    {
        QFETCH(QString, html);
        QFETCH(std::optional<QString>, value);
        QCOMPARE(extractInfoField(QStringLiteral("Type:"), html), value);
    }

    void strip_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        QTest::newRow("nested tags and breaks") << "<p>NASA,<br/>ESA<BR>and <em><b>the</b> team</em></p>"
                                                << "NASA, ESA and the team";
        QTest::newRow("cells become spaces") << "<td>a</td><td>b</td>"
                                             << "a b";
        QTest::newRow("inline tags vanish") << "Hub<span>ble</span>"
                                            << "Hubble";
        QTest::newRow("entities") << "ESA/Hubble &amp; NASA &ndash; J. Smith"
                                  << QString::fromUtf8("ESA/Hubble & NASA – J. Smith");
        QTest::newRow("all kinds of space") << QString::fromUtf8("\n\t a \u00a0\r\n b  ") << "a b";
        QTest::newRow("nothing but markup") << "<div><p></p></div>"
                                            << "";
    }
    void strip()
    {
        QFETCH(QString, html);
        QFETCH(QString, text);
        QCOMPARE(stripHTML(html), text);
    }

    void variants_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("imageHost");
        QTest::addColumn<QSet<QString>>("variants");
        QTest::newRow("download list and srcset")
            << readFixture("detail-current.html") << "https://cdn.esahubble.org"
            << QSet<QString>{"screen", "thumb700x", "large", "wallpaper1", "wallpaper5", "wallpaper_uhd"};
        QTest::newRow("another host's links do not count")
            << readFixture("detail-current.html") << "http://127.0.0.1:8081" << QSet<QString>{};
        QTest::newRow("upper case is another directory")
            << "https://cdn.esahubble.org/archives/images/LARGE/heic0910a.jpg"
            << "https://cdn.esahubble.org" << QSet<QString>{};
        QTest::newRow("dots in the identifier are literal")
            << "https://cdn.esahubble.org/archives/images/large/heic0910aXjpg"
            << "https://cdn.esahubble.org" << QSet<QString>{};
    }
    void variants()
    {
        QFETCH(QString, html);
        QFETCH(QString, imageHost);
        QFETCH(QSet<QString>, variants);
        const ArchiveHosts hosts{QUrl(QStringLiteral("https://esahubble.org")), QUrl(imageHost)};
        QCOMPARE(extractAvailableCDNVariants(html, QStringLiteral("heic0910a"), hosts), variants);
    }
};

QTEST_GUILESS_MAIN(TestDetailParser)
#include "tst_detailparser.moc"
