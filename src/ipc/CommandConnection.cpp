#include "ipc/CommandConnection.h"

#include "diagnostics/ErrorLine.h"
#include "diagnostics/Logging.h"

#include <QLocalSocket>
#include <algorithm>
#include <exception>

namespace quillmark::ipc {

namespace {
constexpr qint64 kReadChunk = 4096;
// How long an answered client may take to let go before the connection is cut.
constexpr std::chrono::milliseconds kLingerTimeout{2000};
} // namespace

CommandConnection::CommandConnection(QLocalSocket* socket, WindowHandle window, const CommandLimits& limits)
    : m_socket(socket), m_window(window), m_decoder(limits.maxPayload) {
    m_socket->setParent(this);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { refuse(); });
    m_deadline.start(limits.frameTimeout);
    connect(m_socket, &QLocalSocket::readyRead, this, [this] { readRequest(); });
    connect(m_socket, &QLocalSocket::disconnected, this, [this] {
        if (!m_running) {
            m_done = true;
            deleteLater();
        }
    });
    // Bytes may have arrived before the signals were connected.
    QTimer::singleShot(0, this, [this] { readRequest(); });
}

CommandConnection::~CommandConnection() = default;

void CommandConnection::readRequest() {
    if (m_done || m_running) {
        return;
    }
    while (m_socket->bytesAvailable() > 0) {
        const QByteArray chunk = m_socket->read(std::min(m_socket->bytesAvailable(), kReadChunk));
        if (m_decoder.feed(chunk) == FrameDecoder::Status::Malformed) {
            refuse();
            return;
        }
    }
    if (m_decoder.status() == FrameDecoder::Status::Complete && !m_scheduled) {
        m_scheduled = true;
        m_deadline.stop();
        // Run from the event loop itself, never from inside the socket's own signal.
        QMetaObject::invokeMethod(
            this, [this] { runCommand(); }, Qt::QueuedConnection);
    }
}

void CommandConnection::runCommand() {
    if (m_done) {
        return;
    }
    readRequest(); // bytes that followed the frame turn it into a refusal
    if (m_done) {
        return;
    }
    std::int32_t result = 0;
    m_running = true;
    const bool ran = dispatch(result);
    m_running = false;
    if (!ran || m_socket->state() != QLocalSocket::ConnectedState) {
        refuse();
        return;
    }
    answer(result);
}

bool CommandConnection::dispatch(std::int32_t& result) {
    const CommandFrame& frame = m_decoder.frame();
    const COPYDATASTRUCT data{frame.dwData, static_cast<std::uint32_t>(frame.payload.size()),
                              frame.payload.constData()};
    try {
        result = SendMessage(m_window, WM_COPYDATA, frame.code, reinterpret_cast<std::intptr_t>(&data));
        return true;
    } catch (const std::exception& failure) {
        // The window's procedure is not ours to trap for; its failure must not unwind
        // through the event loop, and the client learns of it by getting no answer.
        diagnostics::logTrappedError(diagnostics::productSource(u"CommandConnection.runCommand"), failure);
        return false;
    } catch (...) {
        diagnostics::LogError(diagnostics::errorLineText(QStringLiteral("Unknown failure")),
                              diagnostics::productSource(u"CommandConnection.runCommand"));
        return false;
    }
}

void CommandConnection::answer(std::int32_t result) {
    m_done = true;
    m_socket->write(encodeReply(result));
    m_socket->flush();
    m_socket->disconnectFromServer();
    if (m_socket->state() == QLocalSocket::UnconnectedState) {
        deleteLater();
        return;
    }
    disconnect(&m_deadline, nullptr, this, nullptr);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        m_socket->abort();
        deleteLater();
    });
    m_deadline.start(kLingerTimeout);
}

void CommandConnection::refuse() {
    m_done = true;
    m_deadline.stop();
    m_socket->abort();
    deleteLater();
}

} // namespace quillmark::ipc
