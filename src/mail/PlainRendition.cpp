#include "mail/PlainRendition.h"

#include <QHash>
#include <QStringList>
#include <map>
#include <vector>

namespace quillmark::mail {

namespace {

QString entity(const QString& name) {
    static const QHash<QString, QString> named{
        {QStringLiteral("amp"), QStringLiteral("&")},   {QStringLiteral("lt"), QStringLiteral("<")},
        {QStringLiteral("gt"), QStringLiteral(">")},    {QStringLiteral("quot"), QStringLiteral("\"")},
        {QStringLiteral("apos"), QStringLiteral("'")},  {QStringLiteral("nbsp"), QString(QChar(0xa0))},
        {QStringLiteral("copy"), QString(QChar(0xa9))}, {QStringLiteral("euro"), QString(QChar(0x20ac))},
    };
    if (name.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const uint code = name.startsWith(QStringLiteral("#x"), Qt::CaseInsensitive) ? name.mid(2).toUInt(&ok, 16)
                                                                                     : name.mid(1).toUInt(&ok, 10);
        if (ok && code > 0 && code <= 0x10ffff) {
            const char32_t character = code;
            return QString::fromUcs4(&character, 1);
        }
        return QString();
    }
    return named.value(name.toLower(), QLatin1Char('&') + name + QLatin1Char(';'));
}

bool isAsciiLetter(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isHexDigit(QChar c) {
    return isAsciiDigit(c) || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

qsizetype runLength(QStringView text, qsizetype from, bool (*accepts)(QChar)) {
    qsizetype end = from;
    while (end < text.size() && accepts(text[end])) {
        ++end;
    }
    return end - from;
}

// The length of the entity name at `at` (just after a '&') when a ';' closes it, otherwise 0.
// A name is "#" and 1-7 digits, "#x" and 1-6 hex digits, or 2-8 letters.
qsizetype entityNameLength(QStringView text, qsizetype at) {
    qsizetype length = 0;
    if (text.mid(at).startsWith(QLatin1String("#x"), Qt::CaseInsensitive)) {
        const qsizetype digits = runLength(text, at + 2, isHexDigit);
        length = digits >= 1 && digits <= 6 ? 2 + digits : 0;
    } else if (text.mid(at).startsWith(QLatin1Char('#'))) {
        const qsizetype digits = runLength(text, at + 1, isAsciiDigit);
        length = digits >= 1 && digits <= 7 ? 1 + digits : 0;
    } else {
        const qsizetype letters = runLength(text, at, isAsciiLetter);
        length = letters >= 2 && letters <= 8 ? letters : 0;
    }
    return length > 0 && text.mid(at + length).startsWith(QLatin1Char(';')) ? length : 0;
}

QString decodeEntities(const QString& text) {
    QString result;
    result.reserve(text.size());
    qsizetype last = 0;
    for (qsizetype at = text.indexOf(QLatin1Char('&')); at >= 0; at = text.indexOf(QLatin1Char('&'), at + 1)) {
        const qsizetype length = entityNameLength(text, at + 1);
        if (length == 0) {
            continue;
        }
        result += QStringView(text).mid(last, at - last);
        result += entity(text.mid(at + 1, length));
        last = at + 1 + length + 1;
        at = last - 1;
    }
    result += QStringView(text).mid(last);
    return result;
}

bool isLineSpace(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QChar(0xa0);
}

// Collapses the spaces of each line and limits blank lines to one.
QString tidyLines(const QString& text) {
    QString result;
    result.reserve(text.size());
    QString line;
    bool pendingBlank = false; // a blank line is kept only between lines of text
    for (const QStringView raw : QStringView(text).tokenize(QLatin1Char('\n'))) {
        line.clear();
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (!isLineSpace(raw[i])) {
                line += raw[i];
            } else if (i == 0 || !isLineSpace(raw[i - 1])) {
                line += QLatin1Char(' ');
            }
        }
        const QString tidy = line.trimmed();
        if (tidy.isEmpty()) {
            pendingBlank = !result.isEmpty();
            continue;
        }
        if (!result.isEmpty()) {
            result += QStringLiteral("\r\n");
        }
        if (pendingBlank) {
            result += QStringLiteral("\r\n");
            pendingBlank = false;
        }
        result += tidy;
    }
    return result;
}

// Turns HTML markup into the text a reader sees, before entities are decoded and lines tidied:
// hidden elements and comments go, line ends in the source are spaces, line and block
// elements break lines, list items start "- " lines, cells end with a tab, other tags vanish.
class HtmlText {
public:
    explicit HtmlText(const QString& html)
        : m_html(html), m_lastTagEnd(html.lastIndexOf(QLatin1Char('>'))),
          m_lastCommentEnd(html.lastIndexOf(QLatin1String("-->"))) {
        m_text.reserve(html.size());
    }

    QString read() {
        while (m_at < m_html.size()) {
            const QChar c = m_html[m_at];
            if (c == QLatin1Char('<') && readMarkup()) {
                continue;
            }
            // Line ends in HTML source are spaces to a reader; only markup breaks lines.
            const bool sourceSpace = c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('\t');
            m_text += sourceSpace ? QChar(QLatin1Char(' ')) : c;
            ++m_at;
        }
        return m_text;
    }

private:
    // Handles the markup starting at the '<' under m_at; false when the '<' is text. As in a
    // browser, markup starts with a letter, "/" and a letter, "!" or "?" after the '<', and a '>'
    // must end it; the tag's name runs to the first space, "/" or ">". Every search forward is
    // known to succeed before it starts and the text it passes over is consumed, so the scan
    // stays linear however many unclosed tags and comments the text holds.
    bool readMarkup() {
        const QStringView rest = QStringView(m_html).mid(m_at);
        if (rest.startsWith(u"<!--") && m_at + 4 <= m_lastCommentEnd) {
            const qsizetype end = rest.indexOf(u"-->", 4);
            if (end >= 0) {
                m_at += end + 3;
                return true;
            }
        }
        const bool closing = rest.startsWith(u"</");
        const qsizetype nameStart = closing ? 2 : 1;
        const bool opens = rest.size() > nameStart &&
                           (isAsciiLetter(rest[nameStart]) || (!closing && (rest[1] == u'!' || rest[1] == u'?')));
        const qsizetype close = opens && m_at < m_lastTagEnd ? rest.indexOf(u'>') : -1;
        if (close < 0) {
            return false;
        }
        qsizetype nameEnd = nameStart;
        while (nameEnd < close && !rest[nameEnd].isSpace() && rest[nameEnd] != u'/') {
            ++nameEnd;
        }
        const QString name = rest.mid(nameStart, nameEnd - nameStart).toString().toLower();
        const qsizetype tagEnd = m_at + close + 1;
        if (!closing && skipHiddenElement(name, tagEnd)) {
            return true;
        }
        m_text += replacementFor(name, closing, rest.mid(nameEnd, close - nameEnd));
        m_at = tagEnd;
        return true;
    }

    // A head, style, script or title element goes with its content, when it is closed.
    bool skipHiddenElement(const QString& name, qsizetype contentStart) {
        static const QStringList hidden{QStringLiteral("head"), QStringLiteral("style"), QStringLiteral("script"),
                                        QStringLiteral("title")};
        if (!hidden.contains(name)) {
            return false;
        }
        const auto unclosed = m_unclosedFrom.find(name);
        if (unclosed != m_unclosedFrom.end() && contentStart >= unclosed->second) {
            return false; // searched before: nothing from here on closes it
        }
        const QString closeTag = QStringLiteral("</") + name;
        for (qsizetype at = m_html.indexOf(closeTag, contentStart, Qt::CaseInsensitive); at >= 0;
             at = m_html.indexOf(closeTag, at + 1, Qt::CaseInsensitive)) {
            qsizetype end = at + closeTag.size();
            while (end < m_html.size() && m_html[end].isSpace()) {
                ++end;
            }
            if (end < m_html.size() && m_html[end] == QLatin1Char('>')) {
                m_at = end + 1;
                return true;
            }
        }
        m_unclosedFrom[name] = contentStart;
        return false;
    }

    static QString replacementFor(const QString& name, bool closing, QStringView rest) {
        static const QStringList blocks{QStringLiteral("p"),          QStringLiteral("div"), QStringLiteral("h1"),
                                        QStringLiteral("h2"),         QStringLiteral("h3"),  QStringLiteral("h4"),
                                        QStringLiteral("h5"),         QStringLiteral("h6"),  QStringLiteral("tr"),
                                        QStringLiteral("table"),      QStringLiteral("ul"),  QStringLiteral("ol"),
                                        QStringLiteral("blockquote"), QStringLiteral("pre"), QStringLiteral("hr")};
        if (blocks.contains(name)) {
            return QStringLiteral("\n\n");
        }
        if (!closing && name == QLatin1String("br")) {
            return QStringLiteral("\n");
        }
        if (!closing && name == QLatin1String("li")) {
            return QStringLiteral("\n- ");
        }
        if (closing && (name == QLatin1String("td") || name == QLatin1String("th")) && rest.trimmed().isEmpty()) {
            return QStringLiteral("\t");
        }
        return {};
    }

    const QString& m_html;
    const qsizetype m_lastTagEnd;                // the last '>' (-1: none)
    const qsizetype m_lastCommentEnd;            // the last "-->" (-1: none)
    std::map<QString, qsizetype> m_unclosedFrom; // hidden element name: no closing tag from here on
    qsizetype m_at = 0;
    QString m_text;
};

} // namespace

QString PlainRendition::fromHtml(const QString& html) {
    return tidyLines(decodeEntities(HtmlText(html).read()));
}

namespace {

// The destinations whose text is not part of the document body.
bool isHiddenDestination(const QString& word) {
    static const QStringList hidden{QStringLiteral("fonttbl"),    QStringLiteral("colortbl"),
                                    QStringLiteral("stylesheet"), QStringLiteral("info"),
                                    QStringLiteral("pict"),       QStringLiteral("header"),
                                    QStringLiteral("footer"),     QStringLiteral("object"),
                                    QStringLiteral("listtable"),  QStringLiteral("listoverridetable")};
    return hidden.contains(word);
}

// Reads the text of an RTF document: groups, control words, hex and Unicode escapes.
// Anything it does not know is skipped, so odd input yields less text, never a failure.
class RtfText {
public:
    explicit RtfText(const QString& rtf) : m_rtf(rtf) {}

