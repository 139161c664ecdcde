#include "mail/RDOFolder.h"

#include "mail/RDOItems.h"

#include <utility>

namespace quillmark::mail {

RDOFolder::RDOFolder(std::shared_ptr<RDOSession> session, QString name)
    : m_session(std::move(session)), m_name(std::move(name)) {}

QString RDOFolder::typeName() const {
    return QStringLiteral("RDOFolder");
}

std::shared_ptr<RDOItems> RDOFolder::items() const {
    return std::make_shared<RDOItems>(m_session, m_name);
}

} // namespace quillmark::mail
