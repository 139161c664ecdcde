#include "priority/ProcessControl.h"

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace quillmark::priority {

std::uint32_t currentProcessId() {
    return static_cast<std::uint32_t>(::getpid());
}

std::uint32_t processOwningWindow(std::int32_t /*windowHandle*/) {
    return currentProcessId();
}

void requestNice(std::uint32_t processId, int nice) {
    // EACCES/EPERM (raising priority without the privilege) and ESRCH simply change nothing.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(processId), nice);
}

std::optional<int> readNice(std::uint32_t processId) {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(processId));
    if (nice == -1 && errno != 0) {
        return std::nullopt;
    }
    return nice;
}

} // namespace quillmark::priority