    QString read() {
        while (m_at < m_rtf.size()) {
            const QChar c = m_rtf.at(m_at++);
            if (c == QLatin1Char('{')) {
                openGroup();
            } else if (c == QLatin1Char('}')) {
                if (m_stack.size() > 1) {
                    m_stack.pop_back();
                }
            } else if (c == QLatin1Char('\\')) {
                readEscape();
            } else if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) {
                output(QString(c));
            }
        }
        return m_text;
    }

private:
    struct State {
        bool hidden = false;
        int skipAfterUnicode = 1;
    };

    void openGroup() {
        m_stack.push_back(m_stack.back());
        if (m_rtf.mid(m_at, 2) == QLatin1String("\\*")) {
            m_stack.back().hidden = true;
        }
    }

    // Text of the document, minus the fallback characters that follow a \u escape.
    void output(const QString& text) {
        if (m_pendingSkip > 0) {
            --m_pendingSkip;
        } else if (!m_stack.back().hidden) {
            m_text += text;
        }
    }

    void readEscape() {
        if (m_at >= m_rtf.size()) {
            return;
        }
        const QChar next = m_rtf.at(m_at);
        if (next == QLatin1Char('\\') || next == QLatin1Char('{') || next == QLatin1Char('}')) {
            ++m_at;
            output(QString(next));
        } else if (next == QLatin1Char('\'')) {
            bool ok = false;
            const uint code = m_rtf.mid(m_at + 1, 2).toUInt(&ok, 16);
            m_at += 3;
            output(ok ? QString::fromLatin1(QByteArray(1, static_cast<char>(code))) : QString());
        } else if (next.isLetter()) {
            readControlWord();
        } else {
            ++m_at; // a control symbol such as \~ (a non-breaking space) or \-
            if (next == QLatin1Char('~')) {
                output(QString(QChar(0xa0)));
            }
        }
    }

