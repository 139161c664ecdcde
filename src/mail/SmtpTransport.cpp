#include "mail/SmtpTransport.h"

#include "core/Error.h"
#include "mail/Curl_p.h"
#include "mail/SmtpReplies.h"

#include <QRegularExpression>
#include <QSysInfo>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace quillmark::mail {

namespace {

CURLcode initialiseCurl() {
    static std::once_flag initialised;
    static CURLcode result = CURLE_OK;
    std::call_once(initialised, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result;
}

[[noreturn]] void failToStart(CURLcode code) {
    throw core::Error(
        QStringLiteral("The SMTP library (libcurl) cannot start: %1").arg(QString::fromUtf8(curl_easy_strerror(code))));
}

} // namespace

CurlPtr makeCurl() {
    const CURLcode initialised = initialiseCurl();
    CurlPtr handle(initialised == CURLE_OK ? curl_easy_init() : nullptr);
    if (!handle) {
        failToStart(initialised == CURLE_OK ? CURLE_OUT_OF_MEMORY : initialised);
    }
    return handle;
}

CurlMultiPtr makeCurlMulti() {
    const CURLcode initialised = initialiseCurl();
    CurlMultiPtr multi(initialised == CURLE_OK ? curl_multi_init() : nullptr);
    if (!multi) {
        failToStart(initialised == CURLE_OK ? CURLE_OUT_OF_MEMORY : initialised);
    }
    return multi;
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr qsizetype maxReplyLength = 1000;
constexpr int pollIntervalMs = 100;

// The server's replies as libcurl reads them. A failure's description quotes the server's own
// words, and the last failure is kept apart because libcurl says QUIT after a failed transaction.
class ReplyCapture {
public:
    void reset() { *this = ReplyCapture(); }

    void add(const char* data, size_t size) {
        const QByteArray received(data, static_cast<qsizetype>(size));
        for (const QByteArray& line : received.split('\n')) {
            if (!line.trimmed().isEmpty()) {
                addLine(QString::fromUtf8(line));
            }
        }
    }

    [[nodiscard]] int count() const noexcept { return m_count; }
    [[nodiscard]] bool authOffered() const noexcept { return m_authOffered; }
    [[nodiscard]] long failureCode() const noexcept { return m_failureCode; }
    [[nodiscard]] const QString& failure() const noexcept { return m_failure; }
    [[nodiscard]] long lastCode() const noexcept { return m_lastCode; }
    [[nodiscard]] const QString& last() const noexcept { return m_last; }

private:
    void addLine(const QString& raw) {
        // Control characters from the server never reach a log line.
        const QString line = raw.simplified();
        static const QRegularExpression shape(QStringLiteral("^(\\d{3})([ -]?)(.*)$"));
        const QRegularExpressionMatch match = shape.match(line);
        if (!match.hasMatch()) {
            return;
        }
        static const QRegularExpression auth(QStringLiteral("^AUTH[ =]"), QRegularExpression::CaseInsensitiveOption);
        if (match.captured(1) == QLatin1String("250") && auth.match(match.captured(3)).hasMatch()) {
            m_authOffered = true;
        }
        if (m_pending.isEmpty()) {
            m_pending = match.captured(1);
        }
        if (!match.captured(3).isEmpty() && m_pending.size() < maxReplyLength) {
            m_pending += QLatin1Char(' ') + match.captured(3);
        }
        if (match.captured(2) != QLatin1String("-")) {
            finishReply(match.captured(1).toLong());
        }
    }

    void finishReply(long code) {
        m_last = m_pending.left(maxReplyLength);
        m_lastCode = code;
        m_pending.clear();
        ++m_count;
        if (code >= 400) {
            m_failure = m_last;
            m_failureCode = code;
        }
    }

    QString m_pending;
    QString m_last;
    long m_lastCode = 0;
    QString m_failure;
    long m_failureCode = 0;
    int m_count = 0;
    bool m_authOffered = false;
};

// What the callbacks see of a transfer: the replies, when anything last moved, and the socket of
// the connection (so an abandoned one can be cut off at once).
struct TransferWatch {
    ReplyCapture replies;
    Clock::time_point lastActivity = Clock::now();
    std::chrono::seconds limit{1};
    bool timedOut = false;
    curl_socket_t socket = CURL_SOCKET_BAD;

    void start() {
        replies.reset();
        lastActivity = Clock::now();
        timedOut = false;
    }

    // True, and the connection cut off, once nothing has moved for the limit. libcurl says QUIT
    // before it closes even an abandoned connection and would wait for the stalled server's
    // answer; with the socket shut down, that ends at once.
    bool expire() {
        if (Clock::now() - lastActivity <= limit) {
            return false;
        }
        timedOut = true;
        if (socket != CURL_SOCKET_BAD) {
            ::shutdown(socket, SHUT_RDWR);
        }
        return true;
    }
};

// libcurl waits for some replies inside its own loop; it still calls this about once a second.
int onProgress(void* watch, curl_off_t /*downTotal*/, curl_off_t /*downNow*/, curl_off_t /*upTotal*/,
               curl_off_t /*upNow*/) {
    return static_cast<TransferWatch*>(watch)->expire() ? 1 : 0;
}

int onSocketOpened(void* watch, curl_socket_t socket, curlsocktype /*purpose*/) {
    static_cast<TransferWatch*>(watch)->socket = socket;
    return CURL_SOCKOPT_OK;
}

int onSocketClosing(void* watch, curl_socket_t socket) {
    auto* transfer = static_cast<TransferWatch*>(watch);
    if (transfer->socket == socket) {
        transfer->socket = CURL_SOCKET_BAD;
    }
    return ::close(socket);
}

// Only the server's replies are kept: what we send includes the AUTH exchange.
int onDebug(CURL* /*handle*/, curl_infotype type, char* data, size_t size, void* watch) {
    auto* transfer = static_cast<TransferWatch*>(watch);
    if (type != CURLINFO_TEXT) {
        transfer->lastActivity = Clock::now();
    }
    if (type == CURLINFO_HEADER_IN) {
        transfer->replies.add(data, size);
    }
    return 0;
}

struct MessageSource {
    const QByteArray* bytes = nullptr;
    qsizetype offset = 0;
};

size_t readMessage(char* buffer, size_t size, size_t count, void* source) {
    auto* message = static_cast<MessageSource*>(source);
    const auto left = static_cast<size_t>(message->bytes->size() - message->offset);
    const size_t chunk = std::min(left, size * count);
    std::memcpy(buffer, message->bytes->constData() + message->offset, chunk);
    message->offset += static_cast<qsizetype>(chunk);
    return chunk;
}

// libcurl escapes a leading dot only after CR LF, so every line must end in CR LF on the wire:
// a bare LF followed by "." would otherwise end the message early.
QByteArray withCrLf(const QByteArray& message) {
    bool clean = true;
    for (qsizetype i = 0; i < message.size() && clean; ++i) {
        const char c = message.at(i);
        if (c == '\n') {
            clean = i > 0 && message.at(i - 1) == '\r';
        } else if (c == '\r') {
            clean = i + 1 < message.size() && message.at(i + 1) == '\n';
        }
    }
    if (clean) {
        return message;
    }
    QByteArray wire;
    wire.reserve(message.size() + message.size() / 32);
    for (qsizetype i = 0; i < message.size(); ++i) {
        const char c = message.at(i);
        if (c == '\r') {
            wire.append("\r\n");
            if (i + 1 < message.size() && message.at(i + 1) == '\n') {
                ++i;
            }
        } else if (c == '\n') {
            wire.append("\r\n");
        } else {
            wire.append(c);
        }
    }
    return wire;
}

// The name we greet the server with; libcurl takes it from the URL's path.
QString greetingName() {
    static const QRegularExpression hostName(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9.-]*$"));
    const QString name = QSysInfo::machineHostName();
    return hostName.match(name).hasMatch() ? name : QStringLiteral("localhost");
}

// Leaves no pointer to one message's data in the handle, however its transfer ends.
struct TransferScope {
    explicit TransferScope(CURL* transferHandle) : handle(transferHandle) {}
    TransferScope(const TransferScope&) = delete;
    TransferScope& operator=(const TransferScope&) = delete;
    ~TransferScope() {
        curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, static_cast<curl_slist*>(nullptr));
        curl_easy_setopt(handle, CURLOPT_READDATA, static_cast<void*>(nullptr));
    }

    CURL* handle;
};

bool isLostConnection(CURLcode code) {
    return code == CURLE_SEND_ERROR || code == CURLE_RECV_ERROR || code == CURLE_GOT_NOTHING;
}

} // namespace

