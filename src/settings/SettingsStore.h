#pragma once

#include <QString>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace quillmark::settings {

struct SettingEntry {
    QString application;
    QString section;
    QString key;
    QString value;
};

// The per-user settings database shared by the sending process and the controller.
// Names compare without regard to letter case; values are kept exactly. Every write is
// durable when it returns, and every read goes to the database: nothing is cached.
class SettingsStore {
public:
    // Opens (and creates, with its folder) the database at `path`.
    explicit SettingsStore(const QString& path);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    [[nodiscard]] std::optional<QString> find(const QString& application, const QString& section, const QString& key);
    void save(const QString& application, const QString& section, const QString& key, const QString& value);
    // Every entry, or those of one application, ordered by application, section and key.
    [[nodiscard]] std::vector<SettingEntry> list(const std::optional<QString>& application = std::nullopt);

    [[nodiscard]] const QString& path() const noexcept { return m_path; }

    // The user's store: $XDG_CONFIG_HOME/tollmere/settings.db.
    [[nodiscard]] static QString defaultPath();
    // The store of this process, opened at first use.
    [[nodiscard]] static SettingsStore& shared();

private:
    struct Connection;
    QString m_path;
    std::unique_ptr<Connection> m_connection;
    std::mutex m_mutex;
};

} // namespace quillmark::settings
