#include "cli/PreviewCommand.h"

#include "campaign/CampaignFiles.h"
#include "campaign/DataFile.h"
#include "cli/Console.h"
#include "cli/DataFileInput.h"
#include "core/Error.h"
#include "mail/ObjectFactory.h"
#include "mail/RDOFolder.h"
#include "mail/RDOItems.h"
#include "mail/RDOMail.h"
#include "mail/RDORecipients.h"
#include "mail/RDOSession.h"
#include "sending/DoNotSend.h"
#include "sending/Personalisation.h"

#include <QFileInfo>
#include <memory>

namespace quillmark::cli {

namespace {

struct PreviewArguments {
    std::string dataFile;
    int index = 0;
    std::string profile;
};

std::shared_ptr<mail::RDOSession> logOn(const QString& profile) {
    auto session = mail::createObjectAs<mail::RDOSession>(QLatin1String(mail::kSessionProgId));
    if (profile.isEmpty()) {
        session->logon();
    } else {
        session->logon(profile);
    }
    return session;
}

pugi::xml_node recipientAt(const std::shared_ptr<const campaign::RecipientList>& list, int index) {
    if (index < 0 || index >= list->length()) {
        throw core::Error(QStringLiteral("The campaign has %1 recipients; there is none at index %2 (the first is 0)")
                              .arg(list->length())
                              .arg(index));
    }
    return list->item(index);
}

// Why the recipient would not be sent, or nothing when it would be.
QString skipReason(pugi::xml_node recipient, const QString& address) {
    if (recipient.type() != pugi::node_element) {
        return QStringLiteral("this entry of the list is not a recipient element");
    }
    if (address.isEmpty()) {
        return QStringLiteral("its address is blank");
    }
    if (sending::doNotSendRaised()) {
        return QStringLiteral("a field whose default is \"Do not send\" is missing or empty");
    }
    return {};
}

void printMessage(const mail::RDOMail& copy, const QString& format) {
    printLine(QStringLiteral("Subject: ") + copy.Subject());
    printLine(QStringLiteral("Format: ") + (format.isEmpty() ? QStringLiteral("(not set)") : format));
    printLine(QString());
    const QString body = format == QStringLiteral("HTML")  ? copy.HTMLBody()
                         : format == QStringLiteral("RTF") ? copy.RTFBody()
                                                           : copy.Body();
    printLine(body);
}

int preview(const PreviewArguments& args) {
    const QString dataFile = QFileInfo(QString::fromStdString(args.dataFile)).absoluteFilePath();
    const campaign::DataFile file = readCampaignDataFile(dataFile);
    const auto list = file.recipients();
    const pugi::xml_node recipient = recipientAt(list, args.index);

    const auto session = logOn(QString::fromStdString(args.profile));
    const auto original = session->openMessageFile(campaign::templatePathFor(dataFile), false);
    original->Recipients()->Clear();
    const QString format = campaign::emailFormatFor(original->BodyFormat(), QString());
    const auto copy = session->defaultFolder(mail::RDOSession::kOutboxFolder)->items()->add(file.messageClass());
    original->CopyTo(copy);
    if (format == QStringLiteral("HTML")) {
        copy->setHTMLBody(original->HTMLBody());
    }

    const QString address = recipient.type() == pugi::node_element ? sending::recipientAddress(recipient) : QString();
    sending::personaliseSubject(*copy, recipient);
    sending::personaliseBody(*copy, recipient, format);

    printLine(QStringLiteral("Recipient %1 of %2: %3")
                  .arg(args.index)
                  .arg(list->length())
                  .arg(address.isEmpty() ? QStringLiteral("(no address)") : address));
    printMessage(*copy, format);
    const QString reason = skipReason(recipient, address);
    printLine(reason.isEmpty() ? QStringLiteral("This recipient would be sent the message above.")
                               : QStringLiteral("This recipient would be skipped: ") + reason + QLatin1Char('.'));
    return kExitOk;
}

} // namespace

void addPreviewCommand(CLI::App& app, CommandAction& action) {
    auto args = std::make_shared<PreviewArguments>();
    auto* command = app.add_subcommand("preview", "Print one recipient's personalised message; nothing is sent");
    command->add_option("DATAFILE", args->dataFile, "The campaign's XML data file (its template is beside it)")
        ->required();
    command->add_option("--index", args->index, "Zero-based position of the recipient (default 0)");
    command->add_option("--profile", args->profile, "Mail profile (default: the default profile)");
    command->callback([&action, args] { action = [args] { return preview(*args); }; });
}

} // namespace quillmark::cli
