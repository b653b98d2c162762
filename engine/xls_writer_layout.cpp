#include "engine/xls_writer_layout.h"

#include <algorithm>
#include <map>

#include "engine/book.h"

namespace ledgerix::engine {
namespace {

using biff::OutRecord;

// Fills each depth-1 INDEX record of a substream laid out at base: the stream offsets of its
// DBCELL records and of DEFCOLWIDTH, and the span of its rows.
void FillIndex(std::vector<OutRecord>& recs, std::uint32_t base) {
  std::vector<std::uint32_t> dbcells;
  std::uint32_t defcolwidth = 0;
  std::uint32_t pos = base;
  std::uint32_t first_row = kMaxXlsRows, last_row = 0;  // the rows' span, last + 1
  for (const OutRecord& r : recs) {
    if (r.id == biff::kRow && r.payload.size() >= 2) {
      std::uint32_t row = biff::Cursor(r).U16();
      first_row = std::min(first_row, row);
      last_row = std::max(last_row, row + 1);
    }
    if (r.id == biff::kDbCell) dbcells.push_back(pos);
    if (r.id == biff::kDefColWidth && defcolwidth == 0) defcolwidth = pos;
    pos += 4 + static_cast<std::uint32_t>(r.payload.size());
  }
  for (OutRecord& r : recs) {
    if (r.id != biff::kIndex || r.payload.size() < 16) continue;
    biff::RecordCursor c = biff::Cursor(r);
    std::uint32_t old_first = c.U32At(4), old_last = c.U32At(8), old_defcolwidth = c.U32At(12);
    if (last_row > 0) {  // new rows widen the span the INDEX announces
      bool empty = old_last == 0;
      biff::SetU32(r.payload, 4, empty ? first_row : std::min(first_row, old_first));
      biff::SetU32(r.payload, 8, std::max(last_row, old_last));
    }
    if (old_defcolwidth != 0) biff::SetU32(r.payload, 12, defcolwidth);
    for (std::size_t k = 0; k < dbcells.size(); ++k) {
      biff::SetU32(r.payload, 16 + 4 * k, dbcells[k]);
    }
  }
}

}  // namespace

std::vector<OutRecord> LayOutCellTable(const std::vector<OutRecord>& leading,
                                       const std::vector<TableRow>& rows, bool with_dbcells) {
  std::vector<OutRecord> out = leading;
  std::size_t pos = biff::SizeOf(out);
  auto it = rows.begin();
  while (it != rows.end()) {
    std::uint32_t block = it->row / 32;
    auto end = it;
    while (end != rows.end() && end->row / 32 == block) ++end;
    std::size_t block_start = pos;
    std::size_t first_row_end = 0;
    bool first_row = true;
    for (auto r = it; r != end; ++r) {
      if (!r->record) continue;
      out.push_back(*r->record);
      pos += 4 + r->record->payload.size();
      if (first_row) first_row_end = pos;
      first_row = false;
      out.insert(out.end(), r->after_row->begin(), r->after_row->end());
      pos += biff::SizeOf(*r->after_row);
    }
    if (first_row) first_row_end = pos;
    // The first cell offset counts from the end of the first ROW, each further one from the
    // previous row's first cell.
    std::string offsets;
    std::size_t previous = first_row_end;
    for (auto r = it; r != end; ++r) {
      if (r->record) {
        biff::PutU16(offsets,
                     static_cast<std::uint32_t>(std::min<std::size_t>(pos - previous, 0xFFFF)));
        previous = pos;
      }
      for (const std::vector<OutRecord>* cell : r->cells) {
        out.insert(out.end(), cell->begin(), cell->end());
        pos += biff::SizeOf(*cell);
      }
    }
    if (with_dbcells && !first_row) {  // a DBCELL points back at a ROW
      OutRecord db{biff::kDbCell, {}};
      biff::PutU32(db.payload, static_cast<std::uint32_t>(pos - block_start));
      db.payload += offsets;
      pos += 4 + db.payload.size();
      out.push_back(std::move(db));
    }
    it = end;
  }
  return out;
}

void SizeIndex(std::vector<OutRecord>& records) {
  std::size_t dbcells = 0;
  for (const OutRecord& r : records) dbcells += r.id == biff::kDbCell;
  for (OutRecord& r : records) {
    if (r.id == biff::kIndex && r.payload.size() >= 16) r.payload.resize(16 + 4 * dbcells);
  }
}

std::string LayOutStream(std::vector<OutRecord>& globals, std::size_t sst_at,
                         const std::vector<biff::SstBucket>& buckets, std::vector<Chunk>& chunks) {
  std::uint32_t offset = static_cast<std::uint32_t>(biff::SizeOf(globals));
  std::map<std::uint32_t, std::uint32_t> moved;
  for (Chunk& c : chunks) {
    c.new_offset = offset;
    moved[c.old_offset] = offset;
    std::size_t size = c.size();
    if (size > 0xFFFFFFFFu - offset) throw BookError(kTooLarge);
    offset += static_cast<std::uint32_t>(size);
    FillIndex(c.records, c.new_offset);
  }
  std::vector<std::uint32_t> record_pos;
  std::uint32_t p = 0;
  for (OutRecord& r : globals) {
    record_pos.push_back(p);
    p += 4 + static_cast<std::uint32_t>(r.payload.size());
    if (r.id == biff::kBoundSheet) {
      biff::SetU32(r.payload, 0, moved.at(biff::Cursor(r).U32()));
    }
  }
  if (sst_at != SIZE_MAX) {
    for (OutRecord& r : globals) {
      if (r.id != biff::kExtSst) continue;
      for (std::size_t b = 0; b < buckets.size(); ++b) {
        std::uint32_t record_start = record_pos[sst_at + buckets[b].record];
        biff::SetU32(r.payload, 2 + 8 * b,
                     record_start + 4 + static_cast<std::uint32_t>(buckets[b].offset));
        biff::SetU16(r.payload, 6 + 8 * b, 4 + static_cast<std::uint32_t>(buckets[b].offset));
      }
    }
  }

  std::string out;
  out.reserve(offset);
  auto emit = [&](const OutRecord& r) {
    if (r.payload.size() > 0xFFFF) biff::ThrowUnsupported("record too long");
    biff::PutU16(out, r.id);
    biff::PutU16(out, static_cast<std::uint32_t>(r.payload.size()));
    out += r.payload;
  };
  for (const OutRecord& r : globals) emit(r);
  for (const Chunk& c : chunks) {
    for (const OutRecord& r : c.records) emit(r);
    out += c.raw;
  }
  // Excel wants the workbook stream out of the compound file's small-block area, which holds
  // streams under 4096 bytes; readers skip zeros after the last substream.
  if (out.size() < 4096) out.resize(4096, '\0');
  return out;
}

}  // namespace ledgerix::engine
