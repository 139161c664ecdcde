#pragma once

#include "core/Error.h"
#include "mail/MailObject.h"

#include <QString>
#include <memory>

namespace quillmark::mail {

inline constexpr char kSessionProgId[] = "TollmereOutlook.TollmereRDOSession";
inline constexpr char kUtilitiesProgId[] = "TollmereOutlook.TollmereMAPIUtils";

// Creates a new session (not logged on) or utilities object by its ProgID; any other name
// fails with "Class not registered: <name>".
[[nodiscard]] std::shared_ptr<MailObject> createObject(const QString& progId);

// The same, as the type the caller expects; fails when the ProgID makes another type.
template <typename T>
[[nodiscard]] std::shared_ptr<T> createObjectAs(const QString& progId) {
    auto object = createObject(progId);
    auto typed = std::dynamic_pointer_cast<T>(object);
    if (!typed) {
        throw core::Error(QStringLiteral("\"%1\" creates a %2 object").arg(progId, object->typeName()));
    }
    return typed;
}

} // namespace quillmark::mail
