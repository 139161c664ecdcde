#pragma once

#include <QString>

namespace quillmark::mail {

// The plain-text rendition that goes out beside an HTML or RTF body, for readers that show
// no formatting. It follows the formatted body every time that body is written, so the two
// never disagree (a personalised HTML body never travels with an unpersonalised plain one).
class PlainRendition {
public:
    [[nodiscard]] static QString fromHtml(const QString& html);
    [[nodiscard]] static QString fromRtf(const QString& rtf);
};

} // namespace quillmark::mail
