// How a converter turns one cell into text, and how header and period cells give their values.
#pragma once

#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "bridges/spreadsheet.h"

namespace ledgerix {

// Text of a value: numbers with "." and up to 15 significant digits, no trailing zeros
// (-0 is "0"); booleans "-1"/"0"; text unchanged; empty "". An error value has no text and
// throws AutomationError.
std::string CellText(const Variant& value);
// Every U+0020 deleted; other spaces stay.
std::string SpaceFreeText(std::string_view text);
// ":" -> "：", spaces deleted, then the text after the first "：" (the whole text when none).
std::string HeaderValue(std::string_view text);
// Characters 1-4, 6-7 and 9-10 of text (positions past the end give nothing). When that is not
// eight ASCII digits but the text holds exactly three digit runs of lengths 4, 1-2 and 1-2,
// the year with zero-padded month and day instead ("2008-1-1" -> "20080101").
std::string CompactDate(std::string_view text);

struct PeriodDates {
  std::string start;
  std::string end;
};
// Spaces deleted, split at the first "至" (no "至": empty start, whole text as end), each
// side compacted.
PeriodDates SplitPeriod(std::string_view text);

// Cell readers: each reads one cell through the interface. A cell holding an error value
// throws an AutomationError naming the sheet, the cell and the error.
std::string ReadCellText(Worksheet& sheet, std::string_view address);
std::string ReadSpaceFreeText(Worksheet& sheet, std::string_view address);
std::string ReadHeaderValue(Worksheet& sheet, std::string_view address);
PeriodDates ReadPeriodDates(Worksheet& sheet, std::string_view address);
// The raw value of one cell.
Variant ReadCellValue(Worksheet& sheet, std::string_view address);

// "%Y%m%d" of today's local date, from the clock below.
std::string TodayStamp();
// Replaces the clock TodayStamp reads (tests fix "today"); an empty function restores the
// system clock.
using TodayClock = std::function<std::chrono::system_clock::time_point()>;
void SetTodayClock(TodayClock clock);

// saveFolder followed directly by fileName.
std::string OutputPath(std::string_view saveFolder, std::string_view fileName);
// Throws AutomationError naming the cell whose text made fileName longer than a file name may
// be (255 bytes): parts are the cells the name was built from, as (address, text).
struct FileNamePart {
  std::string_view address;
  std::string_view text;
};
void CheckFileNameLength(Worksheet& sheet, std::string_view fileName,
                         std::initializer_list<FileNamePart> parts);
// A file-name part built from cell text: each of / \ : * ? " < > | and every control
// character becomes "_", so the name cannot leave the save folder.
std::string SafeFileNamePart(std::string_view text);
// A national-tax statement's file name: prefix (ending in "_") + period start + "_" + period end
// + "_" + taxpayer number + "_CRC.xml", each text made safe with SafeFileNamePart.
std::string StatementFileName(std::string_view prefix, std::string_view periodStart,
                              std::string_view periodEnd, std::string_view taxpayer);

}  // namespace ledgerix
