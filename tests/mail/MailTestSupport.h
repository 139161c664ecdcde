#pragma once

#include "FakeTransport.h"
#include "mail/RDOSession.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <memory>

namespace quillmark::mail::test {

// A fresh folder under the test home, named after the running test and `name`.
[[nodiscard]] QString freshFolder(const QString& name);
// Writes `text` as a profile file (mode 0600) in a fresh folder and returns its path.
[[nodiscard]] QString writeProfileFile(const QString& text);
// A profile file with one profile "Test" (the default) whose store is a fresh folder.
[[nodiscard]] QString writeTestProfile(const QString& transport = QStringLiteral("smtp://127.0.0.1:1"));

// A clock the test moves by hand.
struct ManualClock {
    std::chrono::steady_clock::time_point now{std::chrono::hours(1000)};
    [[nodiscard]] SteadyClock function() {
        return [this] { return now; };
    }
};

// A session logged on to the profile of `profileFile`, delivering through `server`.
[[nodiscard]] std::shared_ptr<RDOSession> loggedOnSession(const QString& profileFile, FakeMailServer& server,
                                                          ManualClock& clock);

// Writes `bytes` to a fresh file named `fileName` and returns its path.
[[nodiscard]] QString writeFile(const QString& fileName, const QByteArray& bytes);

} // namespace quillmark::mail::test