// One easy handle driven through its own multi handle. The multi handle keeps the connection
// between messages, and driving it ourselves lets a stalled transfer be abandoned the moment the
// timeout has passed, without libcurl's polite QUIT that would wait on the same stalled server.
struct SmtpTransport::Session {
    CurlPtr handle = makeCurl();
    TransferWatch watch;
    std::array<char, CURL_ERROR_SIZE> errorBuffer{};
    // Destroyed before the members above: closing its kept connection still calls back into them.
    CurlMultiPtr multi = makeCurlMulti();
    QString server;
    int timeoutSeconds = 0;

    template <typename Value>
    void set(CURLoption option, Value value) {
        const CURLcode code = curl_easy_setopt(handle.get(), option, value);
        if (code != CURLE_OK) {
            throw core::Error(describeSmtpExchange(SmtpExchange{code, 0, {}, {}, server, timeoutSeconds}).description);
        }
    }

    void set(CURLoption option, const QString& text) { set(option, text.toUtf8().constData()); }

    SmtpExchange perform() {
        watch.start();
        errorBuffer.fill('\0');
        SmtpExchange exchange;
        exchange.curlCode = run();
        exchange.curlDetail = QString::fromUtf8(errorBuffer.data()).simplified();
        exchange.server = server;
        exchange.timeoutSeconds = timeoutSeconds;
        const ReplyCapture& replies = watch.replies;
        if (replies.failureCode() != 0) {
            exchange.replyCode = replies.failureCode();
            exchange.serverReply = replies.failure();
            return exchange;
        }
        curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &exchange.replyCode);
        if (exchange.replyCode == replies.lastCode()) {
            exchange.serverReply = replies.last();
        }
        return exchange;
    }

    // Runs the transfer until it ends or nothing has moved for the timeout.
    CURLcode run() {
        if (const CURLMcode added = curl_multi_add_handle(multi.get(), handle.get()); added != CURLM_OK) {
            return multiFailure(added);
        }
        CURLcode result = CURLE_OK;
        for (;;) {
            int running = 0;
            if (const CURLMcode step = curl_multi_perform(multi.get(), &running); step != CURLM_OK) {
                result = multiFailure(step);
                break;
            }
            if (running == 0) {
                result = finishedResult();
                break;
            }
            if (watch.expire()) {
                break;
            }
            curl_multi_poll(multi.get(), nullptr, 0, pollIntervalMs, nullptr);
        }
        // Removing an unfinished transfer closes its connection; a finished one stays open.
        curl_multi_remove_handle(multi.get(), handle.get());
        return watch.timedOut ? CURLE_OPERATION_TIMEDOUT : result;
    }

    CURLcode finishedResult() {
        int left = 0;
        while (const CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
            if (message->msg == CURLMSG_DONE) {
                return message->data.result;
            }
        }
        return CURLE_OK;
    }

    CURLcode multiFailure(CURLMcode code) {
        qstrncpy(errorBuffer.data(), curl_multi_strerror(code), errorBuffer.size());
        return CURLE_FAILED_INIT;
    }

    [[nodiscard]] bool reusedConnection() {
        long connects = 0;
        curl_easy_getinfo(handle.get(), CURLINFO_NUM_CONNECTS, &connects);
        return connects == 0;
    }
};

