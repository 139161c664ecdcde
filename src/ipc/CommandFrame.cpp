#include "ipc/CommandFrame.h"

#include <QtEndian>
#include <array>

namespace quillmark::ipc {

namespace {

void appendUint32(QByteArray& out, std::uint32_t value) {
    std::array<char, 4> bytes{};
    qToLittleEndian(value, bytes.data());
    out.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

QByteArray encodeRequest(const CommandFrame& frame) {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(kFrameHeaderSize) + frame.payload.size());
    appendUint32(out, static_cast<std::uint32_t>(frame.code));
    appendUint32(out, frame.dwData);
    appendUint32(out, static_cast<std::uint32_t>(frame.payload.size()));
    out.append(frame.payload);
    return out;
}

QByteArray encodeReply(std::int32_t result) {
    QByteArray out;
    appendUint32(out, static_cast<std::uint32_t>(result));
    return out;
}

std::optional<std::int32_t> decodeReply(QByteArrayView reply) {
    if (static_cast<std::size_t>(reply.size()) != kReplySize) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(qFromLittleEndian<std::uint32_t>(reply.data()));
}

} // namespace quillmark::ipc
