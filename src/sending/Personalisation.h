#pragma once

#include <QString>
#include <pugixml.hpp>

namespace quillmark::mail {
class RDOMail;
}

namespace quillmark::sending {

// Personalising a recipient's copy of the template: first the subject (which starts a new
// recipient: the do-not-send condition is cleared), then the body in the campaign's format
// ("HTML", "RTF" or "TEXT"; any other word leaves the body as copied). An empty result never
// replaces the text. Afterwards doNotSendRaised() says whether the copy must not go out.
void personaliseSubject(mail::RDOMail& copy, pugi::xml_node recipient);
void personaliseBody(mail::RDOMail& copy, pugi::xml_node recipient, const QString& emailFormat);

// The recipient's address: the "address" attribute without leading and trailing spaces.
// Throws core::Error when the node has no such attribute.
[[nodiscard]] QString recipientAddress(pugi::xml_node recipient);

} // namespace quillmark::sending
