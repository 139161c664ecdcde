// The sending process as a whole: how long it takes to start and send, and how long one command
// takes from the controller to a running sender and back. Each benchmark reports the median of its
// iterations as a counter (median_ms / median_us); the time column is the mean.
//
// BM_StartupToFirstTick/N: a campaign of N recipients stored as "Sending" (the settings
// `quillmark send` writes), then QuillmarkExternal started here; the time from spawning the process
// until its first tick has delivered the first copy, i.e. the copy's rename into the maildir:
// account's new/ folder. That rename is what the tick exists for, it happens inside the tick, and
// inotify reports it the moment it happens: no polling interval blurs the figure, unlike the stored
// RecipientIndex (written after the delivery, and only visible by polling the store) or the report
// lines (whole seconds). listening_ms is the time until the command socket appears, i.e. start-up
// without the campaign (the sender's first timer runs 100 ms after that by design; the data file
// is loaded in the first tick). The delay is 60 s, so each run sends exactly one copy.
//
// BM_CommandRoundTrip: ipc::sendCommand(show) to a running idle sender, in this process: connect,
// request, the window running the command, answer.
// BM_ControllerShow: a whole `quillmark show` process run against the same sender, spawn to exit.
//
// run-process-bench.sh runs this program in a throwaway home.
#include "ipc/CommandClient.h"
#include "settings/ApplicationName.h"
#include "settings/Settings.h"
#include "support/MailProfileWriter.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quillmark {
namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

const QString kProfile = QStringLiteral("Bench");
constexpr std::chrono::seconds kEventTimeout{20};
constexpr std::chrono::seconds kExitTimeout{10};

QString benchFolder() {
    return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/process-bench/");
}

QString deliveredFolder() {
    return benchFolder() + QStringLiteral("delivered");
}

// The sender's lock file and command socket go into a runtime folder of this run, never the user's.
QString runtimeFolder() {
    static const QString folder = [] {
        QString path = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/../runtime");
        QDir().mkpath(path);
        path = QDir(path).canonicalPath();
        ::chmod(QFile::encodeName(path).constData(), S_IRWXU);
        ::setenv("XDG_RUNTIME_DIR", QFile::encodeName(path).constData(), 1);
        // The sender must run headless, whatever display the caller has.
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            ::unsetenv(name);
        }
        return path;
    }();
    return folder;
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray dataFile(int recipients) {
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<campaign MessageClass=\"IPM.Note\">\n";
    for (int i = 0; i < recipients; ++i) {
        xml += QStringLiteral("  <recipient address=\"reader%1@example.com\"><field name=\"FirstName\">Zoë %1</field>"
                              "<field name=\"City\">Zürich</field></recipient>\n")
                   .arg(i)
                   .toUtf8();
    }
    return xml + "</campaign>\n";
}

// An HTML template of about 4 KB with placeholders in the subject and the body.
QByteArray htmlTemplate() {
    QByteArray message = "From: Ann Sender <ann.sender@example.com>\r\n"
                         "Subject: Spring news for [Substitute: FirstName, Default: \"friend\"]\r\n"
                         "MIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
                         "<html><body><p>Dear <b>[Substitute: FirstName, Default: &quot;friend&quot;]</b>,</p>\r\n";
    while (message.size() < 4096) {
        message += "<p>Spring has come to our shop in [Substitute: City, Default: &quot;your town&quot;], with "
                   "<a href=\"https://example.com/offer\">offers</a> for you.</p>\r\n";
    }
    return message + "</body></html>\r\n";
}

void saveCampaignSetting(const char* key, const QString& value) {
    settings::SaveSetting(settings::applicationNameForProfile(kProfile), QStringLiteral("Quillmark"),
                          QLatin1String(key), value);
}

// Writes the profile file, the campaign's files and its settings as `quillmark send` would, with
// `state` as the stored SendState.
bool prepareCampaign(int recipients, const QString& state) {
    const QString folder = benchFolder();
    QDir(folder).removeRecursively();
    for (const char* sub : {"tmp", "new", "cur"}) {
        QDir().mkpath(deliveredFolder() + QLatin1Char('/') + QLatin1String(sub));
    }
    test::writeMailProfile(kProfile, folder + QStringLiteral("store"), QStringLiteral("maildir:") + deliveredFolder());
    if (!writeFile(folder + QStringLiteral("Spring.xml"), dataFile(recipients)) ||
        !writeFile(folder + QStringLiteral("Spring.oft"), htmlTemplate())) {
        return false;
    }
    const QString application = settings::applicationNameForProfile(kProfile);
    settings::SaveSetting(QStringLiteral("Tollmere"), QStringLiteral("Tollmere"), QStringLiteral("CurrentProfile"),
                          application);
    settings::SaveSetting(application, QStringLiteral("Tollmere"), QStringLiteral("AppDataFolder"), folder);
    saveCampaignSetting("DataFilePath", folder + QStringLiteral("Spring.xml"));
    saveCampaignSetting("SendMessageEveryNSeconds", QStringLiteral("60"));
    saveCampaignSetting("ReportWanted", QStringLiteral("1"));
    saveCampaignSetting("EmailWhenFinished", QStringLiteral("0"));
    saveCampaignSetting("DeleteSentItems", QStringLiteral("0"));
    saveCampaignSetting("PerformSendReceiveWanted", QStringLiteral("0"));
    saveCampaignSetting("PerformSendReceive", QStringLiteral("0"));
    saveCampaignSetting("EXEPriorityName", QStringLiteral("Idle"));
    saveCampaignSetting("RecipientIndex", QStringLiteral("0"));
    saveCampaignSetting("SendState", state);
    return true;
}