SmtpTransport::SmtpTransport(Options options) : m_options(std::move(options)) {
    m_options.timeoutSeconds = std::max(1, m_options.timeoutSeconds);
}

SmtpTransport::~SmtpTransport() = default;

QString SmtpTransport::server() const {
    const QString host =
        m_options.host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(m_options.host) : m_options.host;
    return QStringLiteral("%1:%2").arg(host).arg(m_options.port);
}

bool SmtpTransport::resolvePassword(DeliveryResult* failure) {
    if (m_passwordResolved || m_options.username.isEmpty() || !m_options.password) {
        return true;
    }
    try {
        m_password = m_options.password();
        m_passwordResolved = true;
        return true;
    } catch (const core::Error& error) {
        *failure = DeliveryResult{DeliveryOutcome::TryLater, error.description()};
        return false;
    }
}

std::unique_ptr<SmtpTransport::Session> SmtpTransport::openSession() const {
    auto session = std::make_unique<Session>();
    session->server = server();
    session->timeoutSeconds = m_options.timeoutSeconds;
    const QString scheme = m_options.implicitTls ? QStringLiteral("smtps") : QStringLiteral("smtp");
    session->set(CURLOPT_URL, QStringLiteral("%1://%2/%3").arg(scheme, server(), greetingName()));
    session->set(CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    session->set(CURLOPT_NOSIGNAL, 1L);
    session->set(CURLOPT_TCP_KEEPALIVE, 1L);
    session->set(CURLOPT_ERRORBUFFER, session->errorBuffer.data());
    watch(*session);
    secure(*session);
    return session;
}

// The callbacks that capture the replies and abandon a server that goes quiet for the timeout;
// libcurl's own limits stay behind them as a second line.
void SmtpTransport::watch(Session& session) const {
    session.watch.limit = std::chrono::seconds(m_options.timeoutSeconds);
    session.set(CURLOPT_VERBOSE, 1L);
    session.set(CURLOPT_DEBUGFUNCTION, &onDebug);
    session.set(CURLOPT_DEBUGDATA, &session.watch);
    session.set(CURLOPT_NOPROGRESS, 0L);
    session.set(CURLOPT_XFERINFOFUNCTION, &onProgress);
    session.set(CURLOPT_XFERINFODATA, &session.watch);
    session.set(CURLOPT_SOCKOPTFUNCTION, &onSocketOpened);
    session.set(CURLOPT_SOCKOPTDATA, &session.watch);
    session.set(CURLOPT_CLOSESOCKETFUNCTION, &onSocketClosing);
    session.set(CURLOPT_CLOSESOCKETDATA, &session.watch);
    const long timeout = m_options.timeoutSeconds;
    session.set(CURLOPT_CONNECTTIMEOUT, 2 * timeout);
    session.set(CURLOPT_SERVER_RESPONSE_TIMEOUT, 2 * timeout);
}

// smtps:// is TLS throughout. smtp:// takes STARTTLS when offered, and insists on it once there
// is a password to send.
void SmtpTransport::secure(Session& session) const {
    const bool authenticates = !m_options.username.isEmpty();
    session.set(CURLOPT_USE_SSL, m_options.implicitTls || authenticates ? CURLUSESSL_ALL : CURLUSESSL_TRY);
    if (!m_options.caFile.isEmpty()) {
        session.set(CURLOPT_CAINFO, m_options.caFile);
    }
    if (authenticates) {
        session.set(CURLOPT_USERNAME, m_options.username);
        session.set(CURLOPT_PASSWORD, m_password);
        session.set(CURLOPT_SASL_IR, 1L);
    }
}

DeliveryResult SmtpTransport::deliver(const Envelope& envelope, const QByteArray& message) {
    if (auto refused = refusedEnvelope(envelope)) {
        return *refused;
    }
    DeliveryResult failure;
    if (!resolvePassword(&failure)) {
        return failure;
    }
    try {
        if (!m_session) {
            m_session = openSession();
        }
        return transfer(envelope, withCrLf(message));
    } catch (const core::Error& error) {
        return DeliveryResult{DeliveryOutcome::TryLater, error.description()};
    }
}

DeliveryResult SmtpTransport::transfer(const Envelope& envelope, const QByteArray& wire) {
    Session& session = *m_session;
    CurlSlistPtr recipients;
    for (const QString& recipient : envelope.recipients) {
        curl_slist* extended = curl_slist_append(recipients.get(), recipient.toUtf8().constData());
        if (extended == nullptr) {
            return DeliveryResult{DeliveryOutcome::TryLater, QStringLiteral("Out of memory")};
        }
        if (!recipients) {
            recipients.reset(extended); // later appends return the same head
        }
    }
    MessageSource source{&wire, 0};
    const TransferScope scope{session.handle.get()};
    session.set(CURLOPT_MAIL_FROM, envelope.sender);
    session.set(CURLOPT_MAIL_RCPT, recipients.get());
    session.set(CURLOPT_UPLOAD, 1L);
    session.set(CURLOPT_READFUNCTION, &readMessage);
    session.set(CURLOPT_READDATA, &source);
    session.set(CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(wire.size()));

    SmtpExchange exchange = session.perform();
    // A kept connection the server closed while idle fails before the server said a word; the
    // message cannot have reached it, so one more try on a fresh connection is safe.
    if (isLostConnection(static_cast<CURLcode>(exchange.curlCode)) && session.watch.replies.count() == 0 &&
        session.reusedConnection()) {
        source.offset = 0;
        exchange = session.perform();
    }
    return describeSmtpExchange(exchange);
}

void SmtpTransport::verify() {
    DeliveryResult failure;
    if (!resolvePassword(&failure)) {
        throw core::Error(failure.description);
    }
    // A separate handle: libcurl does not reuse a connect-only connection for transfers.
    const std::unique_ptr<Session> probe = openSession();
    probe->set(CURLOPT_CONNECT_ONLY, 1L);
    const SmtpExchange exchange = probe->perform();
    if (exchange.curlCode != CURLE_OK) {
        throw core::Error(describeSmtpExchange(exchange).description);
    }
    if (!m_options.username.isEmpty() && !probe->watch.replies.authOffered()) {
        throw core::Error(QStringLiteral("The mail server %1 offers no authentication, but the account has a user name")
                              .arg(server()));
    }
}

} // namespace quillmark::mail