    void readControlWord() {
        const qsizetype start = m_at;
        while (m_at < m_rtf.size() && m_rtf.at(m_at).isLetter()) {
            ++m_at;
        }
        const QString word = m_rtf.mid(start, m_at - start);
        const qsizetype numberStart = m_at;
        if (m_at < m_rtf.size() && (m_rtf.at(m_at) == QLatin1Char('-') || m_rtf.at(m_at).isDigit())) {
            ++m_at;
            while (m_at < m_rtf.size() && m_rtf.at(m_at).isDigit()) {
                ++m_at;
            }
        }
        const bool hasNumber = m_at > numberStart;
        const int number = hasNumber ? m_rtf.mid(numberStart, m_at - numberStart).toInt() : 0;
        if (m_at < m_rtf.size() && m_rtf.at(m_at) == QLatin1Char(' ')) {
            ++m_at; // the delimiting space belongs to the control word
        }
        applyControlWord(word, hasNumber, number);
    }

    void applyControlWord(const QString& word, bool hasNumber, int number) {
        State& state = m_stack.back();
        if (isHiddenDestination(word)) {
            state.hidden = true;
        } else if (word == QLatin1String("par") || word == QLatin1String("line")) {
            if (!state.hidden) {
                m_text += QLatin1Char('\n');
            }
        } else if (word == QLatin1String("tab")) {
            if (!state.hidden) {
                m_text += QLatin1Char('\t');
            }
        } else if (word == QLatin1String("uc") && hasNumber) {
            state.skipAfterUnicode = number;
        } else if (word == QLatin1String("u") && hasNumber) {
            if (!state.hidden) {
                m_text += QChar(static_cast<char16_t>(number < 0 ? number + 65536 : number));
            }
            m_pendingSkip = state.skipAfterUnicode;
        }
    }

    const QString& m_rtf;
    qsizetype m_at = 0;
    std::vector<State> m_stack{State{}};
    int m_pendingSkip = 0;
    QString m_text;
};

} // namespace

QString PlainRendition::fromRtf(const QString& rtf) {
    return tidyLines(RtfText(rtf).read());
}

} // namespace quillmark::mail