// What the benchmarks wait for, reported by inotify as it happens.
struct FileEvent {
    enum class Kind { Socket, Delivered } kind;
    QString name;
    Clock::time_point at;
};

class FileEvents {
public:
    FileEvents() : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (m_fd < 0) {
            return;
        }
        // Qt binds the socket in a private folder beside it and renames it into place.
        m_socketWatch =
            ::inotify_add_watch(m_fd, QFile::encodeName(runtimeFolder()).constData(), IN_CREATE | IN_MOVED_TO);
        m_deliveredWatch = ::inotify_add_watch(
            m_fd, QFile::encodeName(deliveredFolder() + QStringLiteral("/new")).constData(), IN_MOVED_TO | IN_CREATE);
    }
    ~FileEvents() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileEvents(const FileEvents&) = delete;
    FileEvents& operator=(const FileEvents&) = delete;

    [[nodiscard]] bool valid() const { return m_fd >= 0 && m_socketWatch >= 0 && m_deliveredWatch >= 0; }

    // The next event of `kind` (earlier events of other kinds are dropped), or nothing when none
    // came before `deadline`.
    std::optional<FileEvent> next(FileEvent::Kind kind, Clock::time_point deadline) {
        for (;;) {
            const auto found = std::find_if(m_pending.begin(), m_pending.end(),
                                            [kind](const FileEvent& event) { return event.kind == kind; });
            if (found != m_pending.end()) {
                FileEvent event = *found;
                m_pending.erase(m_pending.begin(), found + 1);
                return event;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return std::nullopt;
            }
            pollfd entry{m_fd, POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(left.count())) > 0) {
                readEvents();
            }
        }
    }

private:
    void readEvents() {
        alignas(inotify_event) char buffer[8192];
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        const Clock::time_point now = Clock::now();
        for (ssize_t offset = 0; offset < length;) {
            inotify_event event{};
            std::memcpy(&event, buffer + offset, sizeof event);
            const QString name =
                event.len > 0 ? QFile::decodeName(buffer + offset + static_cast<ssize_t>(sizeof event)) : QString();
            offset += static_cast<ssize_t>(sizeof event + event.len);
            if (event.wd == m_deliveredWatch) {
                m_pending.push_back({FileEvent::Kind::Delivered, name, now});
            } else if (event.wd == m_socketWatch && name.startsWith(QLatin1String("quillmark-")) &&
                       name.endsWith(QLatin1String(".sock"))) {
                m_pending.push_back({FileEvent::Kind::Socket, name, now});
            }
        }
    }

    int m_fd;
    int m_socketWatch = -1;
    int m_deliveredWatch = -1;
    std::deque<FileEvent> m_pending;
};

