#pragma once

#include <QString>

namespace quillmark::mail {

// Every object of the mail library can name its own type; the campaign writes that name to
// the log, so it is the class name ("RDOMail").
class MailObject {
public:
    virtual ~MailObject() = default;
    MailObject() = default;
    MailObject(const MailObject&) = delete;
    MailObject& operator=(const MailObject&) = delete;

    [[nodiscard]] virtual QString typeName() const = 0;
};

} // namespace quillmark::mail
