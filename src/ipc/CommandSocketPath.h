#pragma once

#include "ipc/WindowMessages.h"

#include <QString>

// Where command channels listen, and the file-system checks around their socket files.

namespace quillmark::ipc {

// The socket of the window `handle`: "quillmark-<handle>.sock" (handle in signed decimal) in the
// user's runtime folder. That folder is $XDG_RUNTIME_DIR when it is an absolute path to a
// folder of this user that nobody else may enter; otherwise a private folder
// "quillmark-<uid>" in the temporary folder, mode 0700. With `createFolder` the fallback
// folder is created when missing; a fallback folder that is not a private folder of this user
// (a link, someone else's, open to others) is refused with an error.
[[nodiscard]] QString commandSocketPath(WindowHandle handle, bool createFolder = false);

// What is at a path, without following a link there.
enum class PathKind { Missing, Socket, Other };
[[nodiscard]] PathKind pathKind(const QString& path);

// Narrows a socket file to read and write for its owner only (0600).
void makeOwnerOnly(const QString& path);

// Whether the process at the other end of the connected socket `descriptor` runs as this
// user. The socket file's mode keeps other users out only while nobody widens it or its
// folder; the kernel's record of who connected cannot be changed by them.
[[nodiscard]] bool peerIsThisUser(qintptr descriptor);

} // namespace quillmark::ipc
