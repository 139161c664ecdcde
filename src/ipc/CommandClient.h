#pragma once

#include "ipc/WindowMessages.h"

#include <QByteArray>
#include <chrono>
#include <cstdint>

namespace quillmark::ipc {

// Sends one command to the window `window` of a running sender and waits, at most `timeout`
// in all, until the command has run; returns the window's result. Blocks the calling thread.
// Fails with a description for the user when nothing listens for that window, when the
// payload is over the limit, on timeout, and when the connection closes without an answer
// (a request the sender refused, or a sender that ended while running the command).
std::int32_t sendCommand(WindowHandle window, std::int32_t code, const QByteArray& payload = {},
                         std::chrono::milliseconds timeout = std::chrono::seconds(30), std::uint32_t dwData = 0);

} // namespace quillmark::ipc
