// SPDX-License-Identifier: GPL-3.0-or-later
// The picture's story on its detail page, as plain text. The page is whatever a server sent: one pass
// from front to back with no backtracking, so unclosed tags, scripts and megabytes of text cost time in
// proportion to the page and stop as soon as enough text is collected.
#include "detailparser.h"

#include <QRegularExpression>
#include <QTextBoundaryFinder>

namespace Starvane::HubbleArchive {

namespace {

// Collected past the limit so that the sentence boundaries up to it are certain.
constexpr qsizetype kLookahead = 64;
// The longest entity name we know plus room for "#x10FFFF".
constexpr qsizetype kMaxEntityLength = 10;

// Element contents that are never text a person reads on the page.
const QStringList kSkippedElements = {
    QStringLiteral("script"), QStringLiteral("style"),    QStringLiteral("noscript"), QStringLiteral("template"),
    QStringLiteral("iframe"), QStringLiteral("svg"),      QStringLiteral("object"),   QStringLiteral("select"),
    QStringLiteral("button"), QStringLiteral("textarea"),
};
// Elements that end one paragraph and start the next.
const QStringList kBlockElements = {
    QStringLiteral("p"),     QStringLiteral("div"),    QStringLiteral("h1"),         QStringLiteral("h2"),
    QStringLiteral("h3"),    QStringLiteral("h4"),     QStringLiteral("h5"),         QStringLiteral("h6"),
    QStringLiteral("ul"),    QStringLiteral("ol"),     QStringLiteral("li"),         QStringLiteral("blockquote"),
    QStringLiteral("table"), QStringLiteral("tr"),     QStringLiteral("section"),    QStringLiteral("article"),
    QStringLiteral("hr"),    QStringLiteral("figure"), QStringLiteral("figcaption"), QStringLiteral("dl"),
    QStringLiteral("dt"),    QStringLiteral("dd"),     QStringLiteral("header"),     QStringLiteral("footer"),
};

// The named references that turn up in the archive's texts; an unknown one stays as written.
char32_t namedEntity(QStringView name)
{
    static const QHash<QString, char32_t> entities = {
        {QStringLiteral("amp"), U'&'},         {QStringLiteral("lt"), U'<'},
        {QStringLiteral("gt"), U'>'},          {QStringLiteral("quot"), U'"'},
        {QStringLiteral("apos"), U'\''},       {QStringLiteral("nbsp"), U'\u00A0'},
        {QStringLiteral("ndash"), U'\u2013'},  {QStringLiteral("mdash"), U'\u2014'},
        {QStringLiteral("lsquo"), U'\u2018'},  {QStringLiteral("rsquo"), U'\u2019'},
        {QStringLiteral("ldquo"), U'\u201C'},  {QStringLiteral("rdquo"), U'\u201D'},
        {QStringLiteral("hellip"), U'\u2026'}, {QStringLiteral("deg"), U'\u00B0'},
        {QStringLiteral("times"), U'\u00D7'},  {QStringLiteral("minus"), U'\u2212'},
        {QStringLiteral("plusmn"), U'\u00B1'}, {QStringLiteral("micro"), U'\u00B5'},
        {QStringLiteral("middot"), U'\u00B7'}, {QStringLiteral("bull"), U'\u2022'},
        {QStringLiteral("laquo"), U'\u00AB'},  {QStringLiteral("raquo"), U'\u00BB'},
        {QStringLiteral("copy"), U'\u00A9'},   {QStringLiteral("reg"), U'\u00AE'},
        {QStringLiteral("sup2"), U'\u00B2'},   {QStringLiteral("sup3"), U'\u00B3'},
        {QStringLiteral("frac12"), U'\u00BD'}, {QStringLiteral("asymp"), U'\u2248'},
        {QStringLiteral("sim"), U'\u223C'},    {QStringLiteral("le"), U'\u2264'},
        {QStringLiteral("ge"), U'\u2265'},     {QStringLiteral("prime"), U'\u2032'},
        {QStringLiteral("Prime"), U'\u2033'},  {QStringLiteral("thinsp"), U'\u2009'},
        {QStringLiteral("ensp"), U'\u2002'},   {QStringLiteral("emsp"), U'\u2003'},
        {QStringLiteral("shy"), U'\u00AD'},    {QStringLiteral("alpha"), U'\u03B1'},
        {QStringLiteral("beta"), U'\u03B2'},   {QStringLiteral("gamma"), U'\u03B3'},
        {QStringLiteral("delta"), U'\u03B4'},  {QStringLiteral("eta"), U'\u03B7'},
        {QStringLiteral("lambda"), U'\u03BB'}, {QStringLiteral("mu"), U'\u03BC'},
        {QStringLiteral("pi"), U'\u03C0'},     {QStringLiteral("sigma"), U'\u03C3'},
        {QStringLiteral("omega"), U'\u03C9'},  {QStringLiteral("Omega"), U'\u03A9'},
        {QStringLiteral("eacute"), U'\u00E9'}, {QStringLiteral("egrave"), U'\u00E8'},
        {QStringLiteral("aacute"), U'\u00E1'}, {QStringLiteral("iacute"), U'\u00ED'},
        {QStringLiteral("oacute"), U'\u00F3'}, {QStringLiteral("uacute"), U'\u00FA'},
        {QStringLiteral("auml"), U'\u00E4'},   {QStringLiteral("ouml"), U'\u00F6'},
        {QStringLiteral("uuml"), U'\u00FC'},   {QStringLiteral("szlig"), U'\u00DF'},
        {QStringLiteral("ccedil"), U'\u00E7'}, {QStringLiteral("ntilde"), U'\u00F1'},
        {QStringLiteral("aring"), U'\u00E5'},  {QStringLiteral("oslash"), U'\u00F8'},
    };
    return entities.value(name.toString(), 0);
}

// Characters that would make plain text misbehave where it is shown: controls, unpaired surrogates,
// non-characters and the bidirectional overrides that reorder everything after them.
bool isUnwanted(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c > 0x10FFFF;
}

/// Builds paragraphs of single-spaced text, character by character.
class TextCollector
{
public:
    explicit TextCollector(qsizetype enough) : m_enough(enough) {}

