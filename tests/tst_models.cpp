// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/appsettings.h"
#include "models/errors.h"
#include "models/hubbleimage.h"

#include <QJsonDocument>
#include <stdexcept>
#include <QJsonObject>
#include <QTest>

using namespace Starvane;

class TestModels : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void frequencyDecoding_data();
    void frequencyDecoding();
    void frequencyRawValuesAreStrict();
    void settingsDecodingFailures_data();
    void settingsDecodingFailures();
    void settingsRoundTripAndDefaults();
    void usablePixels_data();
    void usablePixels();
    void resolutionLabel();
    void firstSentence_data();
    void firstSentence();
    void imageJsonRoundTrip();
    void imageJsonRejects_data();
    void imageJsonRejects();
    void errorDescriptions_data();
    void errorDescriptions();
};

void TestModels::frequencyDecoding_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<ChangeFrequency>("decoded");
    QTest::newRow("manual") << "manual" << ChangeFrequency::manual;
    QTest::newRow("5 min") << "every5Minutes" << ChangeFrequency::every5Minutes;
    QTest::newRow("15 min") << "every15Minutes" << ChangeFrequency::every15Minutes;
    QTest::newRow("hourly") << "hourly" << ChangeFrequency::hourly;
    QTest::newRow("daily") << "daily" << ChangeFrequency::daily;
    QTest::newRow("old 30 min") << "every30Minutes" << ChangeFrequency::hourly;
    QTest::newRow("old 6 hours") << "every6Hours" << ChangeFrequency::hourly;
    QTest::newRow("wrong case") << "Daily" << ChangeFrequency::hourly;
    QTest::newRow("unknown") << "fortnightly" << ChangeFrequency::hourly;
    QTest::newRow("empty") << "" << ChangeFrequency::hourly;
}

void TestModels::frequencyDecoding()
{
    QFETCH(QString, stored);
    QFETCH(ChangeFrequency, decoded);
    const QByteArray json = QStringLiteral(R"({"frequency":"%1","displayScope":"mainDisplay","isPaused":true})")
                                .arg(stored)
                                .toUtf8();
    const auto settings = AppSettings::fromJson(json);
    QVERIFY(settings);
    QCOMPARE(settings->frequency, decoded);
    QCOMPARE(settings->displayScope, DisplayScope::mainDisplay);
    QCOMPARE(settings->isPaused, true);
    // Re-encoding writes the case's own raw value: old names are migrated on the next save.
    const auto reencoded = QJsonDocument::fromJson(settings->toJson()).object();
    QCOMPARE(reencoded.value(QStringLiteral("frequency")).toString(), ChangeFrequencies::rawValue(decoded));
}

void TestModels::frequencyRawValuesAreStrict()
{
    QCOMPARE(ChangeFrequencies::fromRawValue(QStringLiteral("every30Minutes")), std::nullopt);
    QCOMPARE(ChangeFrequencies::fromRawValue(QStringLiteral("Hourly")), std::nullopt);
    QCOMPARE(ChangeFrequencies::fromRawValue(QStringLiteral("daily")), ChangeFrequency::daily);
    QCOMPARE(ChangeFrequencies::interval(ChangeFrequency::manual), std::nullopt);
    QCOMPARE(ChangeFrequencies::interval(ChangeFrequency::daily), 86400.0);
    QCOMPARE(ChangeFrequencies::allCases().first(), ChangeFrequency::manual);
    QCOMPARE(DisplayScopes::fromRawValue(QStringLiteral("AllDisplays")), std::nullopt);
    // The third choice survives a save and a restore; a build that does not know it falls back to defaults.
    const AppSettings each{ChangeFrequency::daily, DisplayScope::eachDisplay, false};
    QCOMPARE(AppSettings::fromJson(each.toJson()), std::optional(each));
}

void TestModels::settingsDecodingFailures_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("unknown scope") << QByteArray(R"({"frequency":"hourly","displayScope":"leftDisplay","isPaused":false})");
    QTest::newRow("missing isPaused") << QByteArray(R"({"frequency":"hourly","displayScope":"allDisplays"})");
    QTest::newRow("missing frequency") << QByteArray(R"({"displayScope":"allDisplays","isPaused":false})");
    QTest::newRow("isPaused as string") << QByteArray(R"({"frequency":"hourly","displayScope":"allDisplays","isPaused":"no"})");
    QTest::newRow("frequency as number") << QByteArray(R"({"frequency":5,"displayScope":"allDisplays","isPaused":false})");
    QTest::newRow("array") << QByteArray(R"(["hourly"])");
    QTest::newRow("garbage") << QByteArray("\xff\xfe garbage {");
    QTest::newRow("empty") << QByteArray();
}

