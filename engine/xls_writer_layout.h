// Stream layout for the .xls writer: the cell table laid out in blocks of 32 rows with their
// DBCELL records, each sheet's INDEX sized and filled, and every stream offset the globals
// hold (BOUNDSHEET, EXTSST) set once all substreams have their place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/biff_out.h"
#include "engine/biff_sst.h"

namespace ledgerix::engine {

// One row of a rebuilt cell table: its ROW record (none when the row has only cells), the
// records that stood behind that ROW, and its cells in column order, each cell record followed
// by the records that belong to it.
struct TableRow {
  std::uint32_t row = 0;
  const biff::OutRecord* record = nullptr;
  const std::vector<biff::OutRecord>* after_row = nullptr;
  std::vector<const std::vector<biff::OutRecord>*> cells;
};

// Rows in blocks of 32 (by row number, as Excel lays them out): the block's ROW records, then
// its cells, then, with_dbcells, a DBCELL pointing back at the block's first ROW and at the
// first cell of each row. leading goes first. rows is in row order.
std::vector<biff::OutRecord> LayOutCellTable(const std::vector<biff::OutRecord>& leading,
                                             const std::vector<TableRow>& rows, bool with_dbcells);

// A substream of the new stream, or bytes between substreams kept as they were.
struct Chunk {
  std::uint32_t old_offset = 0;
  std::vector<biff::OutRecord> records;
  std::string raw;
  std::uint32_t new_offset = 0;
  std::size_t size() const { return raw.size() + biff::SizeOf(records); }
};

// Gives each INDEX of a substream one entry per DBCELL it holds.
void SizeIndex(std::vector<biff::OutRecord>& records);

// The globals (with the SST at sst_at, or none) followed by the chunks, every offset filled:
// BOUNDSHEET, the EXTSST buckets, each INDEX (DBCELLs, DEFCOLWIDTH, the rows' span). Throws
// BookError when the stream would pass 4 GB or a record 64 KB.
std::string LayOutStream(std::vector<biff::OutRecord>& globals, std::size_t sst_at,
                         const std::vector<biff::SstBucket>& buckets, std::vector<Chunk>& chunks);

}  // namespace ledgerix::engine
