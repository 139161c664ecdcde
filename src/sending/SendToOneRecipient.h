#pragma once

#include <pugixml.hpp>

namespace quillmark::sending {

// Turns one recipient of the campaign into one submitted, personalised copy of the template
// and reports the outcome. True when it reached its end (sent, skipped or refused); false
// after a failure it logged.
bool SendToOneRecipient(pugi::xml_node recipient);

} // namespace quillmark::sending
