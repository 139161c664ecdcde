#include "campaign/CState.h"

#include "campaign/CampaignFiles.h"
#include "core/Error.h"
#include "diagnostics/ErrorLine.h"
#include "diagnostics/Logging.h"
#include "mail/MAPIUtils.h"
#include "mail/ObjectFactory.h"
#include "mail/RDOFolder.h"
#include "mail/RDOMail.h"
#include "mail/RDORecipients.h"
#include "mail/RDOSession.h"
#include "settings/ApplicationName.h"
#include "settings/SettingsKeys.h"

namespace quillmark::campaign {

CState::CState() {
    // Report lines name their file after whatever campaign is loaded at the time of the line.
    diagnostics::setReportNameSource([] {
        const auto& state = shared();
        return state ? state->reportName() : QString();
    });
}

CState::~CState() {
    // Released in a fixed order: the campaign's objects before the session they came from.
    m_recipientsList.reset();
    m_myRDOOutboxFolder.reset();
    m_myOriginalRDOMail.reset();
    m_myRDOSession.reset();
    m_utils.reset();
}

std::shared_ptr<CState>& CState::shared() {
    static std::shared_ptr<CState> instance;
    return instance;
}

std::int32_t CState::DisplayFirstMessage() const {
    return settings::read(settings::keys::DisplayFirstMessage);
}

std::int32_t CState::SendMessageEveryNSeconds() const {
    return settings::read(settings::keys::SendMessageEveryNSeconds);
}

std::int32_t CState::RecipientIndex() const {
    return settings::read(settings::keys::RecipientIndex);
}

QString CState::SendState() const {
    return settings::read(settings::keys::SendState);
}

std::int32_t CState::PerformSendReceiveWanted() const {
    return settings::read(settings::keys::PerformSendReceiveWanted);
}

std::int32_t CState::PerformSendReceiveAt() const {
    return settings::read(settings::keys::PerformSendReceive);
}

std::int32_t CState::EmailWhenFinished() const {
    return settings::read(settings::keys::EmailWhenFinished);
}

bool CState::Initialize() {
    int step = 6;
    try {
        if (!m_myRDOSession) {
            m_myRDOSession = mail::createObjectAs<mail::RDOSession>(QLatin1String(mail::kSessionProgId));
            step = 8;
            const QString profile =
                settings::read(settings::keys::CurrentProfile).remove(QLatin1String(settings::kProfilePrefix));
            if (profile.isEmpty()) {
                m_myRDOSession->logon();
            } else {
                m_myRDOSession->logon(profile);
            }
        }
        step = 10;
        settings::setApplicationName(settings::applicationNameForProfile(m_myRDOSession->profileName()));
        step = 12;
        m_utils = mail::createObjectAs<mail::MAPIUtils>(QLatin1String(mail::kUtilitiesProgId));
        m_utils->setSession(m_myRDOSession);
        return true;
    } catch (const std::exception& failure) {
        diagnostics::logTrappedError(diagnostics::executableSource(u"CState.Initialize"), step, failure);
        return false;
    }
}

void CState::loadDataFile(const QString& dataFilePath) {
    const DataFile file = DataFile::load(dataFilePath);
    if (!file.isLoaded()) {
        const QString source = diagnostics::productSource(u"CState.Load");
        diagnostics::LogError(QStringLiteral("Error occurred.  Failed to load xml file at ") + dataFilePath, source);
        diagnostics::LogError(QStringLiteral("Error info from xml: %1").arg(file.errorCode()), source);
        return;
    }
    if (!file.campaignElement().empty()) {
        m_itemMessageClass = file.messageClass();
        m_recipientsList = file.recipients();
    }
}

void CState::openTemplate(const QString& templatePath) {
    if (!m_myRDOSession) {
        throw core::Error(QStringLiteral("The mail session is not logged on"));
    }
    m_myOriginalRDOMail = m_myRDOSession->openMessageFile(templatePath, false);
    const QString source = QStringLiteral("State.Load");
    diagnostics::LogMessage(source,
                            QStringLiteral("TypeName(m_myOriginalRDOMail): ") + m_myOriginalRDOMail->typeName());
    diagnostics::LogMessage(source,
                            QStringLiteral("m_myOriginalRDOMail.MessageClass: ") + m_myOriginalRDOMail->MessageClass());
    diagnostics::LogMessage(source, QStringLiteral("m_myOriginalRDOMail.Subject: ") + m_myOriginalRDOMail->Subject());
}

bool CState::Load() {
    int step = 8;
    try {
        const QString dataFilePath = settings::read(settings::keys::DataFilePath);
        const QString templatePath = templatePathFor(dataFilePath);
        step = 10;
        loadDataFile(dataFilePath);
        step = 12;
        openTemplate(templatePath);
        step = 14;
        m_reportName = SanitizeFileName(m_myOriginalRDOMail->Subject());
        step = 16;
        m_emailFormat = emailFormatFor(m_myOriginalRDOMail->BodyFormat(), m_emailFormat);
        step = 18;
        m_myOriginalRDOMail->Recipients()->Clear();
        step = 20;
        m_myRDOOutboxFolder = m_myRDOSession->defaultFolder(mail::RDOSession::kOutboxFolder);
        return true;
    } catch (const std::exception& failure) {
        diagnostics::logTrappedError(diagnostics::executableSource(u"State.Load"), step, failure);
        return false;
    }
}

} // namespace quillmark::campaign
