#pragma once

#include <QString>
#include <cstdint>

// The settings keys of the process: each key's name, its place in the store and its default,
// written here once. Reads go to the store every time; nothing is cached.

namespace quillmark::settings {

inline constexpr char kProfilePrefix[] = "Tollmere - ";
inline constexpr char kMakerName[] = "Tollmere";
inline constexpr char kProductSection[] = "Quillmark";
inline constexpr char kMakerSection[] = "Tollmere";

// Whose application name a key lives under.
enum class Scope {
    Profile, // the settings application name of the logged-on profile
    Maker,   // the fixed application "Tollmere"
};

struct TextSetting {
    const char* key;
    const char* section;
    Scope scope;
    // Evaluated, for the application being read, at each read of a missing key; null when
    // every caller supplies its own default.
    QString (*fallback)(const QString& application);
};

struct IntSetting {
    const char* key;
    const char* section;
    std::int32_t fallback;
};

// The folder for log and report files when the user has configured none:
// $XDG_DATA_HOME/tollmere/ (with the trailing separator the file names are glued to).
[[nodiscard]] QString defaultAppDataFolder();

namespace keys {

// Product section: campaign progress and configuration, per profile.
inline constexpr TextSetting SendState{"SendState", kProductSection, Scope::Profile,
                                       [](const QString&) { return QStringLiteral("Idle"); }};
inline constexpr IntSetting RecipientIndex{"RecipientIndex", kProductSection, 0};
// The progress window's identifier; 0 = no window published.
inline constexpr IntSetting ExternalQuillmarkHwnd{"ExternalQuillmarkHwnd", kProductSection, 0};
// Its default is the name of the idle priority class, which the priority module owns.
inline constexpr TextSetting EXEPriorityName{"EXEPriorityName", kProductSection, Scope::Profile, nullptr};
inline constexpr TextSetting DataFilePath{"DataFilePath", kProductSection, Scope::Profile,
                                          [](const QString&) { return QString(); }};
inline constexpr IntSetting SendMessageEveryNSeconds{"SendMessageEveryNSeconds", kProductSection, 0};
inline constexpr IntSetting EmailWhenFinished{"EmailWhenFinished", kProductSection, 1};
inline constexpr IntSetting PerformSendReceiveWanted{"PerformSendReceiveWanted", kProductSection, 0};
inline constexpr IntSetting PerformSendReceive{"PerformSendReceive", kProductSection, 0};
inline constexpr IntSetting DisplayFirstMessage{"DisplayFirstMessage", kProductSection, 1};
inline constexpr IntSetting IncludeAllRecipientsInReport{"IncludeAllRecipientsInReport", kProductSection, 1};
inline constexpr IntSetting DeleteSentItems{"DeleteSentItems", kProductSection, 0};
inline constexpr TextSetting OutlookVersion{"OutlookVersion", kProductSection, Scope::Profile,
                                            [](const QString&) { return QString(); }};
inline constexpr IntSetting ReportWanted{"ReportWanted", kProductSection, 1};

// Maker section: log-file settings shared with the maker's other tools, per profile.
inline constexpr TextSetting AppDataFolder{"AppDataFolder", kMakerSection, Scope::Profile,
                                           [](const QString&) { return defaultAppDataFolder(); }};
inline constexpr IntSetting LogFileWanted{"LogFileWanted", kMakerSection, 0};
// Defaults to the log file "TollmereLog.txt" glued to the folder read from AppDataFolder.
extern const TextSetting LogFilePathName;

// The one key outside the per-profile space: "Tollmere - " + the profile to log on to.
inline constexpr TextSetting CurrentProfile{"CurrentProfile", kMakerSection, Scope::Maker,
                                            [](const QString&) { return QString(); }};

} // namespace keys

// Reads and writes under the settings application name current at the call (or "Tollmere"
// for maker-scoped keys). Integer reads throw core::Error "Type mismatch" or "Overflow".
[[nodiscard]] QString read(const TextSetting& setting);
[[nodiscard]] QString read(const TextSetting& setting, const QString& fallback);
[[nodiscard]] std::int32_t read(const IntSetting& setting);
void write(const TextSetting& setting, const QString& value);
void write(const IntSetting& setting, std::int32_t value);

// The same under an explicit application name, for the controller, which prepares campaigns
// for profiles that no process has logged on to yet.
[[nodiscard]] QString readFor(const QString& application, const TextSetting& setting);
[[nodiscard]] std::int32_t readFor(const QString& application, const IntSetting& setting);
void writeFor(const QString& application, const TextSetting& setting, const QString& value);
void writeFor(const QString& application, const IntSetting& setting, std::int32_t value);

} // namespace quillmark::settings
