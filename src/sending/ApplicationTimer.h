#pragma once

#include <cstdint>

// The single application timer that drives the campaign: each expiry runs one tick.

namespace quillmark::sending {

// Starts the timer with an interval in milliseconds; a timer still running is stopped first,
// so there is never more than one. A timer the event loop refuses is logged and never ticks.
void SetApplicationTimer(std::int32_t interval);
// Stops the timer, if one is running.
void KillApplicationTimer();

// The identifier of the running timer; 0 when none is.
[[nodiscard]] std::uint32_t applicationTimerId();

} // namespace quillmark::sending
