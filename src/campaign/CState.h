#pragma once

#include "campaign/DataFile.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace quillmark::mail {
class RDOSession;
class RDOMail;
class RDOFolder;
class MAPIUtils;
} // namespace quillmark::mail

namespace quillmark::campaign {

// The one campaign state of the process: the mail session, the loaded campaign, and the
// campaign's settings, which are read from the settings store at every access (the controller
// may change them at any moment).
class CState {
public:
    CState();
    ~CState();
    CState(const CState&) = delete;
    CState& operator=(const CState&) = delete;

    // The process's shared instance; empty until start-up or the first tick creates it.
    [[nodiscard]] static std::shared_ptr<CState>& shared();

    [[nodiscard]] std::shared_ptr<mail::RDOSession> myRDOSession() const { return m_myRDOSession; }
    [[nodiscard]] std::shared_ptr<mail::RDOMail> myOriginalRDOMail() const { return m_myOriginalRDOMail; }
    [[nodiscard]] QString itemMessageClass() const { return m_itemMessageClass; }
    [[nodiscard]] std::shared_ptr<mail::RDOFolder> myRDOOutboxFolder() const { return m_myRDOOutboxFolder; }
    [[nodiscard]] std::shared_ptr<const RecipientList> recipientsList() const { return m_recipientsList; }
    [[nodiscard]] QString emailFormat() const { return m_emailFormat; }
    [[nodiscard]] QString reportName() const { return m_reportName; }
    [[nodiscard]] QString campaignName() const { return m_reportName; }

    // Read from the store at each call; a stored value that is not a number throws core::Error.
    [[nodiscard]] std::int32_t DisplayFirstMessage() const;
    [[nodiscard]] std::int32_t SendMessageEveryNSeconds() const;
    [[nodiscard]] std::int32_t RecipientIndex() const;
    [[nodiscard]] QString SendState() const;
    [[nodiscard]] std::int32_t PerformSendReceiveWanted() const;
    [[nodiscard]] std::int32_t PerformSendReceiveAt() const;
    [[nodiscard]] std::int32_t EmailWhenFinished() const;

    [[nodiscard]] std::shared_ptr<mail::MAPIUtils> Utils() const { return m_utils; }

    // Logs on to the mail profile named by CurrentProfile (or the default one) and fixes the
    // settings application name. False after a logged failure.
    bool Initialize();
    [[nodiscard]] bool IsLoaded() const noexcept { return m_myOriginalRDOMail != nullptr; }
    // Loads the campaign data file and its template message. False after a logged failure.
    bool Load();
    // Stores nothing; kept for the controller's sake.
    bool Save() { return true; }

private:
    void loadDataFile(const QString& dataFilePath);
    void openTemplate(const QString& templatePath);

    std::shared_ptr<mail::RDOSession> m_myRDOSession;
    std::shared_ptr<mail::RDOMail> m_myOriginalRDOMail;
    std::shared_ptr<mail::RDOFolder> m_myRDOOutboxFolder;
    QString m_itemMessageClass;
    std::shared_ptr<const RecipientList> m_recipientsList;
    QString m_emailFormat;
    QString m_reportName;
    std::shared_ptr<mail::MAPIUtils> m_utils;
};

} // namespace quillmark::campaign
