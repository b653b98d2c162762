// What the two standards-edition (taxML) statements share: the date of preparation derived
// from the period end, the root start tag, and character-wise slicing of header texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "bridges/companion.h"
#include "bridges/utf8.h"
#include "convert/common/cell_rules.h"
#include "convert/common/xml_line_writer.h"

namespace ledgerix::national {

// Characters first+1 to first+count of text (1-based positions past the end give nothing).
inline std::string CharacterSlice(std::string_view text, std::size_t first, std::size_t count) {
  std::vector<std::string_view> chars = Utf8Characters(text);
  std::string out;
  for (std::size_t i = first; i < chars.size() && i < first + count; ++i) out += chars[i];
  return out;
}

// The value of the ASCII decimal digits that open the given characters; 0 when none do.
inline long long LeadingNumber(std::string_view text) {
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    if (value < 100000000) value = value * 10 + (c - '0');
  }
  return value;
}

inline int DaysInMonth(long long year, long long month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// The date of preparation: the period end one month on, keeping its day ("20080930" ->
// "20081030", "20081231" -> "20090131"). A day the later month lacks becomes that month's
// last day ("20080331" -> "20080430"), as a filing client rejects 31 April; a period end that
// is not eight digits is moved by position only and left otherwise unchecked.
inline std::string PreparationDate(std::string_view periodEnd) {
  std::vector<std::string_view> chars = Utf8Characters(periodEnd);
  long long year = LeadingNumber(CharacterSlice(periodEnd, 0, 4));
  long long month = LeadingNumber(CharacterSlice(periodEnd, 4, 2));
  std::string day = CharacterSlice(periodEnd, chars.size() < 2 ? 0 : chars.size() - 2, 2);

  long long targetYear = month == 12 ? year + 1 : year;
  long long targetMonth = month == 12 ? 1 : month + 1;
  std::string yearText = month == 12 ? fnIntToCString(targetYear) : CharacterSlice(periodEnd, 0, 4);
  std::string monthText = fnIntToCString(targetMonth);
  if (monthText.size() < 2) monthText.insert(0, "0");

  bool eightDigits =
      periodEnd.size() == 8 && periodEnd.find_first_not_of("0123456789") == std::string_view::npos;
  if (eightDigits && targetMonth >= 1 && targetMonth <= 12) {
    int last = DaysInMonth(targetYear, targetMonth);
    if (LeadingNumber(day) > last) day = fnIntToCString(last);
  }
  return yearText + monthText + day;
}

// The taxML root start tag of a request document.
inline std::string TaxmlRootTag(std::string_view requestName, std::string_view cnName) {
  std::string tag =
      "<taxML xmlns=\"http://www.chinatax.gov.cn/dataspec/\""
      " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:type=\"";
  tag += requestName;
  tag += "\" version=\"SW5001-2005\" name=\"";
  tag += requestName;
  tag += "\" cnName=\"";
  tag += cnName;
  tag += "\">";
  return tag;
}

// The start of a taxML statement: the declaration, the root start tag, the statement's start
// tag and its head up to the taxpayer's name.
inline void WriteTaxmlStart(XmlLineWriter& out, std::string_view requestName,
                            std::string_view cnName, std::string_view statement,
                            const std::string& taxpayerId, const std::string& taxpayerName) {
  out.WriteLine("<?xml version=\"1.0\" encoding=\"GB2312\"?>");
  out.WriteLine(TaxmlRootTag(requestName, cnName));
  out.WriteLine("<" + std::string(statement) + ">");
  out.WriteLine("<head>");
  out.ElementLine("nsrsbh", taxpayerId);
  out.ElementLine("nsrmc", taxpayerName);
}

// The filing information that closes both taxML statements.
inline void WriteFilingInfo(XmlLineWriter& out, const PeriodDates& period,
                            const std::string& preparationDate) {
  out.WriteLine("<cwbbcjFsxx>");
  out.WriteLine("<sssq>");
  out.ElementLine("rqQ", period.start);
  out.ElementLine("rqZ", period.end);
  out.WriteLine("</sssq>");
  out.WriteLine("<sbfsDm>34</sbfsDm>");
  out.ElementLine("tbrq", preparationDate);
  out.WriteLine("</cwbbcjFsxx>");
}

// From the body end tag to the end of the document.
inline void WriteTaxmlEnd(XmlLineWriter& out, std::string_view statement, const PeriodDates& period,
                          const std::string& preparationDate) {
  out.WriteLine("</body>");
  out.WriteLine("<bodyAffix></bodyAffix>");
  out.WriteLine("</" + std::string(statement) + ">");
  WriteFilingInfo(out, period, preparationDate);
  out.WriteLine("</taxML>");
}

}  // namespace ledgerix::national
