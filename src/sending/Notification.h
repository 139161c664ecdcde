#pragma once

namespace quillmark::sending {

// E-mails the logged-on user that the campaign has finished, then runs a send/receive so the
// message leaves at once. Best effort: a step that fails is skipped and the next one runs.
void SendFinishedNotification();

} // namespace quillmark::sending
