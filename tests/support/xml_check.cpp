#include "support/xml_check.h"

#include <cctype>

namespace dorvu::test {

namespace {

struct Failure {
  std::string what;
};

struct Parser {
  const std::string& s;
  std::size_t pos = 0;
  XmlDocument doc;

  [[noreturn]] void Fail(const std::string& what) const { throw Failure{what + " at byte " + std::to_string(pos)}; }
  bool At(const char* prefix) const { return s.compare(pos, std::char_traits<char>::length(prefix), prefix) == 0; }
  void SkipBlanks() {
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
  }
  void SkipPast(const char* end) {
    const std::size_t found = s.find(end, pos);
    if (found == std::string::npos) Fail(std::string("missing \"") + end + "\"");
    pos = found + std::char_traits<char>::length(end);
  }

  std::string Name() {
    const std::size_t start = pos;
    const auto IsNameChar = [](char c) {
      return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':' || c == '-' || c == '.';
    };
    if (pos >= s.size() || !(std::isalpha(static_cast<unsigned char>(s[pos])) || s[pos] == '_'))
      Fail("expected a name");
    while (pos < s.size() && IsNameChar(s[pos])) ++pos;
    return s.substr(start, pos - start);
  }

  // Character data up to `stop`, with entity references resolved.
  std::string CharacterData(char stop) {
    std::string out;
    while (pos < s.size() && s[pos] != stop) {
      if (s[pos] == '<') Fail("\"<\" inside a value");
      if (s[pos] != '&') {
        out += s[pos++];
        continue;
      }
      const std::size_t semicolon = s.find(';', pos);
      if (semicolon == std::string::npos) Fail("unterminated entity");
      const std::string entity = s.substr(pos + 1, semicolon - pos - 1);
      static const std::map<std::string, char> known{
          {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
      if (known.count(entity))
        out += known.at(entity);
      else if (entity.size() < 2 || entity[0] != '#')
        Fail("unknown entity &" + entity + ";");
      pos = semicolon + 1;
    }
    return out;
  }

  void Misc() {
    for (;;) {
      SkipBlanks();
      if (At("<!--"))
        SkipPast("-->");
      else if (At("<?"))
        SkipPast("?>");
      else
        return;
    }
  }

  void Attributes(XmlElement& element) {
    for (;;) {
      const std::size_t before = pos;
      SkipBlanks();
      if (At("/>") || At(">")) return;
      if (pos == before) Fail("attributes must be separated by blanks");
      const std::string key = Name();
      SkipBlanks();
      if (pos >= s.size() || s[pos] != '=') Fail("expected \"=\" after " + key);
      ++pos;
      SkipBlanks();
      if (pos >= s.size() || (s[pos] != '"' && s[pos] != '\'')) Fail("unquoted value of " + key);
      const char quote = s[pos++];
      std::string value = CharacterData(quote);
      if (pos >= s.size()) Fail("unterminated value of " + key);
      ++pos;
      if (!element.attributes.emplace(key, value).second) Fail("duplicate attribute " + key);
    }
  }

  void Element(int parent) {
    ++pos;  // '<'
    const int index = static_cast<int>(doc.elements.size());
    doc.elements.push_back({Name(), {}, parent});
    Attributes(doc.elements[index]);
    if (At("/>")) {
      pos += 2;
      return;
    }
    ++pos;  // '>'
    Content(index);
    const std::string closing = Name();
    if (closing != doc.elements[index].name) Fail("</" + closing + "> closes <" + doc.elements[index].name + ">");
    SkipBlanks();
    if (!At(">")) Fail("expected \">\"");
    ++pos;
  }

  void Content(int index) {
    for (;;) {
      if (pos >= s.size()) Fail("<" + doc.elements[index].name + "> is never closed");
      if (At("</")) {
        pos += 2;
        return;
      }
      if (At("<!--"))
        SkipPast("-->");
      else if (At("<?"))
        SkipPast("?>");
      else if (At("<"))
        Element(index);
      else
        CharacterData('<');
    }
  }

  void Document() {
    if (At("<?xml")) SkipPast("?>");
    Misc();
    if (!At("<")) Fail("no root element");
    Element(-1);
    Misc();
    if (pos != s.size()) Fail("content after the root element");
  }
};

}  // namespace

XmlDocument ParseXml(const std::string& text) {
  Parser parser{text, 0, {}};
  try {
    parser.Document();
  } catch (const Failure& failure) {
    parser.doc.error = failure.what;
  }
  return parser.doc;
}

}  // namespace dorvu::test
