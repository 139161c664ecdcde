#include "sending/Personalisation.h"

#include "core/Error.h"
#include "diagnostics/Logging.h"
#include "mail/RDOMail.h"
#include "sending/DoNotSend.h"
#include "sending/MyReplace.h"
#include "sending/PlaceholderText.h"

namespace quillmark::sending {

namespace {

// Replaces a text through its setter unless personalising it came out empty.
template <typename Setter>
void replaceUnlessEmpty(const QString& text, pugi::xml_node recipient, Setter&& set) {
    const QString personalised = MyReplace(text, recipient);
    if (!personalised.isEmpty()) {
        set(personalised);
    }
}

} // namespace

void personaliseSubject(mail::RDOMail& copy, pugi::xml_node recipient) {
    clearDoNotSend();
    replaceUnlessEmpty(copy.Subject(), recipient, [&copy](const QString& subject) { copy.setSubject(subject); });
}

void personaliseBody(mail::RDOMail& copy, pugi::xml_node recipient, const QString& format) {
    if (format == QStringLiteral("HTML")) {
        replaceUnlessEmpty(copy.HTMLBody(), recipient, [&copy](const QString& body) { copy.setHTMLBody(body); });
    } else if (format == QStringLiteral("RTF")) {
        replaceUnlessEmpty(copy.RTFBody(), recipient, [&copy](const QString& body) { copy.setRTFBody(body); });
    } else if (format == QStringLiteral("TEXT")) {
        replaceUnlessEmpty(copy.Body(), recipient, [&copy](const QString& body) {
            copy.setBody(body);
            diagnostics::LogMessage(QStringLiteral("SendToOneRecipient"),
                                    QStringLiteral("New Plain Text Body: \r\n") + copy.Body());
        });
    }
}

QString recipientAddress(pugi::xml_node recipient) {
    const pugi::xml_attribute attribute = recipient.attribute("address");
    if (!attribute) {
        throw core::Error(QStringLiteral("The recipient has no address attribute"));
    }
    return trimSpaces(QString::fromUtf8(attribute.value())).toString();
}

} // namespace quillmark::sending
