// What the two system-edition (SCHEMA) statements share: the document's frame around its body.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "convert/common/xml_line_writer.h"

namespace ledgerix::national {

// The declaration, the SCHEMA start tag (its CRC the file name) and the whole HEAD, up to and
// including the BODY start tag. preparedOn gives the preparation date when its element is due.
inline void WriteSchemaHead(XmlLineWriter& out, std::string_view schema, std::string_view cnName,
                            const std::string& fileName, const std::string& taxpayer,
                            const std::string& periodStart, const std::string& periodEnd,
                            const std::function<std::string()>& preparedOn) {
  out.WriteLine("<?xml version=\"1.0\" encoding=\"GBK\"?>");
  out.WriteLine("<!--DOCTYPE SCHEMA SYSTEM '" + std::string(schema) + ".DTD'-->");
  out.WriteLine("<SCHEMA NAME=\"" + std::string(schema) + "\" CNNAME=\"" + std::string(cnName) +
                "\" Version=\"1.0\" CRC=\"" + XmlEscape(fileName, true) + "\">");
  out.WriteLine("<HEAD>");
  out.ElementLine("NSRSBH", taxpayer);
  out.WriteLine("<!--纳税人识别号-->");
  out.ElementLine("SSSQ_Q", periodStart);
  out.WriteLine("<!--所属期起-->");
  out.ElementLine("SSSQ_Z", periodEnd);
  out.WriteLine("<!--所属期止-->");
  out.ElementLine("TBRQ", preparedOn());
  out.WriteLine("<!--填表日期-->");
  out.WriteLine("<BZDW></BZDW>");
  out.WriteLine("<!--编制单位-->");
  out.WriteLine("</HEAD>");
  out.WriteLine("<HEAD_AFFIX></HEAD_AFFIX>");
  out.WriteLine("<BODY>");
}

// From the BODY end tag to the end of the document.
inline void WriteSchemaEnd(XmlLineWriter& out) {
  out.WriteLine("</BODY>");
  out.WriteLine("<BODY_AFFIX></BODY_AFFIX>");
  out.WriteLine("</SCHEMA>");
}

}  // namespace ledgerix::national
