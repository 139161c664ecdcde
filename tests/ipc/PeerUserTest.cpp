// Who may command a window: the server asks the kernel which user connected, so a client of
// another user is refused even when the socket file and its folder are open to everyone.
#include "IpcTestSupport.h"
#include "ipc/CNotify.h"
#include "ipc/CommandServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <grp.h>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillmark::ipc {
namespace {

using namespace std::chrono_literals;
using test::RecordingWindow;

// How the forked client's one command went, as its exit status.
enum Outcome : int {
    Answered = 10,         // the server wrote a reply
    ClosedUnanswered = 11, // the server closed the connection without a reply
    NoWordInTime = 12,     // neither, within the client's wait
    CannotConnect = 13,    // connect() itself failed: the file-system bits kept it out
    CannotBecomeUser = 14, // setgroups/setgid/setuid failed
};

constexpr int kClientWaitMs = 3000;

struct Account {
    uid_t uid;
    gid_t gid;
};

// Runs in the forked child, so only system calls: no allocation, no Qt, no locks.
[[noreturn]] void sendOneCommand(const sockaddr_un& address, const QByteArray& request,
                                 const std::optional<Account>& as) {
    if (as && (::setgroups(0, nullptr) != 0 || ::setgid(as->gid) != 0 || ::setuid(as->uid) != 0 ||
               ::getuid() != as->uid || ::geteuid() != as->uid)) {
        ::_exit(CannotBecomeUser);
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::_exit(CannotConnect);
    }
    // A server that has already cut us off makes this fail; the read below tells what happened.
    (void)::send(fd, request.constData(), static_cast<std::size_t>(request.size()), MSG_NOSIGNAL);
    char reply[16];
    std::size_t received = 0;
    pollfd readable{fd, POLLIN, 0};
    while (::poll(&readable, 1, kClientWaitMs) > 0) {
        const ssize_t n = ::read(fd, reply, sizeof reply);
        if (n <= 0) {
            ::_exit(received >= 4 ? Answered : ClosedUnanswered);
        }
        received += static_cast<std::size_t>(n);
    }
    ::_exit(received >= 4 ? Answered : NoWordInTime);
}

// Serves this thread's event loop until the child `pid` ends; its exit status, or -1 when it
// had to be killed after `limit` or did not exit normally.
int waitServing(pid_t pid, std::chrono::milliseconds limit) {
    int status = 0;
    bool ended = false;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        ended = ::waitpid(pid, &status, WNOHANG) == pid;
        if (ended || clock.elapsed() > limit.count()) {
            loop.quit();
        }
    });
    poll.start(5);
    loop.exec();
    if (!ended) {
        ::kill(pid, SIGKILL);
        (void)::waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Sets an environment variable for the life of the object.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QByteArray& value) : m_name(name), m_old(qgetenv(name)) {
        m_wasSet = qEnvironmentVariableIsSet(name);
        qputenv(name, value);
    }
    ~ScopedVariable() {
        if (m_wasSet) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    QByteArray m_old;
    bool m_wasSet = false;
};

// A server whose socket and folder everyone may enter (mode 0777), on this thread's event loop,
// in a folder under the temporary folder so that another user can reach it at all.
class PeerUserTest : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "needs root, to run a client as another user (the user nobody)";
        }
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr) {
            GTEST_SKIP() << "this system has no user nobody";
        }
        other = Account{nobody->pw_uid, nobody->pw_gid};
        ASSERT_NE(other.uid, ::geteuid());
        ASSERT_TRUE(runtime.isValid());
        // The server listens only in a private folder, so the folder is opened up afterwards.
        runtimeVariable.emplace("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        notify->setHWnd(window.handle());
        notify->setOutlookMessageHandler([this](std::int32_t& code, QString&) { commands.push_back(code); });
        server = std::make_unique<CommandServer>(window.handle());
        ASSERT_TRUE(server->path().startsWith(runtime.path() + QLatin1Char('/'))) << qPrintable(server->path());
        ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0777), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(server->path()).constData(), 0777), 0);

        const QByteArray native = QFile::encodeName(server->path());
        ASSERT_LT(static_cast<std::size_t>(native.size()), sizeof address.sun_path);
        address.sun_family = AF_UNIX;
        std::copy(native.begin(), native.end(), address.sun_path);
    }
    void TearDown() override {
        server.reset();
        test::spinEventLoop(20ms);
    }

    // Forks a client that sends command 1 once, as this user or as `as`; how it went.
    int commandFromChild(const std::optional<Account>& as) {
        const QByteArray frame = test::request(1, "show");
        const pid_t pid = ::fork();
        if (pid == 0) {
            sendOneCommand(address, frame, as);
        }
        EXPECT_GT(pid, 0);
        return pid > 0 ? waitServing(pid, 10s) : -1;
    }

    [[nodiscard]] static bool windowSawACopyData() {
        const auto& seen = RecordingWindow::seen();
        return std::any_of(seen.begin(), seen.end(), [](const test::SeenMessage& m) { return m.uMsg == WM_COPYDATA; });
    }

    Account other{};
    QTemporaryDir runtime{QDir::tempPath() + QStringLiteral("/quillmark-peer-XXXXXX")};
    std::optional<ScopedVariable> runtimeVariable;
    RecordingWindow window;
    std::shared_ptr<CNotify> notify = CNotify::create();
    std::unique_ptr<CommandServer> server;
    sockaddr_un address{};
    std::vector<std::int32_t> commands;
};

TEST_F(PeerUserTest, AnotherUserIsCutOffUnheardWhileThisUserIsServed) {
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(server->path()).constData(), &info), 0);
    ASSERT_EQ(info.st_mode & 0777, 0777U) << "the file-system bits let anyone in";

    EXPECT_EQ(commandFromChild(other), ClosedUnanswered) << "connected, then cut off without an answer";
    test::spinEventLoop(50ms);
    EXPECT_TRUE(commands.empty()) << "the command never reached the receiver";
    EXPECT_FALSE(windowSawACopyData());

    // The same client code running as this user, through the same open path, is served.
    EXPECT_EQ(commandFromChild(std::nullopt), Answered);
    EXPECT_EQ(commands, std::vector<std::int32_t>{1});

    // The refusal left the server serving.
    EXPECT_EQ(commandFromChild(other), ClosedUnanswered);
    EXPECT_EQ(commandFromChild(std::nullopt), Answered);
    EXPECT_EQ(commands, (std::vector<std::int32_t>{1, 1}));
}

} // namespace
} // namespace quillmark::ipc
