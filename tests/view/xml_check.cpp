#include "xml_check.hpp"

#include <cctype>

namespace dorvu::view::testing {

namespace {

struct Failure {
    std::string what;
};

struct Parser {
    const std::string& s;
    std::size_t pos = 0;
    XmlDocument doc;

    [[noreturn]] void fail(const std::string& what) const {
        throw Failure{what + " at byte " + std::to_string(pos)};
    }
    bool at(const char* prefix) const { return s.compare(pos, std::char_traits<char>::length(prefix), prefix) == 0; }
    void skip_blanks() {
        while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
    }
    void skip_past(const char* end) {
        const std::size_t found = s.find(end, pos);
        if (found == std::string::npos) fail(std::string("missing \"") + end + "\"");
        pos = found + std::char_traits<char>::length(end);
    }

    std::string name() {
        const std::size_t start = pos;
        const auto is_name_char = [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':' || c == '-' || c == '.';
        };
        if (pos >= s.size() || !(std::isalpha(static_cast<unsigned char>(s[pos])) || s[pos] == '_')) fail("expected a name");
        while (pos < s.size() && is_name_char(s[pos])) ++pos;
        return s.substr(start, pos - start);
    }

    // Character data up to `stop`, with entity references resolved.
    std::string character_data(char stop) {
        std::string out;
        while (pos < s.size() && s[pos] != stop) {
            if (s[pos] == '<') fail("\"<\" inside a value");
            if (s[pos] != '&') {
                out += s[pos++];
                continue;
            }
            const std::size_t semicolon = s.find(';', pos);
            if (semicolon == std::string::npos) fail("unterminated entity");
            const std::string entity = s.substr(pos + 1, semicolon - pos - 1);
            static const std::map<std::string, char> known{{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
            if (known.count(entity)) out += known.at(entity);
            else if (entity.size() < 2 || entity[0] != '#') fail("unknown entity &" + entity + ";");
            pos = semicolon + 1;
        }
        return out;
    }

    void misc() {
        for (;;) {
            skip_blanks();
            if (at("<!--")) skip_past("-->");
            else if (at("<?")) skip_past("?>");
            else return;
        }
    }

    void attributes(XmlElement& element) {
        for (;;) {
            const std::size_t before = pos;
            skip_blanks();
            if (at("/>") || at(">")) return;
            if (pos == before) fail("attributes must be separated by blanks");
            const std::string key = name();
            skip_blanks();
            if (pos >= s.size() || s[pos] != '=') fail("expected \"=\" after " + key);
            ++pos;
            skip_blanks();
            if (pos >= s.size() || (s[pos] != '"' && s[pos] != '\'')) fail("unquoted value of " + key);
            const char quote = s[pos++];
            std::string value = character_data(quote);
            if (pos >= s.size()) fail("unterminated value of " + key);
            ++pos;
            if (!element.attributes.emplace(key, value).second) fail("duplicate attribute " + key);
        }
    }

    void element(int parent) {
        ++pos;  // '<'
        const int index = static_cast<int>(doc.elements.size());
        doc.elements.push_back({name(), {}, parent, {}});
        attributes(doc.elements[index]);
        if (at("/>")) {
            pos += 2;
            return;
        }
        ++pos;  // '>'
        content(index);
        const std::string closing = name();
        if (closing != doc.elements[index].name) fail("</" + closing + "> closes <" + doc.elements[index].name + ">");
        skip_blanks();
        if (!at(">")) fail("expected \">\"");
        ++pos;
    }

    void content(int index) {
        for (;;) {
            if (pos >= s.size()) fail("<" + doc.elements[index].name + "> is never closed");
            if (at("</")) {
                pos += 2;
                return;
            }
            if (at("<!--")) skip_past("-->");
            else if (at("<?")) skip_past("?>");
            else if (at("<")) element(index);
            else doc.elements[index].text += character_data('<');
        }
    }

    void document() {
        if (at("<?xml")) skip_past("?>");
        misc();
        if (!at("<")) fail("no root element");
        element(-1);
        misc();
        if (pos != s.size()) fail("content after the root element");
    }
};

}  // namespace

XmlDocument parse_xml(const std::string& text) {
    Parser parser{text};
    try {
        parser.document();
    } catch (const Failure& failure) {
        parser.doc.error = failure.what;
    }
    return parser.doc;
}

bool is_inside(const XmlDocument& doc, int element, int ancestor) {
    for (int p = doc.elements[element].parent; p >= 0; p = doc.elements[p].parent)
        if (p == ancestor) return true;
    return false;
}

}  // namespace dorvu::view::testing
