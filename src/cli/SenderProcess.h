#pragma once

#include "ipc/WindowMessages.h"

#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>

// What the controller knows about a profile's sending process: where its settings live, the
// window it published and whether anything listens for that window. Everything is read from
// the store at the call; nothing is cached.

namespace quillmark::cli {

// A mail profile as the controller addresses it.
struct SenderProfile {
    QString name;        // as the profile file spells it
    QString application; // "Tollmere - " + name
};

// The profile called `requested` (any letter case), or the default profile when it is empty.
[[nodiscard]] SenderProfile resolveSenderProfile(const QString& requested);

// The window the profile's sender published; nothing when none is published (missing, 0 or
// not a number).
[[nodiscard]] std::optional<ipc::WindowHandle> publishedWindow(const SenderProfile& profile);

// True when a sender accepts connections for `window`. Connects and hangs up; sends nothing.
[[nodiscard]] bool isListening(ipc::WindowHandle window);

// Waits, at most `timeout`, until nothing listens for `window` any more.
[[nodiscard]] bool waitUntilSilent(ipc::WindowHandle window, std::chrono::milliseconds timeout);

// Waits, at most `timeout`, until the profile's SendState reads `state`.
[[nodiscard]] bool waitForState(const SenderProfile& profile, const QString& state, std::chrono::milliseconds timeout);

// The report file of a campaign whose template has `subject`: AppDataFolder + the subject
// made fit for a file name + ".txt".
[[nodiscard]] QString reportFilePath(const SenderProfile& profile, const QString& subject);

// The subject of the template message at `templatePath`; throws core::Error when the file
// cannot be read or is not a message.
[[nodiscard]] QString templateSubject(const QString& templatePath);

// The sending process's executable: `override` when given, else beside this program in an
// installation or in its place in the build tree. Throws core::Error when there is none.
[[nodiscard]] QString senderExecutable(const QString& override);

// Starts `program` detached from this process, its standard streams on the null device, and
// returns its process id. Throws core::Error when it cannot be started.
std::int64_t startDetached(const QString& program);

// True when standard output is a terminal (progress lines are drawn only there).
[[nodiscard]] bool standardOutputIsTerminal();

// Overwrites the current terminal line with `text`, without ending it.
void printProgress(const QString& text);

} // namespace quillmark::cli
