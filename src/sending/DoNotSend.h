#pragma once

// The do-not-send condition: one flag for the whole process. The per-recipient send clears it
// before personalising a recipient's message, field substitution raises it when a missing
// field's default says "Do not send", and the send tests it before submitting.

namespace quillmark::sending {

void clearDoNotSend();
void raiseDoNotSend();
[[nodiscard]] bool doNotSendRaised();

} // namespace quillmark::sending