void TestModels::settingsDecodingFailures()
{
    QFETCH(QByteArray, json);
    QCOMPARE(AppSettings::fromJson(json), std::nullopt);
}

void TestModels::settingsRoundTripAndDefaults()
{
    const AppSettings def = AppSettings::defaults();
    QCOMPARE(def, (AppSettings{ChangeFrequency::hourly, DisplayScope::allDisplays, false}));
    QVERIFY(!(def == AppSettings{ChangeFrequency::hourly, DisplayScope::allDisplays, true}));
    const auto obj = QJsonDocument::fromJson(def.toJson()).object();
    QCOMPARE(obj.keys(), (QStringList{"dimInDarkStyle", "displayScope", "downloadOnMetered", "frequency", "isPaused",
                                      "notifyOnChange", "onlyKeptPictures", "saveData", "showCaption"}));
    QCOMPARE(obj.value(QStringLiteral("isPaused")), QJsonValue(false));

    const AppSettings s{
        ChangeFrequency::every15Minutes, DisplayScope::mainDisplay, true, true, true, true, true, true, true};
    QCOMPARE(AppSettings::fromJson(s.toJson()), s);
    // Settings written before the later options read with all of them off.
    QCOMPARE(AppSettings::fromJson(R"({"frequency":"daily","displayScope":"allDisplays","isPaused":true})"),
             (AppSettings{ChangeFrequency::daily, DisplayScope::allDisplays, true}));
    // Unknown keys are ignored.
    QVERIFY(AppSettings::fromJson(R"({"frequency":"daily","displayScope":"allDisplays","isPaused":false,"x":1})"));

    QVERIFY(!AppSettings({ChangeFrequency::manual, DisplayScope::allDisplays, false}).isAutoRotationActive());
    QVERIFY(!AppSettings({ChangeFrequency::hourly, DisplayScope::allDisplays, true}).isAutoRotationActive());
    QVERIFY(AppSettings({ChangeFrequency::every5Minutes, DisplayScope::allDisplays, false}).isAutoRotationActive());
}

static HubbleImage image(std::optional<qint64> w, std::optional<qint64> h)
{
    return HubbleImage{QStringLiteral("heic0910a"),
                       QStringLiteral("A title"),
                       QStringLiteral("ESA/Hubble & NASA"),
                       std::nullopt,
                       QUrl(QStringLiteral("https://cdn.esahubble.org/archives/images/large/heic0910a.jpg")),
                       std::nullopt,
                       QUrl(QStringLiteral("https://esahubble.org/images/heic0910a/")),
                       w,
                       h};
}

void TestModels::usablePixels_data()
{
    QTest::addColumn<std::optional<qint64>>("width");
    QTest::addColumn<std::optional<qint64>>("height");
    QTest::addColumn<double>("aspect");
    QTest::addColumn<qint64>("pixels");
    QTest::addColumn<bool>("priority");
    const double wide = 16.0 / 9.0;
    using O = std::optional<qint64>;
    QTest::newRow("6000x3000 @16:9") << O(6000) << O(3000) << wide << qint64(16'000'000) << true;
    QTest::newRow("4000x3000 @2.0") << O(4000) << O(3000) << 2.0 << qint64(8'000'000) << true;
    QTest::newRow("2000x1200 @16:9") << O(2000) << O(1200) << wide << qint64(2'250'000) << false;
    QTest::newRow("2560x1440 threshold inclusive") << O(2560) << O(1440) << wide << qint64(3'686'400) << true;
    QTest::newRow("2560x1600 height cropped") << O(2560) << O(1600) << wide << qint64(3'686'400) << true;
    QTest::newRow("3840x2160") << O(3840) << O(2160) << wide << qint64(8'294'400) << true;
    QTest::newRow("no width") << O() << O(1080) << wide << qint64(0) << false;
    QTest::newRow("no height") << O(1920) << O() << wide << qint64(0) << false;
    QTest::newRow("zero width") << O(0) << O(1080) << wide << qint64(0) << false;
    QTest::newRow("negative height") << O(1920) << O(-5) << wide << qint64(0) << false;
    QTest::newRow("nonsense aspect") << O(3840) << O(2160) << 0.0 << qint64(0) << false;
}

void TestModels::usablePixels()
{
    QFETCH(std::optional<qint64>, width);
    QFETCH(std::optional<qint64>, height);
    QFETCH(double, aspect);
    QFETCH(qint64, pixels);
    QFETCH(bool, priority);
    const HubbleImage img = image(width, height);
    QCOMPARE(img.usablePixels(aspect), pixels);
    QCOMPARE(img.isHighResolutionPriority(aspect), priority);
}

