#include "EngineFixture.h"

#include "campaign/CState.h"
#include "mail/MaildirFolder.h"
#include "sending/ApplicationTimer.h"
#include "sending/ProgressWindow.h"
#include "sending/Submission.h"
#include "settings/ApplicationName.h"
#include "settings/Settings.h"
#include "support/MailProfileWriter.h"
#include "support/TestHome.h"
#include "support/TextFiles.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

namespace quillmark::test {

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
    file.write(bytes);
}

QString sectionOf(const char* key) {
    static const QStringList makerKeys{QStringLiteral("AppDataFolder"), QStringLiteral("LogFileWanted"),
                                       QStringLiteral("LogFilePathName")};
    return makerKeys.contains(QLatin1String(key)) ? QStringLiteral("Tollmere") : QStringLiteral("Quillmark");
}

} // namespace

void EngineFixture::SetUp() {
    profile = QString::fromUtf8(testing::UnitTest::GetInstance()->current_test_info()->name());
    application = settings::applicationNameForProfile(profile);
    folder = testHome() + QStringLiteral("/engine/") + profile + QLatin1Char('/');
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);

    writeProfile(QStringLiteral("maildir:") + folder + QStringLiteral("delivered"));

    settings::SaveSetting(QStringLiteral("Tollmere"), QStringLiteral("Tollmere"), QStringLiteral("CurrentProfile"),
                          QString());
    setSetting("AppDataFolder", folder);
    setSetting("LogFileWanted", QStringLiteral("1"));
    setSetting("SendState", QStringLiteral("Sending"));
    settings::setApplicationName(QString());
    campaign::CState::shared().reset();
}

void EngineFixture::writeProfile(const QString& transport, int timeoutSeconds) {
    writeMailProfile(profile, folder + QStringLiteral("store"), transport, timeoutSeconds);
}

void EngineFixture::TearDown() {
    sending::KillApplicationTimer();
    sending::setTimerWindow(nullptr);
    sending::resetSendCounter();
    campaign::CState::shared().reset();
    settings::setApplicationName(QString());
}

QByteArray EngineFixture::plainTemplate() {
    return QByteArrayLiteral("From: Ann Sender <ann.sender@example.com>\r\n"
                             "Subject: Spring news for [Substitute: FirstName, Default: \"friend\"]\r\n"
                             "MIME-Version: 1.0\r\n"
                             "Content-Type: text/plain; charset=utf-8\r\n"
                             "Content-Transfer-Encoding: 8bit\r\n"
                             "\r\n"
                             "Dear [Substitute: FirstName, Default: \"friend\"],\r\n"
                             "spring has come to the shop.\r\n");
}

QByteArray EngineFixture::htmlTemplate() {
    return QByteArrayLiteral("From: Ann Sender <ann.sender@example.com>\r\n"
                             "Subject: Spring news for [Substitute: FirstName, Default: \"friend\"]\r\n"
                             "MIME-Version: 1.0\r\n"
                             "Content-Type: text/html; charset=utf-8\r\n"
                             "\r\n"
                             "<html><body><p>Dear <b>[Substitute: FirstName, Default: &quot;friend&quot;]</b>,</p>"
                             "<p>spring has come to the shop.</p></body></html>\r\n");
}

void EngineFixture::writeCampaign(const QString& recipientsXml, const QByteArray& templateMessage) {
    const QString dataFile = folder + QStringLiteral("Spring.xml");
    writeBytes(dataFile, (QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<campaign "
                                         "MessageClass=\"IPM.Note\">\n") +
                          recipientsXml + QStringLiteral("\n</campaign>\n"))
                             .toUtf8());
    writeBytes(folder + QStringLiteral("Spring.oft"), templateMessage);
    setSetting("DataFilePath", dataFile);
}

void EngineFixture::setSetting(const char* key, const QString& value) {
    settings::SaveSetting(application, sectionOf(key), QLatin1String(key), value);
}

QString EngineFixture::setting(const char* key) const {
    return settings::GetSetting(application, sectionOf(key), QLatin1String(key), QStringLiteral("<missing>"));
}

void EngineFixture::runCampaign(int startIntervalMs, int timeoutMs) {
    sending::setTimerWindow(&window);
    sending::SetApplicationTimer(startIntervalMs);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&loop] {
        if (sending::applicationTimerId() == 0) {
            loop.quit();
        }
    });
    poll.start(5);
    QTimer::singleShot(timeoutMs, &loop, [&loop] {
        ADD_FAILURE() << "the campaign was still running when the time ran out";
        loop.quit();
    });
    loop.exec();
}

QStringList EngineFixture::reportTexts() const {
    QStringList texts;
    for (const QString& line : readCrLfLines(folder + reportName + QStringLiteral(".txt"))) {
        texts.append(fieldsOf(line).value(1));
    }
    return texts;
}

QStringList EngineFixture::logLines() const {
    return readCrLfLines(folder + QStringLiteral("TollmereLog.txt"));
}

QStringList EngineFixture::logTexts(const QString& source) const {
    QStringList texts;
    for (const QString& line : logLines()) {
        const QStringList fields = fieldsOf(line);
        if (fields.value(2) == source) {
            texts.append(fields.mid(3).join(QLatin1Char('\t')));
        }
    }
    return texts;
}

QList<QByteArray> EngineFixture::deliveredMessages() const {
    const mail::MaildirFolder delivered(folder + QStringLiteral("delivered"));
    QList<QByteArray> messages;
    for (const QString& entry : delivered.entries()) {
        messages.append(delivered.read(entry));
    }
    return messages;
}

std::vector<mail::ParsedMessage> EngineFixture::deliveredParsed() const {
    std::vector<mail::ParsedMessage> parsed;
    for (const QByteArray& message : deliveredMessages()) {
        parsed.push_back(mail::MimeReader::read(message, QStringLiteral("delivered message")));
    }
    return parsed;
}

QString recipientXml(const QString& address, const QString& firstName) {
    QString xml = QStringLiteral("  <recipient address=\"%1\">").arg(address);
    if (!firstName.isNull()) {
        xml += QStringLiteral("<field name=\"FirstName\">%1</field>").arg(firstName);
    }
    return xml + QStringLiteral("</recipient>\n");
}

} // namespace quillmark::test
