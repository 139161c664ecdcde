#pragma once

#include "mail/MailProfile.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace quillmark::mail {

// The user's mail profiles, $XDG_CONFIG_HOME/tollmere/mail-profiles.toml. Without that file
// there is one built-in profile, "Local", which delivers into its own store's Delivered
// folder and so never touches the network.
class ProfileFile {
public:
    [[nodiscard]] static QString defaultPath();
    // $XDG_DATA_HOME/tollmere/mail/<profile>
    [[nodiscard]] static QString defaultStore(const QString& profileName);
    [[nodiscard]] static QString localProfileName();
    // The built-in profile: the login name as user, "<login>@localhost" as address.
    [[nodiscard]] static MailProfile localProfile();

    // The file at `path`, or nothing when there is no file. Throws core::Error for a file that
    // cannot be read, is not valid TOML (with the line), describes a profile wrongly, or holds
    // a password while other users can read it.
    [[nodiscard]] static std::optional<ProfileFile> load(const QString& path = defaultPath());
    [[nodiscard]] static ProfileFile parse(const QByteArray& text, const QString& path);

    // The profile a logon asks for; an empty name means the default profile. Names compare
    // without regard to letter case. Throws core::Error for a name that is not defined.
    [[nodiscard]] static MailProfile resolve(const QString& name, const QString& path = defaultPath());

    // Adds a profile to the file (creating it), keeping everything already in it, comments
    // included. Throws core::Error when the name is taken; the file is then left untouched.
    static void addProfile(const MailProfile& profile, bool makeDefault, const QString& path = defaultPath());

    [[nodiscard]] const std::vector<MailProfile>& profiles() const noexcept { return m_profiles; }
    // The profile named by `default`, or the only one; empty when neither applies.
    [[nodiscard]] QString defaultProfileName() const;
    [[nodiscard]] const MailProfile* find(const QString& name) const;
    [[nodiscard]] const QString& path() const noexcept { return m_path; }

private:
    QString m_path;
    QString m_default;
    std::vector<MailProfile> m_profiles;
};

} // namespace quillmark::mail
