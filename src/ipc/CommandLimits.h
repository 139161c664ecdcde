#pragma once

#include "ipc/CommandFrame.h"

#include <chrono>
#include <cstdint>

namespace quillmark::ipc {

// What a command server tolerates from its clients. Tests shorten the timeout.
struct CommandLimits {
    std::uint32_t maxPayload = kMaxPayloadSize;
    std::chrono::milliseconds frameTimeout = kFrameTimeout;
    // Connections served at once; more are closed at once, without an answer.
    int maxConnections = 16;
};

} // namespace quillmark::ipc
