#include "sending/MyReplace.h"

#include "diagnostics/ErrorLine.h"
#include "diagnostics/Logging.h"
#include "sending/DoNotSend.h"
#include "sending/PlaceholderText.h"
#include "sending/RecipientFields.h"

#include <QStringView>
#include <exception>
#include <optional>

namespace quillmark::sending {

namespace {

constexpr QStringView kDelimiter = u"[Substitute";
constexpr QStringView kKeywordWord = u"Substitute:";
constexpr QStringView kDefaultWord = u"Default:";
constexpr QChar kQuote = u'"';
constexpr QChar kLeftCurly = u'\u201C';
constexpr QChar kRightCurly = u'\u201D';

// The parts of one placeholder, as indices into the original text.
struct Placeholder {
    qsizetype open = 0;        // its "["
    qsizetype keywordWord = 0; // its "Substitute:"
    qsizetype comma = 0;       // the "," after the keyword
    qsizetype defaultWord = 0; // its "Default:"
    qsizetype close = 0;       // the "]" after "Default:"
};

// One run of MyReplace. The text is never rebuilt: the personalised text is everything built so
// far followed by the original from `m_copied` on, and every search runs on the original at or
// after `m_copied`, which is exactly where the searches on the rebuilt text would look.
class Personalisation {
public:
    Personalisation(const QString& text, pugi::xml_node recipient) : m_text(text), m_recipient(recipient) {}

    QString run();

private:
    [[nodiscard]] QString personalisedSoFar() const;
    [[nodiscard]] qsizetype nextPlaceholder(qsizetype from) const;
    [[nodiscard]] qsizetype search(QStringView word, qsizetype from, qsizetype limit) const;
    [[nodiscard]] qsizetype nextOpeningAfter(qsizetype keywordWord) const;
    [[nodiscard]] bool locateParts(Placeholder& placeholder);
    [[nodiscard]] QString defaultValueOf(const Placeholder& placeholder);
    [[nodiscard]] std::optional<QString> candidateFor(const QString& keyword, const QString& defaultValue);
    void replace(const Placeholder& placeholder, const QString& value);
    void leaveAsWritten(const Placeholder& placeholder, const QString& reason) const;
    void note(QStringView prefix, const QString& text = QString()) const;

