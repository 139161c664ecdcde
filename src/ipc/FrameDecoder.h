#pragma once

#include "ipc/CommandFrame.h"

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

namespace quillmark::ipc {

// Assembles one request from the bytes of a connection as they arrive. It never holds more
// than the header and the announced payload, refuses an announcement above the limit before
// any payload is buffered, and refuses bytes beyond the end of the frame.
class FrameDecoder {
public:
    enum class Status { NeedMore, Complete, Malformed };

    explicit FrameDecoder(std::uint32_t maxPayload = kMaxPayloadSize) : m_maxPayload(maxPayload) {}

    // Takes the next bytes; once Complete or Malformed, the status no longer changes except
    // that more bytes after a complete frame make it Malformed.
    Status feed(QByteArrayView bytes);

    [[nodiscard]] Status status() const noexcept { return m_status; }
    // How many more bytes would complete the frame (0 when complete or malformed).
    [[nodiscard]] std::size_t bytesWanted() const noexcept;
    // The decoded request; only meaningful when Complete.
    [[nodiscard]] const CommandFrame& frame() const noexcept { return m_frame; }

private:
    void takeHeader();

    std::uint32_t m_maxPayload;
    Status m_status = Status::NeedMore;
    QByteArray m_header;
    bool m_headerDone = false;
    std::uint32_t m_payloadSize = 0;
    CommandFrame m_frame;
};

} // namespace quillmark::ipc
