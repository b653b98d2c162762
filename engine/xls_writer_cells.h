// The cell table of one written worksheet: read from its records, the writes applied (MULRK and
// MULBLANK runs split, shared formulas moved, formats kept) and laid out again, with DIMENSIONS
// and the INDEX's row span following the new cells.
#pragma once

#include <string_view>
#include <vector>

#include "engine/biff_out.h"
#include "engine/xls_writer.h"
#include "engine/xls_writer_sst.h"

namespace ledgerix::engine {

// The substream sub with writes applied; strings go into sst. Throws BookError.
std::vector<biff::OutRecord> RewriteSheet(std::string_view stream, const biff::Substream& sub,
                                          XlsSharedStrings& sst,
                                          const std::vector<XlsCellWrite>& writes);

}  // namespace ledgerix::engine
