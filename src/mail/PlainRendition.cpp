#include "mail/PlainRendition.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>
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

QString decodeEntities(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6}|[a-zA-Z]{2,8});"));
    QString result;
    qsizetype last = 0;
    auto matches = pattern.globalMatch(text);
    while (matches.hasNext()) {
        const auto match = matches.next();
        result += text.mid(last, match.capturedStart() - last);
        result += entity(match.captured(1));
        last = match.capturedEnd();
    }
    return result + text.mid(last);
}

// Collapses the spaces of each line and limits blank lines to one.
QString tidyLines(const QString& text) {
    static const QRegularExpression spaces(QStringLiteral("[ \\t\\x{a0}]+"));
    QStringList lines;
    bool lastBlank = true;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.replace(spaces, QStringLiteral(" ")).trimmed();
        if (line.isEmpty() && lastBlank) {
            continue;
        }
        lastBlank = line.isEmpty();
        lines << line;
    }
    while (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace

QString PlainRendition::fromHtml(const QString& html) {
    static const QRegularExpression hidden(
        QStringLiteral("<(head|style|script|title)\\b[^>]*>.*?</\\1\\s*>|<!--.*?-->"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression lineBreak(QStringLiteral("<br\\b[^>]*>"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression block(QStringLiteral("</?(p|div|h[1-6]|tr|table|ul|ol|blockquote|pre|hr)\\b[^>]*>"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression item(QStringLiteral("<li\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression cell(QStringLiteral("</t[dh]\\s*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    static const QRegularExpression whitespace(QStringLiteral("[\\r\\n\\t]+"));

    QString text = html;
    text.remove(hidden);
    // Line ends in HTML source are spaces to a reader; only markup breaks lines.
    text.replace(whitespace, QStringLiteral(" "));
    text.replace(lineBreak, QStringLiteral("\n"));
    text.replace(block, QStringLiteral("\n\n"));
    text.replace(item, QStringLiteral("\n- "));
    text.replace(cell, QStringLiteral("\t"));
    text.remove(tag);
    return tidyLines(decodeEntities(text));
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
