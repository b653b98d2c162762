#include "engine/xlsx_reader.h"

namespace ledgerix::engine {

std::unique_ptr<Book> OpenXlsx(std::string, const std::string&) { throw BookError(kUnsupported); }

}  // namespace ledgerix::engine
