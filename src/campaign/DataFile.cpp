#include "campaign/DataFile.h"

#include "core/Error.h"

#include <QFile>
#include <cstring>

namespace quillmark::campaign {

namespace {

// Comments stay as nodes; whitespace-only text between elements is dropped. Entities other
// than XML's own are never expanded and nothing outside the file is ever read.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments;

bool isCampaignElement(const pugi::xml_node& node) {
    return node.type() == pugi::node_element && std::strcmp(node.name(), "campaign") == 0;
}

} // namespace

RecipientList::RecipientList(std::shared_ptr<const pugi::xml_document> document, pugi::xml_node campaign)
    : m_document(std::move(document)) {
    for (const pugi::xml_node child : campaign.children()) {
        m_nodes.push_back(child);
    }
}

std::int32_t RecipientList::length() const noexcept {
    return static_cast<std::int32_t>(m_nodes.size());
}

pugi::xml_node RecipientList::item(std::int32_t index) const noexcept {
    if (index < 0 || static_cast<std::size_t>(index) >= m_nodes.size()) {
        return {};
    }
    return m_nodes[static_cast<std::size_t>(index)];
}

DataFile DataFile::load(const QString& path) {
    DataFile file;
    const pugi::xml_parse_result result =
        file.m_document->load_file(QFile::encodeName(path).constData(), kParseOptions, pugi::encoding_auto);
    if (!result) {
        file.m_errorCode = static_cast<int>(result.status);
        file.m_errorDescription = QString::fromUtf8(result.description());
        file.m_document->reset();
    }
    return file;
}

QString DataFile::errorDescription() const {
    return m_errorDescription;
}

pugi::xml_node DataFile::campaignElement() const {
    // find_node walks the tree depth-first from the first child on: document order.
    return m_document->find_node(isCampaignElement);
}

QString DataFile::messageClass() const {
    const pugi::xml_attribute attribute = campaignElement().attribute("MessageClass");
    if (!attribute) {
        throw core::Error(QStringLiteral("The campaign element of the data file has no MessageClass attribute"));
    }
    return QString::fromUtf8(attribute.value());
}

std::shared_ptr<const RecipientList> DataFile::recipients() const {
    return std::make_shared<const RecipientList>(m_document, campaignElement());
}

} // namespace quillmark::campaign
