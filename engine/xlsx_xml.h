// Element lookups of SpreadsheetML parts by local name, shared by the .xlsx readers.
#pragma once

#include <cstring>
#include <pugixml.hpp>

namespace ledgerix::engine {

// Element names compare by local name: some producers write prefixed SpreadsheetML
// ("x:row"), and Strict OOXML differs from Transitional only in namespace URIs.
inline const char* LocalName(const char* name) {
  const char* colon = std::strrchr(name, ':');
  return colon ? colon + 1 : name;
}

inline bool IsElement(pugi::xml_node node, const char* local) {
  return node.type() == pugi::node_element && std::strcmp(LocalName(node.name()), local) == 0;
}

inline pugi::xml_node ChildElement(pugi::xml_node parent, const char* local) {
  for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
    if (IsElement(child, local)) return child;
  }
  return {};
}

}  // namespace ledgerix::engine
