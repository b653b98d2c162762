// A pull parser over one package part (libxml2's text reader), for parts too large to hold
// as a document: worksheets and the shared-string table are read node by node as they are
// inflated.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "engine/zip_container.h"

namespace ledgerix::engine {

class XmlStream {
 public:
  enum class Node { Element, EndElement, Text, Other };

  // Reads part, which must outlive the stream.
  explicit XmlStream(PartStream& part);
  ~XmlStream();
  XmlStream(const XmlStream&) = delete;
  XmlStream& operator=(const XmlStream&) = delete;

  // Moves to the next node; false after the last. Throws BookError (kCorrupt) naming the part
  // and where the markup is malformed, and for a document type declaration (entity tricks are
  // refused, not read); the part's own read errors pass through as thrown.
  bool Next();
  Node node() const { return node_; }
  // 0 for the root element.
  int depth() const;
  // The element's name without its prefix ("row" for <x:row>).
  std::string_view local_name() const;
  // <c/>: no end element follows.
  bool empty_element() const;
  // The characters of a text or CDATA node.
  std::string_view text() const;
  // The attribute of the current element named exactly name; false when it has none.
  bool Attribute(const char* name, std::string* value);

 private:
  static int ReadCallback(void* context, char* buffer, int length);
  [[noreturn]] void Fail();

  PartStream& part_;
  void* reader_ = nullptr;  // xmlTextReaderPtr, kept out of the header
  Node node_ = Node::Other;
  std::string error_;  // the parser's first error
  int error_line_ = 0;
  int error_column_ = 0;
  std::exception_ptr read_error_;  // thrown by the part, held across the C parser
  friend struct XmlStreamErrors;
};

}  // namespace ledgerix::engine
