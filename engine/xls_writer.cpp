// Writes an .xls by patching its workbook stream: this file holds the globals (the string
// table rebuilt, RECALCID) and the save; the cell tables are rebuilt in xls_writer_cells.cpp,
// the string table in xls_writer_sst.cpp and every offset is set in xls_writer_layout.cpp.
#include "engine/xls_writer.h"

#include <algorithm>
#include <map>

#include "engine/biff_cursor.h"
#include "engine/biff_out.h"
#include "engine/biff_records.h"
#include "engine/book.h"
#include "engine/ole2_container.h"
#include "engine/ole2_out.h"
#include "engine/xls_writer_cells.h"
#include "engine/xls_writer_layout.h"
#include "engine/xls_writer_sst.h"

namespace ledgerix::engine {
namespace {

using biff::Copy;
using biff::OutRecord;
using biff::PutU16;
using biff::PutU32;
using biff::Record;
using biff::RecordCursor;
using biff::Substream;

void CheckBiff8(std::string_view stream, const Substream& globals) {
  const Record& bof = globals.records.front();
  if (bof.id != biff::kBof || bof.size < 8) biff::ThrowUnsupported("not a BIFF8 workbook");
  RecordCursor c(stream, bof);
  std::uint16_t version = c.U16();
  std::uint16_t type = c.U16();
  if (version != 0x0600 && !(version == 0 && bof.size >= 16)) {
    biff::ThrowUnsupported("only Excel 97-2003 (BIFF8) workbooks can be saved");
  }
  if (type != biff::kGlobalsSubstream)
    biff::ThrowUnsupported("workbook without a globals substream");
  for (const Record& r : globals.records) {
    if (r.id == biff::kFilePass) throw BookError(std::string(kEncrypted) + "（FILEPASS）");
  }
}

}  // namespace

std::string PatchXlsStream(std::string_view stream, const std::vector<XlsSheetWrites>& sheets) {
  Substream globals;
  biff::ReadSubstream(stream, 0, &globals);
  CheckBiff8(stream, globals);

  // Every substream that BOUNDSHEET points at, in stream order.
  std::vector<std::uint32_t> starts;
  for (const Record& r : globals.records) {
    if (r.id != biff::kBoundSheet) continue;
    if (r.size < 6) biff::ThrowRecordError(r.id, r.offset, "shorter than 6 bytes");
    starts.push_back(RecordCursor(stream, r).U32());
  }
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());

  XlsSharedStrings sst;
  for (std::size_t i = 0; i < globals.records.size(); ++i) {
    if (globals.records[i].id == biff::kSst) {
      sst.Read(stream, globals.records, i);
      break;
    }
  }

  const Record& globals_eof = globals.records.back();
  std::uint32_t pos = globals_eof.payload_offset() + globals_eof.size;
  std::vector<Chunk> chunks;
  for (std::uint32_t start : starts) {
    if (start < pos) {
      biff::ThrowUnsupported("sheet substreams overlap at offset " + biff::Hex(start));
    }
    if (start > pos) {
      Chunk gap;
      gap.old_offset = pos;
      gap.raw = std::string(stream.substr(pos, start - pos));
      chunks.push_back(std::move(gap));
    }
    Substream sub;
    biff::ReadSubstream(stream, start, &sub);
    sst.CountUses(stream, sub.records);
    Chunk chunk;
    chunk.old_offset = start;
    const XlsSheetWrites* writes = nullptr;
    for (const XlsSheetWrites& w : sheets) {
      if (w.bof_offset == start) writes = &w;
    }
    if (writes) {
      chunk.records = RewriteSheet(stream, sub, sst, writes->cells);
    } else {
      for (const Record& r : sub.records) chunk.records.push_back(Copy(stream, r));
    }
    SizeIndex(chunk.records);
    const Record& eof = sub.records.back();
    pos = eof.payload_offset() + eof.size;
    chunks.push_back(std::move(chunk));
  }
  for (const XlsSheetWrites& w : sheets) {
    if (!std::binary_search(starts.begin(), starts.end(), w.bof_offset)) {
      biff::ThrowUnsupported("no sheet at offset " + biff::Hex(w.bof_offset));
    }
  }
  if (pos < stream.size()) {
    Chunk tail;
    tail.old_offset = pos;
    tail.raw = std::string(stream.substr(pos));
    chunks.push_back(std::move(tail));
  }

