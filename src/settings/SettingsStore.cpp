#include "settings/SettingsStore.h"

#include "core/Error.h"
#include "settings/Sqlite_p.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <chrono>
#include <thread>

namespace quillmark::settings {

namespace {

constexpr int kBusyTimeoutMs = 10'000;

// Turns an SQLite result into the description a user reads after "Reason: ".
QString describeSqlite(sqlite3* db, int code, const QString& doing) {
    const char* detail = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    QString text = doing + QStringLiteral(": ") + QString::fromUtf8(detail);
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        text += QStringLiteral(" (another program kept the settings store locked)");
        break;
    case SQLITE_FULL:
        text += QStringLiteral(" (the disk is full)");
        break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        text += QStringLiteral(" (check the file's permissions)");
        break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        text += QStringLiteral(" (the file is not a usable settings store)");
        break;
    default:
        break;
    }
    return text;
}

void bindText(sqlite3_stmt* statement, int index, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

QString columnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
}

// Resets a cached statement when the call that used it leaves, whatever the outcome.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt* statement) : m_statement(statement) {}
    ~StatementUse() {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

private:
    sqlite3_stmt* m_statement;
};

} // namespace

struct SettingsStore::Connection {
    SqlitePtr db;
    StatementPtr find;
    StatementPtr save;
    StatementPtr listAll;
    StatementPtr listOne;
};

namespace {

[[nodiscard]] SqlitePtr openDatabase(const QString& path) {
    sqlite3* raw = nullptr;
    const int code =
        sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    SqlitePtr db(raw);
    if (code != SQLITE_OK) {
        throw core::Error(describeSqlite(db.get(), code, QStringLiteral("Cannot open the settings store ") + path));
    }
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    return db;
}

// Runs set-up SQL, waiting out a second process that is setting up the same file right now
// (switching to WAL can report "busy" without consulting the busy handler).
void execSetup(sqlite3* db, const char* sql, const QString& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    for (;;) {
        const int code = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        if (code == SQLITE_OK) {
            return;
        }
        if ((code & 0xff) != SQLITE_BUSY || std::chrono::steady_clock::now() > deadline) {
            throw core::Error(describeSqlite(db, code, QStringLiteral("Cannot prepare the settings store ") + path));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

[[nodiscard]] StatementPtr prepare(sqlite3* db, const char* sql, const QString& path) {
    sqlite3_stmt* raw = nullptr;
    const int code = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
    StatementPtr statement(raw);
    if (code != SQLITE_OK) {
        throw core::Error(describeSqlite(db, code, QStringLiteral("Cannot read the settings store ") + path));
    }
    return statement;
}

} // namespace

SettingsStore::SettingsStore(const QString& path) : m_path(path), m_connection(std::make_unique<Connection>()) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        throw core::Error(QStringLiteral("Cannot create the settings folder ") + folder);
    }
    auto& c = *m_connection;
    c.db = openDatabase(path);
    // WAL lets the controller read while the sender writes; FULL makes each commit durable on return.
    execSetup(c.db.get(), "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", path);
    execSetup(c.db.get(),
              "CREATE TABLE IF NOT EXISTS settings ("
              " application TEXT NOT NULL COLLATE NOCASE,"
              " section TEXT NOT NULL COLLATE NOCASE,"
              " key TEXT NOT NULL COLLATE NOCASE,"
              " value TEXT NOT NULL,"
              " PRIMARY KEY (application, section, key)) WITHOUT ROWID;",
              path);
    c.find = prepare(c.db.get(), "SELECT value FROM settings WHERE application=?1 AND section=?2 AND key=?3", path);
    c.save = prepare(c.db.get(),
                     "INSERT INTO settings (application, section, key, value) VALUES (?1, ?2, ?3, ?4)"
                     " ON CONFLICT (application, section, key) DO UPDATE SET value=excluded.value",
                     path);
    c.listAll = prepare(
        c.db.get(), "SELECT application, section, key, value FROM settings ORDER BY application, section, key", path);
    c.listOne = prepare(c.db.get(),
                        "SELECT application, section, key, value FROM settings WHERE application=?1"
                        " ORDER BY section, key",
                        path);
}

SettingsStore::~SettingsStore() = default;

std::optional<QString> SettingsStore::find(const QString& application, const QString& section, const QString& key) {
    const std::scoped_lock lock(m_mutex);
    sqlite3_stmt* statement = m_connection->find.get();
    const StatementUse use(statement);
    bindText(statement, 1, application);
    bindText(statement, 2, section);
    bindText(statement, 3, key);
    const int code = sqlite3_step(statement);
    if (code == SQLITE_ROW) {
        return columnText(statement, 0);
    }
    if (code == SQLITE_DONE) {
        return std::nullopt;
    }
    throw core::Error(describeSqlite(m_connection->db.get(), code, QStringLiteral("Cannot read the setting ") + key));
}

void SettingsStore::save(const QString& application, const QString& section, const QString& key, const QString& value) {
    const std::scoped_lock lock(m_mutex);
    sqlite3_stmt* statement = m_connection->save.get();
    const StatementUse use(statement);
    bindText(statement, 1, application);
    bindText(statement, 2, section);
    bindText(statement, 3, key);
    bindText(statement, 4, value);
    const int code = sqlite3_step(statement);
    if (code != SQLITE_DONE) {
        throw core::Error(
            describeSqlite(m_connection->db.get(), code, QStringLiteral("Cannot save the setting ") + key));
    }
}

std::vector<SettingEntry> SettingsStore::list(const std::optional<QString>& application) {
    const std::scoped_lock lock(m_mutex);
    sqlite3_stmt* statement = application ? m_connection->listOne.get() : m_connection->listAll.get();
    const StatementUse use(statement);
    if (application) {
        bindText(statement, 1, *application);
    }
    std::vector<SettingEntry> entries;
    int code = SQLITE_ROW;
    while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
        entries.push_back(
            {columnText(statement, 0), columnText(statement, 1), columnText(statement, 2), columnText(statement, 3)});
    }
    if (code != SQLITE_DONE) {
        throw core::Error(describeSqlite(m_connection->db.get(), code, QStringLiteral("Cannot list the settings")));
    }
    return entries;
}

QString SettingsStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tollmere/settings.db");
}

SettingsStore& SettingsStore::shared() {
    // A failed open throws out of the initialisation, so the next call tries again.
    static SettingsStore store(defaultPath());
    return store;
}

} // namespace quillmark::settings
