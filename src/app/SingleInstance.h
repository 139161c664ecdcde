#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace quillmark::app {

// Keeps a second sender started by the same user from the same program file from running:
// a lock file in the user's runtime folder, keyed by the program's path. A lock left behind by
// a process that died is taken over.
class SingleInstance {
public:
    SingleInstance();

    // True when this process holds the lock; false when another instance is running.
    [[nodiscard]] bool acquire();
    // Lets the next instance start: called as the process ends.
    void release();

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace quillmark::app
