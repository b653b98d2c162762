// Value texts of SpreadsheetML cells: escapes, numbers, error texts and ISO dates.
#pragma once

#include <string>
#include <string_view>

#include "bridges/spreadsheet.h"

namespace ledgerix::engine {

// Decodes the _xHHHH_ escapes of ST_Xstring ("_x000D_" -> CR; "_x005F_" is a literal "_",
// so "_x005F_x0041_" stays "_x0041_"). UTF-16 pairs of escapes join into one character; a lone
// surrogate becomes U+FFFD.
std::string DecodeEscapes(std::string_view text);

// text without leading and trailing XML whitespace.
std::string_view Trim(std::string_view text);

// An xsd:double as a cell's <v> holds it ("1234.5", "-1E-3", "+2"), correctly rounded;
// false for anything else, infinities and NaN included.
bool ParseXmlNumber(std::string_view text, double* out);

// "#DIV/0!" -> its error value, including the newer texts ("#SPILL!", "#CALC!" ...) by the
// codes the automation server gives them; false for an unknown text.
bool ErrorFromXmlText(std::string_view text, CellError* out);

// A t="d" cell: "2024-01-31", "2024-01-31T12:00:00(.fff)(Z|+08:00)" or a time "12:30:00", as a
// day serial of the workbook's date system (1900 system with its phantom 1900-02-29; time-zone
// suffixes are ignored). False when the text is no such date.
bool IsoDateToSerial(std::string_view text, bool date1904, double* out);

}  // namespace ledgerix::engine