    const QString& m_text;
    pugi::xml_node m_recipient;
    std::optional<RecipientFields> m_fields;
    QString m_keyword;
    QString m_built;
    qsizetype m_copied = 0;
    int m_step = 2;
    bool m_logging = false;
};

// One information line: `prefix` followed by `text`, put together only when it is wanted.
void Personalisation::note(QStringView prefix, const QString& text) const {
    if (m_logging) {
        diagnostics::LogProductMessage(QStringLiteral("MyReplace"), prefix.isEmpty() ? text : prefix.toString() + text);
    }
}

QString Personalisation::run() {
    try {
        m_step = 2;
        // Asked once per run: a run writes several lines per placeholder, and each answer is a
        // read of the settings store.
        m_logging = diagnostics::informationLinesWanted();
        qsizetype open = nextPlaceholder(0);
        while (open >= 0) {
            Placeholder placeholder;
            placeholder.open = open;
            if (!locateParts(placeholder)) {
                if (placeholder.keywordWord < 0) {
                    break; // no "Substitute:" anywhere further on, so no placeholder either
                }
                m_step = 16;
                open = nextPlaceholder(placeholder.keywordWord + kKeywordWord.size());
                continue;
            }
            const QString defaultValue = defaultValueOf(placeholder);
            const std::optional<QString> candidate = candidateFor(m_keyword, defaultValue);
            if (!candidate) {
                return {};
            }
            replace(placeholder, *candidate);
            m_step = 16;
            open = nextPlaceholder(m_copied);
        }
        if (m_copied > 0) {
            m_built += QStringView(m_text).sliced(m_copied);
            m_copied = m_text.size();
        }
        QString personalised = m_copied > 0 ? m_built : m_text; // shared, not copied
        note({}, personalised);
        return personalised;
    } catch (const std::exception& failure) {
        diagnostics::logTrappedError(diagnostics::productSource(u"MyReplace"), m_step, failure);
        return personalisedSoFar();
    }
}

QString Personalisation::personalisedSoFar() const {
    if (m_copied == 0) {
        return m_text; // nothing replaced: share the caller's text
    }
    QString text;
    text.reserve(m_built.size() + m_text.size() - m_copied);
    text += m_built;
    text += QStringView(m_text).sliced(m_copied);
    return text;
}

qsizetype Personalisation::nextPlaceholder(qsizetype from) const {
    return delimiterStartIndex(m_text, from, kDelimiter, Qt::CaseInsensitive);
}

// The first `word` that starts at or after `from` and ends at or before `limit`; -1 if none.
qsizetype Personalisation::search(QStringView word, qsizetype from, qsizetype limit) const {
    if (from + word.size() > limit) {
        return -1;
    }
    const qsizetype found = QStringView(m_text).sliced(from, limit - from).indexOf(word, 0, Qt::CaseInsensitive);
    return found < 0 ? -1 : from + found;
}

// Where the next placeholder opens after the one whose "Substitute:" is at `keywordWord`: at
// the "[" nearest before a later "Substitute:". A "Substitute:" with no "[" between it and the
// previous one opens nothing (it may be words of a default) and is passed over. The end of the
// text when no placeholder follows. A placeholder's own parts all lie before this point.
qsizetype Personalisation::nextOpeningAfter(qsizetype keywordWord) const {
    const QStringView text(m_text);
    qsizetype from = keywordWord + kKeywordWord.size(); // no "[" between here and the last word
    while (true) {
        const qsizetype nextWord = text.indexOf(kKeywordWord, from, Qt::CaseInsensitive);
        if (nextWord < 0) {
            return m_text.size();
        }
        const qsizetype bracket = text.sliced(from, nextWord - from).lastIndexOf(QLatin1Char('['));
        if (bracket >= 0) {
            return from + bracket;
        }
        from = nextWord + kKeywordWord.size();
    }
}

// Steps 4 and 6: finds the keyword and the default region. The "Substitute:" may stand after
// other characters, even after a later "[" (the plain word Substitute opens a placeholder that
// way); the comma, "Default:" and "]" must then follow it before the next placeholder opens.
// False when a part is missing: the placeholder is left as written.
bool Personalisation::locateParts(Placeholder& placeholder) {
    m_step = 4;
    placeholder.keywordWord = search(kKeywordWord, placeholder.open, m_text.size());
    if (placeholder.keywordWord < 0) {
        leaveAsWritten(placeholder, QStringLiteral("no \"Substitute:\" follows its \"[\""));
        return false;
    }
    const qsizetype keywordStart = placeholder.keywordWord + kKeywordWord.size();
    const qsizetype limit = nextOpeningAfter(placeholder.keywordWord);
    placeholder.comma = search(u",", keywordStart + 1, limit);
    if (placeholder.comma < 0) {
        leaveAsWritten(placeholder, QStringLiteral("no \",\" ends its keyword"));
        return false;
    }
    m_keyword =
        StripMarkup(trimSpaces(QStringView(m_text).sliced(keywordStart, placeholder.comma - keywordStart)).toString());
    note(u"*** Now working with keyword: ", m_keyword);

    m_step = 6;
    placeholder.defaultWord = search(kDefaultWord, placeholder.comma, limit);
    if (placeholder.defaultWord < 0) {
        leaveAsWritten(placeholder, QStringLiteral("no \"Default:\" follows its keyword"));
        return false;
    }
    placeholder.close = search(u"]", placeholder.defaultWord + kDefaultWord.size(), limit);
    if (placeholder.close < 0) {
        leaveAsWritten(placeholder, QStringLiteral("no \"]\" closes it after \"Default:\""));
        return false;
    }
    return true;
}

// Steps 6 to 614: the default region and the default value quoted in it.
QString Personalisation::defaultValueOf(const Placeholder& placeholder) {
    m_step = 6;
    const qsizetype regionStart = placeholder.defaultWord + kDefaultWord.size();
    QString region =
        StripMarkup(trimSpaces(QStringView(m_text).sliced(regionStart, placeholder.close - regionStart)).toString());

    m_step = 608;
    if (region.contains(QLatin1Char('&'))) {
        region.replace(QStringLiteral("&#8220;"), QString(kQuote), Qt::CaseInsensitive);
        region.replace(QStringLiteral("&#8221;"), QString(kQuote), Qt::CaseInsensitive);
        region.replace(QStringLiteral("&quot;"), QString(kQuote), Qt::CaseInsensitive);
    }
    note(u"*** Now working with default: ", region);

    m_step = 610;
    qsizetype openMark = -1;
    qsizetype closeMark = -1;
    if (region.contains(kQuote)) {
        openMark = region.indexOf(kQuote);
        closeMark = region.indexOf(kQuote, openMark + 1);
    } else {
        openMark = region.contains(kLeftCurly) ? region.indexOf(kLeftCurly) : region.indexOf(kRightCurly);
        closeMark = openMark < 0 ? -1 : region.indexOf(kRightCurly, openMark + 1);
    }

    m_step = 612;
    QString defaultValue;
    if (openMark >= 0 && closeMark >= 0) {
        if (m_logging) {
            note(QStringLiteral("*** DefaultStartPos: %1; DefaultEndPos: %2").arg(openMark + 1).arg(closeMark + 1));
        }
        defaultValue = trimSpaces(QStringView(region).sliced(openMark + 1, closeMark - openMark - 1)).toString();
    }
    note(u"*** Now working with default: ", defaultValue);

    m_step = 614;
    if (defaultValue == QString(kQuote) || defaultValue == QString(kRightCurly)) {
        defaultValue.clear();
    }
    return defaultValue;
}

// The field look-up: the value to insert, or none when the do-not-send condition is raised.
std::optional<QString> Personalisation::candidateFor(const QString& keyword, const QString& defaultValue) {
    if (!m_fields) {
        m_fields.emplace(m_recipient);
    }
    const std::optional<QString> value = m_fields->valueOf(keyword);
    QString candidate;
    // A value of nothing but spaces is as good as none, "Do not send" included.
    if (value && !trimSpaces(*value).isEmpty()) {
        candidate = *value;
    } else {
        candidate = defaultValue;
        if (defaultValue.compare(QStringLiteral("Do not send"), Qt::CaseInsensitive) == 0) {
            raiseDoNotSend();
        }
    }
    if (doNotSendRaised()) {
        note(u"Default 'Do not send' activated...not sending");
        return std::nullopt;
    }
    if (trimSpaces(candidate).isEmpty()) {
        candidate = defaultValue;
    }
    return candidate;
}

// Steps 10 to 14: the text before the placeholder, the value, and the text after it, which
// stays in the original until it is copied.
void Personalisation::replace(const Placeholder& placeholder, const QString& value) {
    const qsizetype builtBefore = m_built.size();
    try {
        m_step = 10;
        if (m_copied == 0) {
            m_built.reserve(m_text.size());
        }
        m_built += QStringView(m_text).sliced(m_copied, placeholder.open - m_copied);
        m_step = 12;
        const qsizetype after = placeholder.close + 1;
        m_step = 14;
        m_built += value;
        m_copied = after;
    } catch (...) {
        m_built.truncate(builtBefore); // the text as it was before this placeholder
        throw;
    }
}

void Personalisation::leaveAsWritten(const Placeholder& placeholder, const QString& reason) const {
    if (!m_logging) {
        return;
    }
    const qsizetype position = m_built.size() + (placeholder.open - m_copied) + 1;
    note(QStringLiteral("*** Placeholder at position %1 left as written: %2").arg(position).arg(reason));
}

} // namespace

QString MyReplace(const QString& text, pugi::xml_node recipient) {
    return Personalisation(text, recipient).run();
}

} // namespace quillmark::sending
