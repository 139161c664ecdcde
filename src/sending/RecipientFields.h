#pragma once

#include <QString>
#include <optional>
#include <pugixml.hpp>
#include <vector>

// The personal fields of one recipient: the recipient element's children in the campaign data
// file. Each element child is a field whose name is the value of its first attribute,
// whatever that attribute is called, and whose value is the element's whole text.

namespace quillmark::sending {

struct Field {
    QString name;
    QString value;
};

// All text and CDATA inside `node`, at any depth, in document order (the typed value of an
// element that has no data type); comments and processing instructions add nothing.
[[nodiscard]] QString nodeText(pugi::xml_node node);

// The data file's own wrapping of values: a value whose first five characters are "CDATA"
// (any letter case) loses its first six and its last character, so "CDATA[Smith]" gives
// "Smith". A value shorter than seven characters has nothing to unwrap and stays as it is.
[[nodiscard]] QString unwrapCdata(const QString& value);

// The field that one child node of a recipient stands for. A node that is not an element
// (a comment, say) is no field: none. Throws core::Error for an element without attributes.
[[nodiscard]] std::optional<Field> readField(pugi::xml_node child);

// The fields of one recipient, read once, in document order. A child that cannot be read is
// remembered as such and fails only when a look-up reaches it, as reading it there would.
class RecipientFields {
public:
    explicit RecipientFields(pugi::xml_node recipient);

    // The value of the first field, in document order, whose name matches `keyword` as a
    // WildcardPattern; none when no field matches. Throws core::Error when the look-up reaches
    // an unreadable field, or when `keyword` is not a valid pattern (which only shows when
    // there is a field to compare it with).
    [[nodiscard]] std::optional<QString> valueOf(const QString& keyword) const;

private:
    struct Entry {
        Field field;
        QString failure; // why the child cannot be read; empty when it can
    };
    std::vector<Entry> m_entries;
};

} // namespace quillmark::sending
