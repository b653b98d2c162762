#include "engine/xml_stream.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlreader.h>

#include <cstring>
#include <mutex>

#include "engine/book.h"

namespace ledgerix::engine {

struct XmlStreamErrors {
  static void Record(void* context, xmlErrorPtr error) {
    auto* stream = static_cast<XmlStream*>(context);
    if (!error || error->level < XML_ERR_ERROR || !stream->error_.empty()) return;
    std::string message = error->message ? error->message : "malformed XML";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
      message.pop_back();
    }
    stream->error_ = message.empty() ? "malformed XML" : message;
    stream->error_line_ = error->line;
    stream->error_column_ = error->int2;
  }
};

namespace {

xmlTextReaderPtr Reader(void* reader) { return static_cast<xmlTextReaderPtr>(reader); }

}  // namespace

XmlStream::XmlStream(PartStream& part) : part_(part) {
  static std::once_flag init;
  std::call_once(init, [] { xmlInitParser(); });
  // No network, no external DTD, entities left unexpanded: a package part needs none of them.
  xmlTextReaderPtr reader = xmlReaderForIO(&XmlStream::ReadCallback, nullptr, this, nullptr,
                                           nullptr, XML_PARSE_NONET | XML_PARSE_NOWARNING);
  if (!reader) {
    throw BookError(std::string(kCorrupt) + "（part " + part.name() +
                    ": cannot start the parser）");
  }
  reader_ = reader;
  xmlTextReaderSetStructuredErrorHandler(reader, &XmlStreamErrors::Record, this);
}

XmlStream::~XmlStream() {
  if (reader_) xmlFreeTextReader(Reader(reader_));
}

int XmlStream::ReadCallback(void* context, char* buffer, int length) {
  auto* stream = static_cast<XmlStream*>(context);
  try {
    return static_cast<int>(stream->part_.Read(buffer, static_cast<std::size_t>(length)));
  } catch (...) {
    stream->read_error_ = std::current_exception();
    return -1;
  }
}

void XmlStream::Fail() {
  if (read_error_) std::rethrow_exception(read_error_);
  std::string where = error_line_ > 0 ? " at line " + std::to_string(error_line_) + ", column " +
                                            std::to_string(error_column_)
                                      : std::string();
  throw BookError(std::string(kCorrupt) + "（part " + part_.name() + ": " +
                  (error_.empty() ? std::string("malformed XML") : error_) + where + "）");
}

bool XmlStream::Next() {
  int status = xmlTextReaderRead(Reader(reader_));
  if (read_error_ || !error_.empty() || status < 0) Fail();
  if (status == 0) return false;
  switch (xmlTextReaderNodeType(Reader(reader_))) {
    case XML_READER_TYPE_ELEMENT:
      node_ = Node::Element;
      break;
    case XML_READER_TYPE_END_ELEMENT:
      node_ = Node::EndElement;
      break;
    case XML_READER_TYPE_TEXT:
    case XML_READER_TYPE_CDATA:
    case XML_READER_TYPE_WHITESPACE:
    case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
      node_ = Node::Text;
      break;
    case XML_READER_TYPE_DOCUMENT_TYPE:
      throw BookError(std::string(kCorrupt) + "（part " + part_.name() +
                      " has a document type declaration）");
    default:
      node_ = Node::Other;
  }
  return true;
}

int XmlStream::depth() const { return xmlTextReaderDepth(Reader(reader_)); }

std::string_view XmlStream::local_name() const {
  const xmlChar* name = xmlTextReaderConstLocalName(Reader(reader_));
  return name ? std::string_view(reinterpret_cast<const char*>(name)) : std::string_view();
}

bool XmlStream::empty_element() const { return xmlTextReaderIsEmptyElement(Reader(reader_)) == 1; }

std::string_view XmlStream::text() const {
  const xmlChar* value = xmlTextReaderConstValue(Reader(reader_));
  return value ? std::string_view(reinterpret_cast<const char*>(value)) : std::string_view();
}

bool XmlStream::Attribute(const char* name, std::string* value) {
  xmlTextReaderPtr reader = Reader(reader_);
  bool found = false;
  for (int more = xmlTextReaderMoveToFirstAttribute(reader); more == 1;
       more = xmlTextReaderMoveToNextAttribute(reader)) {
    const xmlChar* attribute = xmlTextReaderConstName(reader);
    if (attribute && std::strcmp(reinterpret_cast<const char*>(attribute), name) == 0) {
      const xmlChar* text = xmlTextReaderConstValue(reader);
      value->assign(text ? reinterpret_cast<const char*>(text) : "");
      found = true;
      break;
    }
  }
  xmlTextReaderMoveToElement(reader);
  return found;
}

}  // namespace ledgerix::engine
