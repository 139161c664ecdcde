#pragma once

#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <string>

namespace quillmark::test {

// A recipient element of a campaign data file, parsed as the campaign loader parses it
// (comments kept, whitespace-only text dropped), holding the given child nodes.
class RecipientXml {
public:
    explicit RecipientXml(const std::string& children) {
        const std::string xml = "<recipient address=\"ann@example.com\">" + children + "</recipient>";
        const pugi::xml_parse_result result =
            m_document.load_string(xml.c_str(), pugi::parse_default | pugi::parse_comments);
        EXPECT_TRUE(result) << result.description() << " in " << xml;
    }

    [[nodiscard]] pugi::xml_node node() const { return m_document.document_element(); }

private:
    pugi::xml_document m_document;
};

} // namespace quillmark::test