void TestModels::resolutionLabel()
{
    QCOMPARE(image(3840, 2160).resolutionLabel(), QStringLiteral("3840 \u00D7 2160"));
    QCOMPARE(image(0, 1080).resolutionLabel(), std::nullopt);
    QCOMPARE(image(std::nullopt, 1080).resolutionLabel(), std::nullopt);
}

void TestModels::firstSentence_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("the headline") << "Hubble's 25th anniversary\n\nThe cluster glows."
                                  << "Hubble's 25th anniversary";
    QTest::newRow("the first of several") << "The cluster glows. It is young."
                                          << "The cluster glows.";
    QTest::newRow("a decimal point ends nothing") << "It is 2.5 million years old. More."
                                                  << "It is 2.5 million years old.";
    QTest::newRow("no full stop at all") << "  A glowing cluster  "
                                         << "A glowing cluster";
    QTest::newRow("empty") << ""
                           << "";
}

void TestModels::firstSentence()
{
    QFETCH(QString, text);
    QFETCH(QString, sentence);
    QCOMPARE(Starvane::firstSentence(text), sentence);
}

void TestModels::imageJsonRoundTrip()
{
    HubbleImage minimal = image(std::nullopt, std::nullopt);
    const QJsonObject o = QJsonDocument::fromJson(minimal.toJson()).object();
    QCOMPARE(o.keys(), (QStringList{"credit", "detailsURL", "id", "imageURL", "title"}));
    QCOMPARE(HubbleImage::fromJson(minimal.toJson()), minimal);

    HubbleImage full = image(6000, 3375);
    full.dateCaptured = QStringLiteral("2009");
    full.fallbackImageURL = QUrl(QStringLiteral("https://cdn.esahubble.org/archives/images/wallpaper5/heic0910a.jpg"));
    full.title = QStringLiteral("Saturn\u2019s \"rings\" & moons");
    full.description = QStringLiteral("Rings of ice.\n\nMoons of rock.");
    QCOMPARE(HubbleImage::fromJson(full.toJson()), full);

    HubbleImage other = full;
    other.credit = QStringLiteral("NASA");
    QVERIFY(!(other == full));
    QCOMPARE(other.id, full.id);

    // Optional keys may be null; unknown keys are ignored.
    QJsonObject withNulls = minimal.toJsonObject();
    withNulls.insert(QStringLiteral("width"), QJsonValue::Null);
    withNulls.insert(QStringLiteral("fallbackImageURL"), QJsonValue::Null);
    withNulls.insert(QStringLiteral("future"), 42);
    QCOMPARE(HubbleImage::fromJsonObject(withNulls), minimal);
    // A description that is no text costs only itself, never the record.
    withNulls.insert(QStringLiteral("description"), 42);
    QCOMPARE(HubbleImage::fromJsonObject(withNulls), minimal);
}

void TestModels::imageJsonRejects_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("value");
    QTest::newRow("missing id") << "id" << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("missing imageURL") << "imageURL" << QJsonValue(QJsonValue::Undefined);
    QTest::newRow("title not a string") << "title" << QJsonValue(7);
    QTest::newRow("invalid URL") << "detailsURL" << QJsonValue(QStringLiteral("http://[::1"));
    QTest::newRow("empty URL") << "imageURL" << QJsonValue(QString());
    QTest::newRow("fractional width") << "width" << QJsonValue(12.5);
    QTest::newRow("width as string") << "width" << QJsonValue(QStringLiteral("1920"));
}

void TestModels::imageJsonRejects()
{
    QFETCH(QString, key);
    QFETCH(QJsonValue, value);
    QJsonObject o = image(1920, 1080).toJsonObject();
    if (value.isUndefined())
        o.remove(key);
    else
        o.insert(key, value);
    QCOMPARE(HubbleImage::fromJsonObject(o), std::nullopt);
}

