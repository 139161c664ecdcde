// campaign_runner: the sending engine in a headless process of its own, started the way the
// sending process starts it (campaign state created and initialised, the timer armed at 100 ms
// only when the stored state is "Sending"), without a window. It ends when no tick is pending
// any more, so a test can kill it mid-campaign and start it again to resume.
//
//   campaign_runner [--pause-before-tick-ms N] [--limit-seconds N]
//
// --pause-before-tick-ms holds each tick back by N ms, standing in for a slow mail server so a
// test can stop the process part-way through a short campaign. --limit-seconds bounds the run
// (exit status 3 when it is reached).
#include "campaign/CState.h"
#include "sending/ApplicationTimer.h"
#include "sending/ProgressWindow.h"
#include "settings/SettingsKeys.h"

#include <QCoreApplication>
#include <QEvent>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {

using namespace quillmark;

constexpr int kPollMs = 10;

struct Options {
    int pauseBeforeTickMs = 0;
    int limitSeconds = 120;
};

bool parseOptions(const QStringList& arguments, Options& options) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        bool ok = i + 1 < arguments.size();
        const int value = ok ? arguments[i + 1].toInt(&ok) : 0;
        if (!ok || value < 0) {
            return false;
        }
        if (arguments[i] == QLatin1String("--pause-before-tick-ms")) {
            options.pauseBeforeTickMs = value;
        } else if (arguments[i] == QLatin1String("--limit-seconds")) {
            options.limitSeconds = value;
        } else {
            return false;
        }
        ++i;
    }
    return true;
}

// Sleeps before every timer event that is not one of the runner's own timers: those are the
// engine's ticks.
class TickBrake : public QObject {
public:
    TickBrake(int pauseMs, const QObject* own) : m_pauseMs(pauseMs), m_own(own) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Timer && watched != m_own && watched->parent() != m_own) {
            QThread::msleep(static_cast<unsigned long>(m_pauseMs));
        }
        return false;
    }

private:
    int m_pauseMs;
    const QObject* m_own;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    Options options;
    if (!parseOptions(application.arguments(), options)) {
        std::fprintf(stderr, "usage: campaign_runner [--pause-before-tick-ms N] [--limit-seconds N]\n");
        return 2;
    }

    sending::setTimerWindow(nullptr);
    auto& state = campaign::CState::shared();
    state = std::make_shared<campaign::CState>();
    if (!state->Initialize()) {
        std::fprintf(stderr, "campaign_runner: the mail profile could not be logged on (see the log)\n");
        return 1;
    }
    if (settings::read(settings::keys::SendState) != QLatin1String("Sending")) {
        return 0;
    }

    QObject runner; // parent of the runner's own timers, which the brake leaves alone
    TickBrake brake(options.pauseBeforeTickMs, &runner);
    if (options.pauseBeforeTickMs > 0) {
        application.installEventFilter(&brake);
    }
    auto* poll = new QTimer(&runner);
    QObject::connect(poll, &QTimer::timeout, &application, [] {
        if (sending::applicationTimerId() == 0) {
            QCoreApplication::exit(0);
        }
    });
    auto* limit = new QTimer(&runner);
    limit->setSingleShot(true);
    QObject::connect(limit, &QTimer::timeout, &application, [] {
        std::fprintf(stderr, "campaign_runner: still sending when the time limit was reached\n");
        QCoreApplication::exit(3);
    });

    sending::SetApplicationTimer(100);
    poll->start(kPollMs);
    limit->start(options.limitSeconds * 1000);
    const int status = QCoreApplication::exec();
    state.reset();
    return status;
}
