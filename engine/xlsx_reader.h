// The .xlsx / .xlsm reader (Office Open XML SpreadsheetML in a ZIP package).
#pragma once

#include <memory>
#include <string>

#include "engine/book.h"

namespace ledgerix::engine {

// Reads the package in bytes; name is for messages. Parses the workbook part and shared
// strings now, each worksheet's cells on first use. Throws BookError.
std::unique_ptr<Book> OpenXlsx(std::string bytes, const std::string& name);

}  // namespace ledgerix::engine
