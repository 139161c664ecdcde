#include "sending/RecipientFields.h"

#include "core/Error.h"
#include "sending/WildcardPattern.h"

#include <string>
#include <type_traits>

namespace quillmark::sending {

static_assert(std::is_same_v<pugi::char_t, char>, "pugixml is expected in its UTF-8 mode");

QString nodeText(pugi::xml_node node) {
    std::string text;
    // Walked without recursion: a deeply nested value must not exhaust the stack.
    pugi::xml_node current = node.first_child();
    while (current) {
        if (current.type() == pugi::node_pcdata || current.type() == pugi::node_cdata) {
            text += current.value();
        }
        if (current.first_child()) {
            current = current.first_child();
            continue;
        }
        while (!current.next_sibling()) {
            current = current.parent();
            if (current == node) {
                return QString::fromStdString(text);
            }
        }
        current = current.next_sibling();
    }
    return QString::fromStdString(text);
}

QString unwrapCdata(const QString& value) {
    if (value.size() < 7 || !value.startsWith(QStringLiteral("CDATA"), Qt::CaseInsensitive)) {
        return value;
    }
    return value.mid(6, value.size() - 7);
}

std::optional<Field> readField(pugi::xml_node child) {
    if (child.type() != pugi::node_element) {
        return std::nullopt;
    }
    const pugi::xml_attribute first = child.first_attribute();
    if (!first) {
        throw core::Error(QStringLiteral("The field element <%1> has no attribute to give its name")
                              .arg(QString::fromUtf8(child.name())));
    }
    return Field{QString::fromUtf8(first.value()), unwrapCdata(nodeText(child))};
}

RecipientFields::RecipientFields(pugi::xml_node recipient) {
    for (const pugi::xml_node child : recipient.children()) {
        try {
            if (auto field = readField(child)) {
                m_entries.push_back({std::move(*field), QString()});
            }
        } catch (const core::Error& failure) {
            m_entries.push_back({Field{}, failure.description()});
        }
    }
}

std::optional<QString> RecipientFields::valueOf(const QString& keyword) const {
    std::optional<WildcardPattern> pattern;
    for (const Entry& entry : m_entries) {
        if (!entry.failure.isEmpty()) {
            throw core::Error(entry.failure);
        }
        if (!pattern) {
            pattern.emplace(keyword);
        }
        if (pattern->matches(entry.field.name)) {
            return entry.field.value;
        }
    }
    return std::nullopt;
}

} // namespace quillmark::sending
