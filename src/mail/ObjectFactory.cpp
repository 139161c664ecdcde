#include "mail/ObjectFactory.h"

#include "mail/MAPIUtils.h"
#include "mail/RDOSession.h"

namespace quillmark::mail {

std::shared_ptr<MailObject> createObject(const QString& progId) {
    // ProgIDs are names of a registry that ignores letter case.
    if (progId.compare(QLatin1String(kSessionProgId), Qt::CaseInsensitive) == 0) {
        return RDOSession::make();
    }
    if (progId.compare(QLatin1String(kUtilitiesProgId), Qt::CaseInsensitive) == 0) {
        return std::make_shared<MAPIUtils>();
    }
    throw core::Error(QStringLiteral("Class not registered: %1").arg(progId));
}

} // namespace quillmark::mail
