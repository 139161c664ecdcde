#include "sending/ApplicationTimer.h"

#include "diagnostics/ErrorLine.h"
#include "diagnostics/Logging.h"
#include "sending/Timer.h"

#include <QObject>
#include <QTimerEvent>

namespace quillmark::sending {

namespace {

// Receives the event loop's timer events on the thread that started the timer.
class TimerHost : public QObject {
public:
    int start(std::int32_t interval) { return startTimer(interval); }
    void stop(int id) { killTimer(id); }

protected:
    void timerEvent(QTimerEvent* /*event*/) override { Timer(); }
};

// Never destroyed: a timer may still be pending when the process exits.
TimerHost& host() {
    static auto* instance = new TimerHost;
    return *instance;
}

std::uint32_t ApplicationTimerId = 0;

} // namespace

void SetApplicationTimer(std::int32_t interval) {
    diagnostics::LogMessage(QStringLiteral("SetApplicationTimer"), QStringLiteral("Timer starting..."));
    // A second running timer could never be stopped again and would tick for ever.
    KillApplicationTimer();
    ApplicationTimerId = static_cast<std::uint32_t>(host().start(interval));
    if (ApplicationTimerId == 0) {
        diagnostics::LogError(QStringLiteral("Error occurred.  Timer not created."),
                              diagnostics::productSource(u"SetApplicationTimer"));
    }
}

void KillApplicationTimer() {
    if (ApplicationTimerId == 0) {
        return;
    }
    host().stop(static_cast<int>(ApplicationTimerId));
    diagnostics::LogMessage(QStringLiteral("KillApplicationTimer"), QStringLiteral("Timer stopped"));
    ApplicationTimerId = 0;
}

std::uint32_t applicationTimerId() {
    return ApplicationTimerId;
}

} // namespace quillmark::sending
