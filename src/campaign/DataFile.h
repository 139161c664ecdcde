#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <pugixml.hpp>
#include <vector>

namespace quillmark::campaign {

// The recipients of a campaign: the campaign element's child nodes in document order (a
// comment is a node, whitespace between elements is not). It keeps its document alive.
class RecipientList {
public:
    RecipientList(std::shared_ptr<const pugi::xml_document> document, pugi::xml_node campaign);

    [[nodiscard]] std::int32_t length() const noexcept;
    // The node at a zero-based position; a null node outside the list.
    [[nodiscard]] pugi::xml_node item(std::int32_t index) const noexcept;

private:
    std::shared_ptr<const pugi::xml_document> m_document;
    std::vector<pugi::xml_node> m_nodes; // indexed, so each tick's lookup is O(1)
};

// A campaign data file as read from disk. Reading never throws: a missing or malformed file
// leaves the document empty and names the parser's error.
class DataFile {
public:
    [[nodiscard]] static DataFile load(const QString& path);

    [[nodiscard]] bool isLoaded() const noexcept { return m_errorCode == 0; }
    // The parser's non-zero code and its description after a failed load.
    [[nodiscard]] int errorCode() const noexcept { return m_errorCode; }
    [[nodiscard]] QString errorDescription() const;

    // The first element named "campaign" in document order, at any depth; null when none.
    [[nodiscard]] pugi::xml_node campaignElement() const;
    // The campaign element's "MessageClass"; throws core::Error when it has none.
    [[nodiscard]] QString messageClass() const;
    [[nodiscard]] std::shared_ptr<const RecipientList> recipients() const;

private:
    std::shared_ptr<pugi::xml_document> m_document = std::make_shared<pugi::xml_document>();
    int m_errorCode = 0;
    QString m_errorDescription;
};

} // namespace quillmark::campaign
