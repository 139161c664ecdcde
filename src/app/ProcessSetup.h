#pragma once

// What the sending process arranges before and around its window.

namespace quillmark::app {

// Without a display (neither DISPLAY nor WAYLAND_DISPLAY), runs on Qt's offscreen platform so
// campaigns go on on headless servers. Call before the application object exists.
void selectPlatform();

// With a real display, failures of the log writer appear in a modal box; on the offscreen
// platform they keep going to standard error, since nobody could press OK.
void installErrorBox();

// SIGTERM and SIGINT leave the event loop cleanly; the stored campaign state is untouched, so a
// campaign that was sending resumes at its stored recipient at the next start.
void quitOnTerminationSignals();

} // namespace quillmark::app