  // Strings no cell uses any more go, so that a workbook filled again and again keeps its size.
  std::vector<std::vector<OutRecord>*> substreams;
  for (Chunk& c : chunks) substreams.push_back(&c.records);
  sst.Collect(substreams);

  // Globals: the string table rebuilt, the recalculation id cleared (inserted when missing),
  // everything else as it was.
  std::vector<biff::SstBucket> buckets;
  std::vector<OutRecord> sst_records;
  bool need_sst = sst.present() || sst.size() > 0;
  if (need_sst) sst_records = sst.Write(&buckets);
  OutRecord extsst{biff::kExtSst, {}};
  PutU16(extsst.payload, static_cast<std::uint32_t>(sst.strings_per_bucket()));
  extsst.payload.resize(2 + 8 * buckets.size(), '\0');
  OutRecord recalc{biff::kRecalcId, {}};
  PutU16(recalc.payload, biff::kRecalcId);
  PutU16(recalc.payload, 0);
  PutU32(recalc.payload, 0);  // older than any engine: recalculate every formula on open

  std::vector<OutRecord> g;
  std::size_t sst_at = SIZE_MAX;
  bool recalc_done = false, sst_done = false, extsst_done = false;
  auto put_recalc = [&] {
    if (!recalc_done) g.push_back(recalc);
    recalc_done = true;
  };
  auto put_sst = [&] {
    if (!sst_done && need_sst) {
      sst_at = g.size();
      g.insert(g.end(), sst_records.begin(), sst_records.end());
    }
    sst_done = true;
  };
  auto put_extsst = [&] {
    if (!extsst_done && need_sst) g.push_back(extsst);
    extsst_done = true;
  };
  bool has_recalc = false;
  for (const Record& r : globals.records) has_recalc = has_recalc || r.id == biff::kRecalcId;
  for (std::size_t i = 0; i < globals.records.size(); ++i) {
    const Record& r = globals.records[i];
    switch (r.id) {
      case biff::kRecalcId:
        put_recalc();
        continue;
      case biff::kSst:
        put_recalc();
        put_sst();
        while (i + 1 < globals.records.size() && globals.records[i + 1].id == biff::kContinue) ++i;
        continue;
      case biff::kExtSst:
        put_recalc();
        put_sst();
        put_extsst();
        continue;
      case biff::kHfPicture:
      case biff::kMsoDrawingGroup:
        if (!has_recalc) put_recalc();
        break;
      case biff::kWebPub:
      case biff::kCrErr:
      case biff::kBookExt:
      case biff::kFeatHdr:
      case biff::kDConn:
      case biff::kTheme:
      case biff::kCompressPictures:
      case biff::kCompat12:
      case biff::kGuidTypeLib:
      case biff::kEof:
        if (i > 0) {
          put_recalc();
          put_sst();
          put_extsst();
        }
        break;
      default:
        break;
    }
    g.push_back(Copy(stream, r));
  }

  return LayOutStream(g, sst_at, buckets, chunks);
}

void SaveXls(const std::string& path, const std::string& original, std::string_view stream,
             const std::vector<XlsSheetWrites>& sheets) {
  std::string patched = PatchXlsStream(stream, sheets);
  if (original.empty()) {
    WriteFileAtomically(path, patched);
  } else {
    // The stream the reader took: "Workbook", or "Book" where some writers put BIFF8 too.
    bool workbook = Ole2Container(original).Find("Workbook") >= 0;
    WriteFileAtomically(path, ReplaceOle2Stream(original, workbook ? "Workbook" : "Book", patched));
  }
}

}  // namespace ledgerix::engine
