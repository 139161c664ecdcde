#include "mail/GMime_p.h"

#include <mutex>

namespace quillmark::mail {

void ensureGMime() {
    // g_mime_init is not safe to race and must run once per process; GMime stays set up until
    // the process ends, since other objects may still hold GMime objects at exit.
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

} // namespace quillmark::mail
