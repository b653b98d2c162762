// The BIFF8 writer: patches a workbook stream with cell values put since it was read. The
// record lists are re-serialised, not poked in place: records nobody wrote to are kept byte for
// byte, while the shared string table, the cell table of each written sheet and everything that
// holds a stream offset (BOUNDSHEET, EXTSST, INDEX, DBCELL) are rebuilt to match.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bridges/spreadsheet.h"

namespace ledgerix::engine {

// One value put into a cell (0-based row and column); an empty value clears the cell.
struct XlsCellWrite {
  std::uint32_t row = 0;
  std::uint32_t col = 0;
  Variant value;
};

// The writes of one worksheet, found by the stream offset of the sheet's BOF record. At most
// one write per cell.
struct XlsSheetWrites {
  std::uint32_t bof_offset = 0;
  std::vector<XlsCellWrite> cells;
};

// Returns the BIFF8 workbook stream with the writes applied and the workbook marked for a full
// recalculation when it is opened. Throws BookError for anything but an unencrypted BIFF8
// stream, for a cell outside the BIFF8 grid and for a structure it cannot rebuild faithfully.
std::string PatchXlsStream(std::string_view stream, const std::vector<XlsSheetWrites>& sheets);

// Writes an .xls: the patched stream replaces "Workbook" in a copy of the compound file
// original (every other stream and storage copied as it was), or, when original is empty, the
// stream alone is the file (a bare BIFF file). Atomic: a temporary file beside path, renamed
// over path on success. Throws BookError.
void SaveXls(const std::string& path, const std::string& original, std::string_view stream,
             const std::vector<XlsSheetWrites>& sheets);

}  // namespace ledgerix::engine
