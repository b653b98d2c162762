// The value transfer of the local-tax converters.
#pragma once

#include <string_view>

#include "bridges/spreadsheet.h"

namespace ledgerix {

// Writes the source cell's Value2 unchanged into the target cell: numbers stay numbers, text
// stays text, an empty source clears the target, an error value is copied as that error.
void CopyCellValue(Worksheet& source, std::string_view sourceAddress, Worksheet& target,
                   std::string_view targetAddress);

}  // namespace ledgerix
