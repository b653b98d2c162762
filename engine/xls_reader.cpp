#include "engine/xls_reader.h"

namespace ledgerix::engine {

std::unique_ptr<Book> OpenXls(std::string, const std::string&) { throw BookError(kUnsupported); }

}  // namespace ledgerix::engine