// A child process of this benchmark; ended with SIGTERM (then SIGKILL) when it goes out of scope.
class Child {
public:
    // Spawns command[0] with the rest as its arguments, its standard streams on /dev/null.
    explicit Child(const std::vector<std::string>& command) {
        std::vector<char*> argv;
        for (const std::string& word : command) {
            argv.push_back(const_cast<char*>(word.c_str()));
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
        }
        if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        if (m_pid <= 0) {
            return;
        }
        // A descriptor that polls readable when the process ends: an exact, bounded wait for it.
        m_exit = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
        if (m_exit < 0) { // without one no wait could be bounded, so the child goes at once
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }
    ~Child() { stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    [[nodiscard]] bool started() const { return m_pid > 0 && m_exit >= 0; }

    // Waits at most `timeout` for the process to end; its exit status, or nothing if it has not ended.
    std::optional<int> wait(std::chrono::milliseconds timeout) {
        if (m_pid <= 0) {
            return m_status;
        }
        pollfd entry{m_exit, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(timeout.count())) <= 0) {
            return std::nullopt;
        }
        int status = 0;
        if (::waitpid(m_pid, &status, 0) == m_pid) {
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        ::close(m_exit);
        m_pid = -1;
        m_exit = -1;
        return m_status;
    }

    void stop() {
        if (m_pid <= 0) {
            return;
        }
        ::kill(m_pid, SIGTERM);
        if (!wait(kExitTimeout)) {
            ::kill(m_pid, SIGKILL);
            (void)wait(kExitTimeout);
        }
    }

private:
    pid_t m_pid = -1;
    int m_exit = -1;
    std::optional<int> m_status;
};

std::string senderPath() {
    return QUILLMARK_SENDER_PATH;
}

void clearDelivered() {
    QDir folder(deliveredFolder() + QStringLiteral("/new"));
    for (const QString& name : folder.entryList(QDir::Files)) {
        folder.remove(name);
    }
}

void BM_StartupToFirstTick(benchmark::State& state) {
    const auto recipients = static_cast<int>(state.range(0));
    (void)runtimeFolder();
    if (!prepareCampaign(recipients, QStringLiteral("Sending"))) {
        state.SkipWithError("could not write the campaign's files or settings");
        return;
    }
    std::vector<double> toFirst;
    std::vector<double> toListening;
    for (auto _ : state) {
        clearDelivered();
        saveCampaignSetting("RecipientIndex", QStringLiteral("0"));
        saveCampaignSetting("SendState", QStringLiteral("Sending"));
        FileEvents events;
        if (!events.valid()) {
            state.SkipWithError("inotify cannot watch the runtime and delivery folders");
            return;
        }
        const Clock::time_point start = Clock::now();
        Child sender({senderPath()});
        if (!sender.started()) {
            state.SkipWithError("could not start QuillmarkExternal");
            return;
        }
        const Clock::time_point deadline = start + kEventTimeout;
        const auto listening = events.next(FileEvent::Kind::Socket, deadline);
        const auto delivered = events.next(FileEvent::Kind::Delivered, deadline);
        if (!listening || !delivered) {
            state.SkipWithError(listening ? "the sender delivered nothing within 20 s"
                                          : "the sender did not listen for commands within 20 s");
            return;
        }
        toListening.push_back(Milliseconds(listening->at - start).count());
        toFirst.push_back(Milliseconds(delivered->at - start).count());
        state.SetIterationTime(toFirst.back() / 1000.0);
        sender.stop(); // SIGTERM: the sender ends cleanly and frees its lock for the next run
    }
    state.counters["median_ms"] = median(toFirst);
    state.counters["listening_median_ms"] = median(toListening);
}
BENCHMARK(BM_StartupToFirstTick)->Arg(10)->Arg(2000)->Iterations(11)->UseManualTime()->Unit(benchmark::kMillisecond);

// A sender started with an idle campaign, for the command benchmarks; its window handle is read
// from its socket's name.
struct IdleSender {
    FileEvents events;
    Child process{{senderPath()}};
    std::int32_t window = 0;

    static std::unique_ptr<IdleSender> start(benchmark::State& state) {
        (void)runtimeFolder();
        if (!prepareCampaign(3, QStringLiteral("Idle"))) {
            state.SkipWithError("could not write the campaign's files or settings");
            return nullptr;
        }
        auto sender = std::make_unique<IdleSender>();
        const auto socket = sender->events.next(FileEvent::Kind::Socket, Clock::now() + kEventTimeout);
        if (!sender->process.started() || !socket) {
            state.SkipWithError("the sender did not start listening for commands within 20 s");
            return nullptr;
        }
        bool ok = false;
        sender->window = socket->name.mid(10).chopped(5).toInt(&ok); // quillmark-<window>.sock
        if (!ok) {
            state.SkipWithError("the sender's socket name carries no window handle");
            return nullptr;
        }
        return sender;
    }
};

void BM_CommandRoundTrip(benchmark::State& state) {
    const auto sender = IdleSender::start(state);
    if (!sender) {
        return;
    }
    constexpr std::int32_t kShow = 1;
    std::vector<double> times;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        try {
            (void)ipc::sendCommand(sender->window, kShow, QByteArray(), std::chrono::seconds(10));
        } catch (const std::exception& failure) {
            state.SkipWithError(failure.what());
            return;
        }
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        state.SetIterationTime(times.back() / 1e6);
    }
    state.counters["median_us"] = median(times);
}
BENCHMARK(BM_CommandRoundTrip)->Iterations(500)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_ControllerShow(benchmark::State& state) {
    const auto sender = IdleSender::start(state);
    if (!sender) {
        return;
    }
    std::vector<double> times;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        Child controller({QUILLMARK_CONTROLLER_PATH, "show"});
        if (!controller.started()) {
            state.SkipWithError("could not start quillmark show");
            return;
        }
        const auto status = controller.wait(kExitTimeout);
        if (status != 0) {
            state.SkipWithError(status ? "quillmark show failed" : "quillmark show did not end within 10 s");
            return;
        }
        times.push_back(Milliseconds(Clock::now() - start).count());
        state.SetIterationTime(times.back() / 1000.0);
    }
    state.counters["median_ms"] = median(times);
}
BENCHMARK(BM_ControllerShow)->Iterations(51)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillmark
