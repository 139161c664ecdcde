#pragma once

#include <QString>
#include <pugixml.hpp>

namespace quillmark::sending {

// Personalises one text of a recipient's message (subject or body, HTML, RTF or plain) with
// the recipient's fields: the child nodes of `recipient` in the campaign data file.
//
// Placeholders read [Substitute: keyword, Default: "value"], words in any letter case, with
// markup allowed between the parts. Each is replaced, left to right, by the value of the first
// field whose name matches the keyword as a wildcard pattern, or by the default when there is
// no such field or its value is blank. An inserted value is never searched again.
//
// Returns the personalised text; the empty text when a blank field's default "Do not send"
// raised the do-not-send condition (or found it raised); after a failure, which is logged, the
// text as far as it was personalised. A placeholder missing one of its parts is left as it is.
[[nodiscard]] QString MyReplace(const QString& text, pugi::xml_node recipient);

} // namespace quillmark::sending