    void append(char32_t c)
    {
        if (QChar::isSpace(c) || c == U'\t' || c == U'\n' || c == U'\r') {
            m_pendingSpace = !m_paragraph.isEmpty();
            return;
        }
        if (isUnwanted(c)) return;
        if (m_pendingSpace) m_paragraph += QLatin1Char(' ');
        m_pendingSpace = false;
        m_paragraph += QString::fromUcs4(&c, 1);
    }
    void endParagraph()
    {
        if (!m_paragraph.isEmpty()) {
            if (!m_text.isEmpty()) m_text += QStringLiteral("\n\n");
            m_text += m_paragraph;
        }
        m_paragraph.clear();
        m_pendingSpace = false;
    }
    bool isFull() const { return m_text.size() + m_paragraph.size() > m_enough; }
    QString take()
    {
        endParagraph();
        return std::move(m_text);
    }

private:
    qsizetype m_enough;
    QString m_text;
    QString m_paragraph;
    bool m_pendingSpace = false;
};

bool isNameChar(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
           (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

// The character a reference at `at` (an '&') stands for, and its length; 0 when it is no reference.
std::pair<char32_t, qsizetype> entityAt(QStringView s, qsizetype at)
{
    const qsizetype semicolon = s.mid(at, kMaxEntityLength + 2).indexOf(QLatin1Char(';'));
    if (semicolon < 2) return {0, 0};
    const QStringView name = s.mid(at + 1, semicolon - 1);
    char32_t value = 0;
    if (name.startsWith(QLatin1Char('#'))) {
        const bool hex = name.size() > 1 && (name[1] == QLatin1Char('x') || name[1] == QLatin1Char('X'));
        bool ok = false;
        const uint number = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
        // A reference to nothing readable reads as nothing; the text around it stays.
        if (!ok) return {0, 0};
        value = number > 0x10FFFF ? U'\uFFFF' : char32_t(number);
    } else {
        if (!std::all_of(name.begin(), name.end(), isNameChar)) return {0, 0};
        value = namedEntity(name);
        if (value == 0) return {0, 0};
    }
    return {value, semicolon + 1};
}

// Appends the text `s` between tags, references decoded.
void appendText(TextCollector &out, QStringView s)
{
    for (qsizetype i = 0; i < s.size() && !out.isFull();) {
        if (s[i] == QLatin1Char('&')) {
            if (const auto [value, length] = entityAt(s, i); length > 0) {
                out.append(value);
                i += length;
                continue;
            }
        }
        char32_t c = s[i].unicode();
        qsizetype step = 1;
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(s[i], s[i + 1]);
            step = 2;
        }
        out.append(c);
        i += step;
    }
}

// The position just past the element that opens at `open`, its nested elements of the same name
// included; the end of `s` when it is never closed. Each search goes on from where it stopped.
qsizetype endOfElement(QStringView s, qsizetype open, QLatin1String name)
{
    const QString opening = QLatin1Char('<') + name;
    const QString closing = QStringLiteral("</") + name;
    qsizetype nextOpen = open;
    qsizetype nextClose = s.indexOf(closing, open, Qt::CaseInsensitive);
    int depth = 0;
    while (nextClose >= 0) {
        if (nextOpen >= 0 && nextOpen < nextClose) {
            ++depth;
            nextOpen = s.indexOf(opening, nextOpen + opening.size(), Qt::CaseInsensitive);
            continue;
        }
        if (--depth == 0) {
            const qsizetype gt = s.indexOf(QLatin1Char('>'), nextClose);
            return gt < 0 ? s.size() : gt + 1;
        }
        nextClose = s.indexOf(closing, nextClose + closing.size(), Qt::CaseInsensitive);
    }
    return s.size();
}

// Where the picture's own block opens: <div class="archive-image …"> on current pages,
// <div class="archive_image"> on older ones.
std::optional<qsizetype> imageBlockStart(QStringView page)
{
    for (const QLatin1String marker : {QLatin1String("archive-image"), QLatin1String("archive_image")}) {
        const qsizetype at = page.indexOf(marker);
        if (at < 0) continue;
        const qsizetype open = page.lastIndexOf(QLatin1String("<div"), at, Qt::CaseInsensitive);
        if (open >= 0 && !page.mid(open, at - open).contains(QLatin1Char('>'))) return open;
    }
    return std::nullopt;
}

// The text of `region` as paragraphs, until `enough` characters are collected.
QString paragraphsOf(QStringView region, qsizetype enough)
{
    TextCollector out(enough);
    qsizetype i = 0;
    while (i < region.size() && !out.isFull()) {
        const qsizetype lt = region.indexOf(QLatin1Char('<'), i);
        const qsizetype textEnd = lt < 0 ? region.size() : lt;
        appendText(out, region.mid(i, textEnd - i));
        if (lt < 0) break;
        i = lt;
        if (region.mid(i, 4) == QLatin1String("<!--")) {
            const qsizetype end = region.indexOf(QLatin1String("-->"), i + 4);
            i = end < 0 ? region.size() : end + 3;
            continue;
        }
        if (region.mid(i, 2) == QLatin1String("<!") || region.mid(i, 2) == QLatin1String("<?")) {
            // A declaration or a processing instruction: markup, never text.
            const qsizetype end = region.indexOf(QLatin1Char('>'), i + 2);
            i = end < 0 ? region.size() : end + 1;
            continue;
        }
        const bool closing = region.mid(i + 1, 1) == QLatin1String("/");
        qsizetype nameEnd = i + (closing ? 2 : 1);
        while (nameEnd < region.size() && isNameChar(region[nameEnd]))
            ++nameEnd;
        const QString name = region.mid(i + (closing ? 2 : 1), nameEnd - i - (closing ? 2 : 1)).toString().toLower();
        if (name.isEmpty() || !name.front().isLetter()) {
            // "a < b" or a stray "</": a character of the text, not a tag.
            appendText(out, region.mid(i, 1));
            ++i;
            continue;
        }
        const qsizetype gt = region.indexOf(QLatin1Char('>'), nameEnd);
        // A tag that never closes takes the rest of the page with it.
        if (gt < 0) break;
        i = gt + 1;
        if (!closing && kSkippedElements.contains(name)) {
            const qsizetype end = region.indexOf(QString(QStringLiteral("</") + name), i, Qt::CaseInsensitive);
            if (end < 0) break;
            const qsizetype endGt = region.indexOf(QLatin1Char('>'), end);
            i = endGt < 0 ? region.size() : endGt + 1;
        } else if (kBlockElements.contains(name)) {
            out.endParagraph();
        } else if (name == QLatin1String("br")) {
            appendText(out, u" ");
        }
    }
    return out.take();
}

// At most `limit` characters, cut after the last sentence that fits; "…" after the last whole word when
// not even one sentence does.
std::optional<QString> cutAtSentence(const QString &text, qsizetype limit)
{
    if (text.size() <= limit) return text.isEmpty() ? std::nullopt : std::optional(text);
    QTextBoundaryFinder sentences(QTextBoundaryFinder::Sentence, text);
    qsizetype cut = 0;
    for (qsizetype b = sentences.toNextBoundary(); b > 0 && b <= limit; b = sentences.toNextBoundary())
        cut = b;
    if (cut > 0) {
        const QString kept = text.left(cut).trimmed();
        if (!kept.isEmpty()) return kept;
    }
    const qsizetype space = text.lastIndexOf(QLatin1Char(' '), limit - 1);
    if (space <= 0) return std::nullopt;
    return text.left(space).trimmed() + QChar(0x2026);
}

} // namespace

std::optional<QString> extractDescription(const QString &html)
{
    const QRegularExpression creditLabel(QStringLiteral("<strong>\\s*Credit:\\s*</strong>"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QStringView page(html);
    const std::optional<qsizetype> image = imageBlockStart(page);
    if (!image) return std::nullopt;
    const qsizetype start = endOfElement(page, *image, QLatin1String("div"));
    const QRegularExpressionMatch credit = creditLabel.match(html, start);
    if (!credit.hasMatch()) return std::nullopt;
    const QString text =
        paragraphsOf(page.mid(start, credit.capturedStart() - start), kMaxDescriptionLength + kLookahead);
    return cutAtSentence(text, kMaxDescriptionLength);
}

} // namespace Starvane::HubbleArchive
