#include "sending/DoNotSend.h"

namespace quillmark::sending {

namespace {
// Touched only on the window's thread.
bool doNotSend = false;
} // namespace

void clearDoNotSend() {
    doNotSend = false;
}

void raiseDoNotSend() {
    doNotSend = true;
}

bool doNotSendRaised() {
    return doNotSend;
}

} // namespace quillmark::sending
