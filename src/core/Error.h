#pragma once

#include <QString>
#include <exception>
#include <stdexcept>

namespace quillmark::core {

// The one failure type thrown below a procedure's trap. Its description is written for the
// user: it is what follows "Reason: " in the log.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& description);

    [[nodiscard]] const QString& description() const noexcept { return m_description; }

private:
    QString m_description;
};

// The user-facing description of any failure that reached a trap.
[[nodiscard]] QString describe(const std::exception& failure);

} // namespace quillmark::core
