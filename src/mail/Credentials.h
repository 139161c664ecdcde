#pragma once

#include "mail/AccountConfig.h"

#include <QString>
#include <chrono>

namespace quillmark::mail {

// How long a password command may take: long enough for a pass phrase prompt, short enough
// that a command waiting on something that never comes does not hold up the sending.
inline constexpr std::chrono::milliseconds defaultPasswordCommandLimit{std::chrono::seconds(60)};

// The account's password: the first line printed by its `password-command` (run through
// /bin/sh -c, with no input, within `limit`), else its `password` as written, else empty.
// Throws core::Error naming the account when the command fails, times out or prints nothing.
[[nodiscard]] QString resolvePassword(const AccountConfig& account,
                                      std::chrono::milliseconds limit = defaultPasswordCommandLimit);

} // namespace quillmark::mail
