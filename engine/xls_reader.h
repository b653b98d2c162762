// The .xls reader: BIFF8 and BIFF5/7 workbook streams in an OLE2 compound file (or bare).
#pragma once

#include <memory>
#include <string>

#include "engine/book.h"

namespace ledgerix::engine {

// Reads the compound file (or bare BIFF stream) in bytes; name is for messages. Parses the
// globals substream now, each worksheet substream on first use. Throws BookError.
std::unique_ptr<Book> OpenXls(std::string bytes, const std::string& name);

}  // namespace ledgerix::engine
