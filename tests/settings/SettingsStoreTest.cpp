#include "settings/SettingsStore.h"

#include "core/Error.h"
#include "support/TestHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace quillmark::settings {
namespace {

class SettingsStoreTest : public testing::Test {
protected:
    QString storePath(const char* name) { return test::testHome() + QStringLiteral("/stores/") + QLatin1String(name); }
};

TEST_F(SettingsStoreTest, NamesIgnoreLetterCaseAndValuesStayExact) {
    SettingsStore store(storePath("case.db"));
    store.save(QStringLiteral("Tollmere - Work"), QStringLiteral("Quillmark"), QStringLiteral("SendState"),
               QStringLiteral(" Sending "));
    EXPECT_EQ(store.find(QStringLiteral("TOLLMERE - work"), QStringLiteral("quillmark"), QStringLiteral("SENDSTATE")),
              QStringLiteral(" Sending "));

    store.save(QStringLiteral("tollmere - WORK"), QStringLiteral("QUILLMARK"), QStringLiteral("sendstate"),
               QStringLiteral("paused"));
    EXPECT_EQ(store.list().size(), 1U) << "a differently cased name must update the one entry";
    EXPECT_EQ(store.find(QStringLiteral("Tollmere - Work"), QStringLiteral("Quillmark"), QStringLiteral("SendState")),
              QStringLiteral("paused"));

    const QString unicode = QStringLiteral("Zoë \u00e9t\u00e9 \u4e2d\u6587 \"quoted\"\ttab\r\nline");
    store.save(QStringLiteral("A"), QStringLiteral("S"), QStringLiteral("K"), unicode);
    EXPECT_EQ(store.find(QStringLiteral("a"), QStringLiteral("s"), QStringLiteral("k")), unicode);
    EXPECT_EQ(store.find(QStringLiteral("A"), QStringLiteral("S"), QStringLiteral("missing")), std::nullopt);
    store.save(QStringLiteral("A"), QStringLiteral("S"), QStringLiteral("Empty"), QString());
    EXPECT_EQ(store.find(QStringLiteral("A"), QStringLiteral("S"), QStringLiteral("Empty")), QString())
        << "an empty value is stored, not missing";
}

TEST_F(SettingsStoreTest, ListsInOrderAndByApplication) {
    SettingsStore store(storePath("list.db"));
    store.save(QStringLiteral("Tollmere - B"), QStringLiteral("Quillmark"), QStringLiteral("SendState"),
               QStringLiteral("Idle"));
    store.save(QStringLiteral("Tollmere - A"), QStringLiteral("Tollmere"), QStringLiteral("LogFileWanted"),
               QStringLiteral("1"));
    store.save(QStringLiteral("Tollmere - A"), QStringLiteral("Quillmark"), QStringLiteral("RecipientIndex"),
               QStringLiteral("3"));
    const auto all = store.list();
    ASSERT_EQ(all.size(), 3U);
    EXPECT_EQ(all[0].key, QStringLiteral("RecipientIndex"));
    EXPECT_EQ(all[1].key, QStringLiteral("LogFileWanted"));
    EXPECT_EQ(all[2].application, QStringLiteral("Tollmere - B"));
    const auto one = store.list(QStringLiteral("tollmere - a"));
    ASSERT_EQ(one.size(), 2U);
    EXPECT_EQ(one[0].value, QStringLiteral("3"));
}

TEST_F(SettingsStoreTest, ValuesOutliveTheConnectionAndAreSeenByAnother) {
    const QString path = storePath("durable.db");
    {
        SettingsStore writer(path);
        SettingsStore reader(path);
        writer.save(QStringLiteral("A"), QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("1"));
        EXPECT_EQ(reader.find(QStringLiteral("A"), QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("1"));
        writer.save(QStringLiteral("A"), QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("2"));
        EXPECT_EQ(reader.find(QStringLiteral("A"), QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("2"))
            << "a second connection must never see a stale value";
    }
    SettingsStore reopened(path);
    EXPECT_EQ(reopened.find(QStringLiteral("A"), QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("2"));
}

TEST_F(SettingsStoreTest, UnusableFilesFailWithADescription) {
    const QString garbage = storePath("garbage.db");
    QDir().mkpath(QFileInfo(garbage).path());
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    try {
        SettingsStore store(garbage);
        ADD_FAILURE() << "a file that is not a database opened";
    } catch (const core::Error& error) {
        EXPECT_TRUE(error.description().contains(garbage)) << qPrintable(error.description());
        EXPECT_TRUE(error.description().contains(QStringLiteral("not a usable settings store")))
            << qPrintable(error.description());
    }

    const QString blocked = storePath("blocker/settings.db");
    QFile blocker(QFileInfo(blocked).path());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    EXPECT_THROW(SettingsStore{blocked}, core::Error);
}

} // namespace
} // namespace quillmark::settings
