#include "ipc/FrameDecoder.h"

#include <QtEndian>
#include <algorithm>

namespace quillmark::ipc {

std::size_t FrameDecoder::bytesWanted() const noexcept {
    if (m_status != Status::NeedMore) {
        return 0;
    }
    if (!m_headerDone) {
        return kFrameHeaderSize - static_cast<std::size_t>(m_header.size());
    }
    return m_payloadSize - static_cast<std::size_t>(m_frame.payload.size());
}

FrameDecoder::Status FrameDecoder::feed(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        if (m_status != Status::NeedMore) {
            // Anything after a whole frame (or after a refusal) is not a request of ours.
            m_status = Status::Malformed;
            return m_status;
        }
        const auto take = static_cast<qsizetype>(std::min(bytesWanted(), static_cast<std::size_t>(bytes.size())));
        if (!m_headerDone) {
            m_header.append(bytes.first(take));
            bytes = bytes.sliced(take);
            if (static_cast<std::size_t>(m_header.size()) == kFrameHeaderSize) {
                takeHeader();
            }
            continue;
        }
        m_frame.payload.append(bytes.first(take));
        bytes = bytes.sliced(take);
        if (bytesWanted() == 0) {
            m_status = Status::Complete;
        }
    }
    return m_status;
}

void FrameDecoder::takeHeader() {
    const char* raw = m_header.constData();
    m_frame.code = static_cast<std::int32_t>(qFromLittleEndian<std::uint32_t>(raw));
    m_frame.dwData = qFromLittleEndian<std::uint32_t>(raw + 4);
    m_payloadSize = qFromLittleEndian<std::uint32_t>(raw + 8);
    m_headerDone = true;
    if (m_payloadSize > m_maxPayload) {
        m_status = Status::Malformed;
        return;
    }
    m_frame.payload.reserve(static_cast<qsizetype>(m_payloadSize));
    if (m_payloadSize == 0) {
        m_status = Status::Complete;
    }
}

} // namespace quillmark::ipc
