#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <chrono>
#include <cstdint>
#include <optional>

// The command channel's wire format, little-endian throughout.
//   request: code (int32) | dwData (uint32) | cbData (uint32) | cbData bytes
//   reply:   the window procedure's result (int32), sent only after the command has run
// One request per connection; the server closes the connection after the reply, and closes it
// without replying when the request is malformed, too large or too slow.

namespace quillmark::ipc {

inline constexpr std::size_t kFrameHeaderSize = 12;
inline constexpr std::size_t kReplySize = 4;
// Far above what a command carries (the receiver keeps 255 bytes), low enough that no client
// can make the process buffer much.
inline constexpr std::uint32_t kMaxPayloadSize = 64 * 1024;
// A request must be complete this long after its connection was accepted.
inline constexpr std::chrono::milliseconds kFrameTimeout{2000};

struct CommandFrame {
    std::int32_t code = 0;
    std::uint32_t dwData = 0;
    QByteArray payload;
};

[[nodiscard]] QByteArray encodeRequest(const CommandFrame& frame);
[[nodiscard]] QByteArray encodeReply(std::int32_t result);
// The result in a reply of exactly kReplySize bytes; nothing for anything else.
[[nodiscard]] std::optional<std::int32_t> decodeReply(QByteArrayView reply);

} // namespace quillmark::ipc
