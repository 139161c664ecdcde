#pragma once

namespace quillmark::sending {

// One tick of the campaign: sends to the recipient at the stored index, stores the progress,
// then either completes the campaign or re-arms the timer for the next recipient.
void Timer();

} // namespace quillmark::sending
