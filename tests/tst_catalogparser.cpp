// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/catalogparser.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Starvane;
using namespace Starvane::HubbleArchive;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {
constexpr double kWide = 16.0 / 9.0;
constexpr double kPortrait = 9.0 / 16.0;

QString readFixture(const QString &name)
{
    QFile f(QStringLiteral(STARVANE_TEST_DATA "/archive/") + name);
    if (!f.open(QIODevice::ReadOnly)) qFatal("missing fixture %s", qPrintable(name));
    return QString::fromUtf8(f.readAll());
}

QString oneEntryPage(const QString &fields)
{
    return QStringLiteral("<script>\nvar images = [\n{\n") + fields + QStringLiteral("\n},\n];\n</script>");
}
} // namespace

class TestCatalogParser : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void recordedPageMatchesGolden()
    {
        const QList<HubbleImage> parsed =
            parseWallpaperArchive(readFixture(QStringLiteral("catalog-page.html")), kWide);
        const QJsonArray golden =
            QJsonDocument::fromJson(readFixture(QStringLiteral("catalog-page.golden.json")).toUtf8()).array();
        QCOMPARE(parsed.size(), golden.size());
        for (qsizetype i = 0; i < parsed.size(); ++i) {
            const std::optional<HubbleImage> expected = HubbleImage::fromJsonObject(golden[i].toObject());
            QVERIFY(expected);
            QCOMPARE(parsed[i].toJson(), expected->toJson());
        }
    }

    void entryLimits_data()
    {
        QTest::addColumn<qint64>("width");
        QTest::addColumn<qint64>("height");
        QTest::addColumn<QString>("variant"); // empty: dropped
        QTest::addColumn<qint64>("recordedWidth");
        QTest::addColumn<qint64>("recordedHeight");
        QTest::addColumn<double>("display"); // the asking display's width over height
        QTest::newRow("smallest accepted")
            << qint64(2000) << qint64(1200) << "large" << qint64(2000) << qint64(1200) << kWide;
        QTest::newRow("one column short") << qint64(1999) << qint64(1200) << "" << qint64(0) << qint64(0) << kWide;
        QTest::newRow("one row short") << qint64(2000) << qint64(1199) << "" << qint64(0) << qint64(0) << kWide;
        QTest::newRow("narrowest shape") << qint64(2300) << qint64(2000) << "large" << qint64(2300) << qint64(2000)
                                         << kWide;
        QTest::newRow("too square") << qint64(2299) << qint64(2000) << "" << qint64(0) << qint64(0) << kWide;
        QTest::newRow("widest shape") << qint64(3120) << qint64(1200) << "large" << qint64(3120) << qint64(1200)
                                      << kWide;
        QTest::newRow("too wide") << qint64(3121) << qint64(1200) << "" << qint64(0) << qint64(0) << kWide;
        QTest::newRow("largest large") << qint64(10000) << qint64(5000) << "large" << qint64(10000) << qint64(5000)
                                       << kWide;
        QTest::newRow("publication size")
            << qint64(10001) << qint64(5000) << "publicationjpg" << qint64(4000) << qint64(2000) << kWide;
        QTest::newRow("beyond 64 bits") << qint64(0) << qint64(0) << "" << qint64(0) << qint64(0) << kWide;
        // Portrait pictures only for a portrait display, within the landscape bounds turned on their side.
        QTest::newRow("portrait, landscape display")
            << qint64(1200) << qint64(2400) << "" << qint64(0) << qint64(0) << kWide;
        QTest::newRow("portrait, portrait display")
            << qint64(1200) << qint64(2400) << "large" << qint64(1200) << qint64(2400) << kPortrait;
        QTest::newRow("tallest shape") << qint64(1200) << qint64(3119) << "large" << qint64(1200) << qint64(3119)
                                       << kPortrait;
        QTest::newRow("too tall") << qint64(1200) << qint64(3125) << "" << qint64(0) << qint64(0) << kPortrait;
        QTest::newRow("too square upright")
            << qint64(2000) << qint64(2199) << "" << qint64(0) << qint64(0) << kPortrait;
        QTest::newRow("landscape, portrait display")
            << qint64(2000) << qint64(1200) << "large" << qint64(2000) << qint64(1200) << kPortrait;
    }
    void entryLimits()
    {
        QFETCH(qint64, width);
        QFETCH(qint64, height);
        QFETCH(QString, variant);
        QFETCH(qint64, recordedWidth);
        QFETCH(qint64, recordedHeight);
        QFETCH(double, display);
        const QString widthText = width ? QString::number(width) : QStringLiteral("99999999999999999999");
        const QString heightText = height ? QString::number(height) : QStringLiteral("3000");
        const QList<HubbleImage> parsed = parseWallpaperArchive(
            oneEntryPage(
                QStringLiteral(
                    "    id: 'heic2001a',\n    title: 'A galaxy',\n    width: %1,\n    height: %2,\n    potw: ''")
                    .arg(widthText, heightText)),
            display);
        if (variant.isEmpty()) {
            QVERIFY(parsed.isEmpty());
            return;
        }
        QCOMPARE(parsed.size(), 1);
        QCOMPARE(parsed[0].imageURL.path(), QStringLiteral("/archives/images/%1/heic2001a.jpg").arg(variant));
        QCOMPARE(parsed[0].width, recordedWidth);
        QCOMPARE(parsed[0].height, recordedHeight);
        QCOMPARE(parsed[0].dateCaptured, std::optional<QString>(QStringLiteral("2020")));
    }

    void pagesWithoutACatalog_data()
    {
        QTest::addColumn<QString>("html");
        QTest::newRow("empty") << "";
        QTest::newRow("no array") << "<html><body><script>var other = [{id: 'heic0910a'}];</script></body></html>";
        QTest::newRow("unterminated array")
            << "<script>var images = [{id: 'heic0910a', title: 'x', width: 4000, height: 2000}</script>";
        QTest::newRow("empty array") << "<script>var images = [];</script>";
        QTest::newRow("double-quoted fields")
            << "<script>var images = [{id: \"heic0910a\", title: \"x\", width: 4000, height: 2000}];</script>";
    }
    void pagesWithoutACatalog()
    {
        QFETCH(QString, html);
        QVERIFY(parseWallpaperArchive(html, kWide).isEmpty());
    }

    void quotedField_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::newRow("plain") << "id"
                               << "{ id: 'heic0910a' }" << std::optional<QString>("heic0910a");
        QTest::newRow("escaped apostrophe") << "title"
                                            << "title: 'Hubble\\'s view'" << std::optional<QString>("Hubble's view");
        QTest::newRow("doubled backslash") << "title"
                                           << "title: 'a\\\\b'" << std::optional<QString>("a\\b");
        QTest::newRow("longer key first") << "id"
                                          << "image_id: 'x', id: 'y'" << std::optional<QString>("y");
        QTest::newRow("only a longer key") << "id"
                                           << "image_id: 'x'" << std::optional<QString>();
        QTest::newRow("empty value") << "potw"
                                     << "potw: ''" << std::optional<QString>("");
        QTest::newRow("spaces and line break")
            << "potw"
            << "potw  :\n  '11 November 2013'" << std::optional<QString>("11 November 2013");
        QTest::newRow("double quotes") << "id"
                                       << "id: \"heic0910a\"" << std::optional<QString>();
        QTest::newRow("key case matters") << "id"
                                          << "ID: 'heic0910a'" << std::optional<QString>();
        QTest::newRow("missing") << "potw"
                                 << "id: 'x'" << std::optional<QString>();
    }
    void quotedField()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(extractQuotedField(key, text), expected);
    }

    void intField()
    {
        QCOMPARE(extractIntField(QStringLiteral("width"), QStringLiteral("width: 3000,")), std::optional<qint64>(3000));
        QCOMPARE(extractIntField(QStringLiteral("width"), QStringLiteral("max_width: 1, width :42")),
                 std::optional<qint64>(42));
        QCOMPARE(extractIntField(QStringLiteral("width"), QStringLiteral("width: '3000'")), std::nullopt);
        QCOMPARE(extractIntField(QStringLiteral("width"), QStringLiteral("width: 9223372036854775807")),
                 std::optional<qint64>(std::numeric_limits<qint64>::max()));
        QCOMPARE(extractIntField(QStringLiteral("width"), QStringLiteral("width: 9223372036854775808")), std::nullopt);
    }

    void entities_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ampersand") << "Stars &amp; dust"
                                   << "Stars & dust";
        QTest::newRow("apostrophes") << "&#39;a&#x27; &apos;b&apos;"
                                     << "'a' 'b'";
        QTest::newRow("quotes and dashes") << "&quot;x&quot; &ndash; &mdash;" << QString::fromUtf8("\"x\" – —");
        QTest::newRow("curly quotes") << "&lsquo;a&rsquo; &ldquo;b&rdquo;" << QString::fromUtf8("‘a’ “b”");
        QTest::newRow("decimal 8217") << "Hubble&#8217;s" << QString::fromUtf8("Hubble’s");
        QTest::newRow("outside the basic plane") << "&#128301;" << QString::fromUtf8("🔭");
        QTest::newRow("surrogate stays") << "&#55296;"
                                         << "&#55296;";
        QTest::newRow("beyond Unicode stays") << "&#1114112;"
                                              << "&#1114112;";
        QTest::newRow("beyond 32 bits stays") << "&#99999999999;"
                                              << "&#99999999999;";
        QTest::newRow("other hex stays") << "&#x41;"
                                         << "&#x41;";
        QTest::newRow("escaped dash decodes twice") << "&amp;ndash;" << QString::fromUtf8("–");
        QTest::newRow("escaped quot stays text") << "&amp;quot;"
                                                 << "&quot;";
        QTest::newRow("several references") << "&#65;&#55296;&#66;"
                                            << "A&#55296;B";
        QTest::newRow("raw UTF-8 untouched")
            << QString::fromUtf8("Ring — “fire”") << QString::fromUtf8("Ring — “fire”");
    }
    void entities()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(decodeHTMLEntities(input), expected);
    }

    void titles_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("pure");
        QTest::newRow("observation") << "The Carina Nebula" << true;
        QTest::newRow("impression, any case") << "An IMPRESSION of a planet" << false;
        QTest::newRow("webb inside a word") << "Cobwebbed filaments" << false;
        QTest::newRow("telescope with a dot") << "Seen by the ESO 2.2-m telescope" << false;
    }
    void titles()
    {
        QFETCH(QString, title);
        QFETCH(bool, pure);
        QCOMPARE(isPureHubbleWallpaperTitle(title), pure);
    }

    void identifiers_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("safe");
        QTest::newRow("archive id") << "heic0910a" << true;
        QTest::newRow("dash and underscore") << "potw-12_a" << true;
        QTest::newRow("letters beyond ASCII") << QString::fromUtf8("ésa٣") << true;
        QTest::newRow("48 characters") << QString(48, QLatin1Char('a')) << true;
        QTest::newRow("49 characters") << QString(49, QLatin1Char('a')) << false;
        QTest::newRow("48 letters with combining marks") << QString::fromUtf8("e\u0301").repeated(48) << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("space") << "heic 0910a" << false;
        QTest::newRow("slash") << "heic/0910a" << false;
        QTest::newRow("dot") << "heic..a" << false;
        QTest::newRow("quote") << "heic'a" << false;
        QTest::newRow("emoji") << QString::fromUtf8("heic🔭") << false;
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << false;
    }
    void identifiers()
    {
        QFETCH(QString, id);
        QFETCH(bool, safe);
        QCOMPARE(isSafeArchiveID(id), safe);
    }

    void years_data()
    {
        QTest::addColumn<std::optional<QString>>("potw");
        QTest::addColumn<QString>("id");
        QTest::addColumn<std::optional<QString>>("year");
        QTest::newRow("potw date") << std::optional<QString>("4 January 2021") << "potw2101a"
                                   << std::optional<QString>("2021");
        QTest::newRow("potw date wins") << std::optional<QString>("11 November 2013") << "heic0910a"
                                        << std::optional<QString>("2013");
        QTest::newRow("empty potw") << std::optional<QString>("") << "heic0910a" << std::optional<QString>("2009");
        QTest::newRow("no year in potw") << std::optional<QString>("week 12345") << "potw1234a"
                                         << std::optional<QString>("2012");
        QTest::newRow("opo is last century")
            << std::optional<QString>() << "opo9544a" << std::optional<QString>("1995");
        QTest::newRow("ann") << std::optional<QString>() << "ann1703" << std::optional<QString>("2017");
        QTest::newRow("upper-case prefix") << std::optional<QString>() << "HEIC1501a" << std::optional<QString>("2015");
        QTest::newRow("other prefix") << std::optional<QString>() << "sci04003" << std::optional<QString>();
    }
    void years()
    {
        QFETCH(std::optional<QString>, potw);
        QFETCH(QString, id);
        QFETCH(std::optional<QString>, year);
        QCOMPARE(extractYear(potw, id), year);
    }

    void pageURLs_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("url");
        QTest::newRow("0") << 0 << "https://esahubble.org/images/archive/wallpapers/";
        QTest::newRow("1") << 1 << "https://esahubble.org/images/archive/wallpapers/";
        QTest::newRow("2") << 2 << "https://esahubble.org/images/archive/wallpapers/page/2/";
        QTest::newRow("25") << 25 << "https://esahubble.org/images/archive/wallpapers/page/25/";
    }
    void pageURLs()
    {
        QFETCH(int, page);
        QFETCH(QString, url);
        QCOMPARE(catalogPageURL(page)->toString(), url);
    }
};

QTEST_GUILESS_MAIN(TestCatalogParser)
#include "tst_catalogparser.moc"
