#pragma once

#include "mail/MimeReader.h"
#include "support/RecordingWindow.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace quillmark::test {

// A campaign run on the real event loop: each test gets its own mail profile (delivering into a
// Maildir folder of its own), its own settings under that profile, its own log and report folder,
// and a recording progress window.
class EngineFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Rewrites this test's mail profile with another transport for its one account (the set-up
    // writes "maildir:<folder>delivered"); a timeout of 0 keeps the account's default.
    void writeProfile(const QString& transport, int timeoutSeconds = 30);
    // Writes the data file and its template (an RFC 5322 file) and stores the data file's path.
    void writeCampaign(const QString& recipientsXml, const QByteArray& templateMessage = plainTemplate());
    [[nodiscard]] static QByteArray plainTemplate();
    [[nodiscard]] static QByteArray htmlTemplate();

    void setSetting(const char* key, const QString& value);
    [[nodiscard]] QString setting(const char* key) const;

    // Starts the application timer as start-up does and runs the event loop until no timer is
    // pending any more (or the time runs out, which fails the test).
    void runCampaign(int startIntervalMs = 0, int timeoutMs = 15000);

    [[nodiscard]] QStringList reportTexts() const; // the text field of every report line
    [[nodiscard]] QStringList logLines() const;
    [[nodiscard]] QStringList logTexts(const QString& source) const;        // texts of one source's lines
    [[nodiscard]] QList<QByteArray> deliveredMessages() const;              // oldest first, as stored
    [[nodiscard]] std::vector<mail::ParsedMessage> deliveredParsed() const; // read back with GMime

    QString profile;
    QString application; // "Tollmere - " + profile
    QString folder;      // this test's own folder, with a trailing slash
    QString reportName = QStringLiteral("Spring news for [Substitute FirstName, Default friend]");
    RecordingWindow window;
};

// The recipient element of the data file for one address and first name.
[[nodiscard]] QString recipientXml(const QString& address, const QString& firstName = QString());

} // namespace quillmark::test