void TestModels::errorDescriptions_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    QTest::newRow("http 404") << HubbleAPIError::httpStatus(404).description() << "ESA/Hubble archive returned HTTP 404.";
    QTest::newRow("http 503") << HubbleAPIError::httpStatus(503).description() << "ESA/Hubble archive returned HTTP 503.";
    QTest::newRow("150 MB") << HubbleAPIError::fileTooLarge(157'286'400).description() << "Skipped oversized image (150.0 MB).";
    QTest::newRow("just over") << HubbleAPIError::fileTooLarge(104'857'601).description() << "Skipped oversized image (100.0 MB).";
    QTest::newRow("ineligible") << HubbleAPIError::ineligibleImage(QStringLiteral("not a single Hubble observation")).description()
                                << "Skipped image: not a single Hubble observation.";
    QTest::newRow("invalidURL") << HubbleAPIError::invalidURL().description() << "Could not construct the ESA/Hubble archive request.";
    QTest::newRow("invalidResponse") << HubbleAPIError::invalidResponse().description()
                                     << "Received an unexpected response from the ESA/Hubble archive.";
    QTest::newRow("emptyCatalog") << HubbleAPIError::emptyCatalog().description()
                                  << "No high-resolution Hubble telescope wallpapers were found on this page.";
    QTest::newRow("incomplete") << HubbleAPIError::incompleteTransfer().description()
                                << "Image download ended before all bytes were received.";
    QTest::newRow("too small") << WallpaperCacheError::imageTooSmall(1919, 1200).description()
                               << "Image resolution (1919\u00D71200) is below the HD wallpaper threshold.";
    QTest::newRow("aspect") << WallpaperCacheError::unsuitableAspectRatio(3000, 3000).description()
                            << "Image aspect ratio (3000\u00D73000) is not suitable for a widescreen desktop.";
    QTest::newRow("invalid image") << WallpaperCacheError::invalidImageData().description() << "Downloaded file was not a valid image.";
    QTest::newRow("truncated") << WallpaperCacheError::truncatedImageData().description()
                               << "Downloaded image was incomplete or corrupted.";
    QTest::newRow("missing file") << WallpaperApplyError::fileMissing(QUrl::fromLocalFile(QStringLiteral("/tmp/x/a.jpg"))).description()
                                  << "Wallpaper file could not be found at a.jpg.";
    QTest::newRow("display failed") << WallpaperApplyError::displayUpdateFailed(QStringLiteral("Plasma is locked")).description()
                                    << "The desktop could not update all displays: Plasma is locked";
    QTest::newRow("no displays") << WallpaperApplyError::noDisplaysFound().description() << "No active displays were found.";
    QTest::newRow("what() matches") << QString::fromUtf8(HubbleAPIError::httpStatus(500).what())
                                    << "ESA/Hubble archive returned HTTP 500.";

    // Errors as values: the kind's stable code beside its description, and a value another process
    // makes back from the two.
    const auto value = [](auto error) -> QString {
        const ChangeError e = ChangeError::from(std::make_exception_ptr(error));
        const std::optional<ChangeError> back = ChangeError::fromCode(e.code(), e.arguments());
        return e.code() + QStringLiteral(": ") + e.description() +
               (back == e ? QString() : QStringLiteral(" (does not round-trip)"));
    };
    QTest::newRow("value: 503") << value(HubbleAPIError::httpStatus(503))
                                << "httpStatus: ESA/Hubble archive returned HTTP 503.";
    QTest::newRow("value: host not found")
        << value(NetworkError(NetworkFailure::hostNotFound, "Host esahubble.org not found"))
        << "network.hostNotFound: Host esahubble.org not found";
    QTest::newRow("value: time-out") << value(NetworkError(NetworkFailure::timedOut, "Operation canceled"))
                                     << "network.timedOut: Operation canceled";
    QTest::newRow("value: too small") << value(WallpaperCacheError::imageTooSmall(1919, 1200))
                                      << "imageTooSmall: Image resolution (1919\u00D71200) is below the HD wallpaper threshold.";
    QTest::newRow("value: oversized") << value(HubbleAPIError::fileTooLarge(104857601))
                                      << "fileTooLarge: Skipped oversized image (100.0 MB).";
    QTest::newRow("value: ineligible") << value(HubbleAPIError::ineligibleImage(ineligibleBecauseNotObservation()))
                                       << "ineligibleImage: Skipped image: not a single Hubble observation.";
    QTest::newRow("value: file missing")
        << value(WallpaperApplyError::fileMissing(QUrl::fromLocalFile(QStringLiteral("/tmp/x/a.jpg"))))
        << "fileMissing: Wallpaper file could not be found at a.jpg.";
    QTest::newRow("value: the store's own") << value(ChangeFailure(ChangeError::of(ChangeError::Kind::noKeptPictures)))
                                            << "noKeptPictures: No kept pictures to show. Keep a picture first, or "
                                               "rotate among all pictures.";
    QTest::newRow("value: anything else") << value(std::runtime_error("boom")) << "other: boom";
    QTest::newRow("unknown code") << QString(ChangeError::fromCode("noSuchCode", {}) ? "known" : "unknown")
                                  << "unknown";
}

void TestModels::errorDescriptions()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(TestModels)
#include "tst_models.moc"
