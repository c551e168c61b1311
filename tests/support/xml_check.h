// A small XML well-formedness checker for the tests: enough of XML 1.0 to
// reject what a browser would refuse (unbalanced or crossed tags, bad
// attributes, stray "<" or "&", unknown entities, more than one root element).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace dorvu::test {

struct XmlElement {
  std::string name;
  std::map<std::string, std::string> attributes;  // values with entities resolved
  int parent = -1;                                // index into XmlDocument::elements
};

struct XmlDocument {
  std::string error;                 // empty when the text is well-formed
  std::vector<XmlElement> elements;  // in document order
};

XmlDocument ParseXml(const std::string& text);

}  // namespace dorvu::test
