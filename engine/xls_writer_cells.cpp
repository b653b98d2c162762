#include "engine/xls_writer_cells.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "engine/biff_cursor.h"
#include "engine/book.h"
#include "engine/xls_writer_layout.h"

namespace ledgerix::engine {
namespace {

using biff::Copy;
using biff::OutRecord;
using biff::PutU16;
using biff::PutU32;
using biff::Record;
using biff::RecordCursor;
using biff::SetU16;
using biff::SetU32;
using biff::Substream;

constexpr std::uint16_t kDefaultXf = 15;

bool IsCellRecord(std::uint16_t id) {
  switch (id) {
    case biff::kNumber:
    case biff::kRk:
    case biff::kMulRk:
    case biff::kMulBlank:
    case biff::kBlank:
    case biff::kLabelSst:
    case biff::kLabel:
    case biff::kRString:
    case biff::kBoolErr:
    case biff::kFormula:
    case biff::kFormula4:
      return true;
    default:
      return false;
  }
}

bool IsFollowUp(std::uint16_t id) {
  return id == biff::kString || id == biff::kShrFmla || id == biff::kArray || id == biff::kTable ||
         id == biff::kContinue;
}

// One cell record (or MULRK/MULBLANK run) with the records that belong to it (a formula's
// STRING, SHRFMLA, ARRAY, TABLE, CONTINUE), and records of other kinds found after it inside
// the cell table, which stay behind it.
struct CellEntry {
  std::uint16_t first = 0;
  std::uint16_t last = 0;
  std::vector<OutRecord> own;
  std::vector<OutRecord> foreign;
  bool anchors_shared = false;  // a formula carrying SHRFMLA, ARRAY or TABLE
  std::uint16_t id() const { return own.front().id; }
  std::uint16_t xf() const { return biff::Cursor(own.front()).U16At(4); }
};

struct RowEntry {
  bool has_record = false;
  OutRecord record{biff::kRow, {}};
  std::vector<OutRecord> foreign;
  std::map<std::uint16_t, CellEntry> cells;  // by first column
};

OutRecord CellRecord(std::uint16_t id, std::uint32_t row, std::uint32_t col, std::uint16_t xf) {
  OutRecord r{id, {}};
  PutU16(r.payload, row);
  PutU16(r.payload, col);
  PutU16(r.payload, xf);
  return r;
}

class SheetRewriter {
 public:
  SheetRewriter(std::string_view stream, const Substream& sub, XlsSharedStrings& sst)
      : stream_(stream), sub_(sub), sst_(sst) {}

  std::vector<OutRecord> Rewrite(const std::vector<XlsCellWrite>& writes) {
    FindTable();
    ReadTable();
    for (const XlsCellWrite& w : writes) Apply(w);
    std::vector<OutRecord> table = WriteTable();

    std::vector<OutRecord> out;
    int depth = 0;
    bool table_written = false;
    for (std::size_t i = 0; i < sub_.records.size(); ++i) {
      const Record& r = sub_.records[i];
      if (biff::IsBof(r.id)) ++depth;
      if (has_table_ && i >= table_first_ && i <= table_last_) {
        if (!table_written) {
          out.insert(out.end(), table.begin(), table.end());
          table_written = true;
        }
        continue;
      }
      OutRecord rec = Copy(stream_, r);
      if (depth == 1 && r.id == biff::kDimensions) rec.payload = Dimensions(rec.payload);
      if (depth == 1 && r.id == biff::kIndex && rec.payload.size() >= 16) {
        // The rows that the INDEX spans: first row, last row + 1.
        std::uint32_t first = rows_.empty() ? 0 : rows_.begin()->first;
        std::uint32_t last = rows_.empty() ? 0 : rows_.rbegin()->first + 1;
        SetU32(rec.payload, 4, first);
        SetU32(rec.payload, 8, last);
      }
      out.push_back(std::move(rec));
      if (r.id == biff::kEof) --depth;
      if (!has_table_ && !table_written && depth == 1 && r.id == biff::kDimensions) {
        out.insert(out.end(), table.begin(), table.end());
        table_written = true;
      }
    }
    if (!table_written && !table.empty()) {
      biff::ThrowUnsupported("worksheet without a DIMENSIONS record");
    }
    return out;
  }

 private:
  void FindTable() {
    int depth = 0;
    for (std::size_t i = 0; i < sub_.records.size(); ++i) {
      std::uint16_t id = sub_.records[i].id;
      if (biff::IsBof(id)) ++depth;
      if (depth == 1) {
        if (id == biff::kRow || id == biff::kDbCell || IsCellRecord(id)) {
          if (!has_table_) table_first_ = i;
          has_table_ = true;
          table_last_ = i;
        }
        if (id == biff::kIndex || id == biff::kDbCell) with_dbcells_ = true;
        if (id == biff::kDefaultRowHeight && sub_.records[i].size >= 4) {
          default_height_ = RecordCursor(stream_, sub_.records[i]).U16At(2);
        }
        if (id == biff::kColInfo && sub_.records[i].size >= 10) {
          col_infos_.push_back(Copy(stream_, sub_.records[i]));
        }
      }
      if (id == biff::kEof) --depth;
    }
    while (has_table_ && table_last_ + 1 < sub_.records.size() &&
           IsFollowUp(sub_.records[table_last_ + 1].id)) {
      ++table_last_;
    }
  }

  void ReadTable() {
    if (!has_table_) return;
    std::vector<OutRecord>* foreign = &leading_;
    CellEntry* owner = nullptr;  // takes follow-up records
    for (std::size_t i = table_first_; i <= table_last_; ++i) {
      const Record& r = sub_.records[i];
      if (biff::IsBof(r.id)) {
        // An embedded substream inside the cell table travels with the record before it.
        Substream nested;
        biff::ReadSubstream(stream_, r.offset, &nested);
        for (const Record& n : nested.records) foreign->push_back(Copy(stream_, n));
        i += nested.records.size() - 1;
        table_last_ = std::max(table_last_, i);
        owner = nullptr;
        continue;
      }
      OutRecord rec = Copy(stream_, r);
      if (r.id == biff::kRow) {
        if (rec.payload.size() < 16)
          biff::ThrowRecordError(r.id, r.offset, "shorter than 16 bytes");
        RowEntry& row = rows_[biff::Cursor(rec).U16()];
        row.has_record = true;
        row.record = std::move(rec);
        foreign = &row.foreign;
        owner = nullptr;
      } else if (r.id == biff::kDbCell) {
        owner = nullptr;  // rebuilt
      } else if (IsCellRecord(r.id)) {
        if (rec.payload.size() < 6) biff::ThrowRecordError(r.id, r.offset, "too short");
        CellEntry e;
        RecordCursor c = biff::Cursor(rec);
        std::uint16_t row = c.U16();
        e.first = c.U16();
        e.last = e.first;
        if (r.id == biff::kMulRk || r.id == biff::kMulBlank) {
          std::size_t width = r.id == biff::kMulRk ? 6 : 2;
          if (rec.payload.size() < 6 + width || (rec.payload.size() - 6) % width != 0) {
            biff::ThrowRecordError(r.id, r.offset, "length does not fit its cells");
          }
          e.last = static_cast<std::uint16_t>(e.first + (rec.payload.size() - 6) / width - 1);
        }
        e.own.push_back(std::move(rec));
        CellEntry& placed = Place(rows_[row], row, std::move(e));
        owner = &placed;
        foreign = &placed.foreign;
      } else if (owner && IsFollowUp(r.id)) {
        if (r.id == biff::kShrFmla || r.id == biff::kArray || r.id == biff::kTable)
          owner->anchors_shared = true;
        owner->own.push_back(std::move(rec));
      } else {
        foreign->push_back(std::move(rec));
        owner = nullptr;
      }
    }
  }

  static bool IsBlank(const CellEntry& e) {
    return e.id() == biff::kBlank || e.id() == biff::kMulBlank;
  }

  // Puts a cell record read from the table into its row. Some writers put a cell down twice;
  // as the reader takes it, a later record wins over earlier ones, except that a blank never
  // hides a value. Every cell keeps one record, so that a write cannot bring an overridden
  // value back. Returns the entry that takes the records following e.
  CellEntry& Place(RowEntry& row, std::uint32_t r, CellEntry e) {
    auto& cells = row.cells;
    {
      auto it = cells.upper_bound(e.last);
      // Entries never overlap, so when the one before last ends before first, none reaches it.
      if (it == cells.begin() || std::prev(it)->second.last < e.first) {
        return cells[e.first] = std::move(e);
      }
    }
    // Earlier runs over these cells become single cells, and so does e.
    std::vector<std::uint16_t> runs;
    auto it = cells.upper_bound(e.first);
    if (it != cells.begin() && std::prev(it)->second.last >= e.first) --it;
    for (; it != cells.end() && it->first <= e.last; ++it) {
      if (it->second.first != it->second.last) runs.push_back(it->first);
    }
    for (std::uint16_t key : runs) Split(row, cells.find(key), r);
    std::vector<CellEntry> singles;
    if (e.first == e.last) {
      singles.push_back(std::move(e));
    } else {
      RowEntry alone;
      std::uint16_t first = e.first;
      alone.cells[first] = std::move(e);
      Split(alone, alone.cells.begin(), r);
      for (auto& [col, cell] : alone.cells) singles.push_back(std::move(cell));
    }
    CellEntry* last = nullptr;
    for (CellEntry& single : singles) {
      auto it = cells.find(single.first);
      if (it != cells.end()) {
        if (IsBlank(single) && !IsBlank(it->second)) {
          last = &it->second;
          continue;
        }
        if (it->second.anchors_shared) {
          biff::ThrowUnsupported("cell " + FormatA1(r, it->first) +
                                 " has two records and the first holds a shared formula");
        }
        single.foreign = std::move(it->second.foreign);
      }
      CellEntry& placed = cells[single.first] = std::move(single);
      last = &placed;
    }
    return *last;
  }

  // Splits a MULRK or MULBLANK run into one RK or BLANK record per cell.
  void Split(RowEntry& row, std::map<std::uint16_t, CellEntry>::iterator it, std::uint32_t r) {
    CellEntry run = std::move(it->second);
    row.cells.erase(it);
    RecordCursor p = biff::Cursor(run.own.front());
    bool rk = run.id() == biff::kMulRk;
    for (std::uint32_t c = run.first; c <= run.last; ++c) {
      std::size_t at = 4 + (c - run.first) * (rk ? 6 : 2);
      CellEntry e;
      e.first = e.last = static_cast<std::uint16_t>(c);
      OutRecord rec = CellRecord(rk ? biff::kRk : biff::kBlank, r, c, p.U16At(at));
      if (rk) rec.payload.append(p.Bytes(4));
      e.own.push_back(std::move(rec));
      if (c == run.last) e.foreign = std::move(run.foreign);
      row.cells[e.first] = std::move(e);
    }
  }

  // A shared formula is stored after the formula of its first cell, and every cell that uses
  // it points there (PtgExp). When that cell becomes a value, the SHRFMLA moves behind the
  // next cell that uses it and every user points at the new home; with no user left it goes.
  // False for ARRAY and TABLE, which cannot be changed in part.
  bool MoveSharedFormula(std::uint32_t row, std::uint32_t col, const CellEntry& anchor) {
    std::vector<OutRecord> shared;
    for (std::size_t k = 1; k < anchor.own.size(); ++k) {
      if (anchor.own[k].id == biff::kArray || anchor.own[k].id == biff::kTable) return false;
      if (anchor.own[k].id == biff::kShrFmla) shared.push_back(anchor.own[k]);
    }
    CellEntry* home = nullptr;
    std::uint32_t home_row = 0, home_col = 0;
    for (auto r = rows_.lower_bound(row); r != rows_.end(); ++r) {
      for (auto& [first, cell] : r->second.cells) {
        if (r->first == row && first <= col) continue;
        OutRecord& formula = cell.own.front();
        // A formula whose whole expression is PtgExp pointing at (row, col).
        if (cell.id() != biff::kFormula && cell.id() != biff::kFormula4) continue;
        if (formula.payload.size() < 27) continue;
        RecordCursor p = biff::Cursor(formula);
        if (p.U8At(22) != 0x01 || p.U16() != row || p.U16() != col) continue;
        std::string& f = formula.payload;
        if (!home) {
          home = &cell;
          home_row = r->first;
          home_col = first;
        }
        SetU16(f, 23, home_row);
        SetU16(f, 25, home_col);
      }
    }
    if (home) {
      home->own.insert(home->own.begin() + 1, shared.begin(), shared.end());
      home->anchors_shared = true;
    }
    return true;
  }

  std::uint16_t DefaultXf(const RowEntry* row, std::uint32_t col) const {
    if (row && row->has_record) {
      // fGhostDirty: the row has a format of its own.
      RecordCursor c = biff::Cursor(row->record);
      if (c.U16At(12) & 0x0080) {
        return c.U16() & 0x0FFF;
      }
    }
    for (const OutRecord& info : col_infos_) {
      RecordCursor c = biff::Cursor(info);
      std::uint16_t first = c.U16(), last = c.U16();
      if (col >= first && col <= last) return c.U16At(6);
    }
    return kDefaultXf;
  }

  void Apply(const XlsCellWrite& w) {
    if (w.row >= kMaxXlsRows || w.col >= kMaxXlsCols) {
      biff::ThrowUnsupported("cell " + FormatA1(w.row, w.col) +
                             " lies outside the 65536 x 256 grid of .xls");
    }
    auto row_it = rows_.find(w.row);
    CellEntry* existing = nullptr;
    if (row_it != rows_.end()) {
      auto& cells = row_it->second.cells;
      auto it = cells.upper_bound(static_cast<std::uint16_t>(w.col));
      if (it != cells.begin()) {
        --it;
        if (it->second.last >= w.col) {
          if (it->second.first != it->second.last) {
            Split(row_it->second, it, w.row);
            it = cells.find(static_cast<std::uint16_t>(w.col));
          }
          existing = &it->second;
        }
      }
    }
    if (!existing && w.value.IsEmpty()) return;
    if (existing && existing->anchors_shared && !MoveSharedFormula(w.row, w.col, *existing)) {
      // As the spreadsheet application itself, which will not change part of an array.
      biff::ThrowUnsupported("cell " + FormatA1(w.row, w.col) +
                             " is part of an array or table formula");
    }
    std::uint16_t xf = existing
                           ? existing->xf()
                           : DefaultXf(row_it == rows_.end() ? nullptr : &row_it->second, w.col);

    OutRecord rec{0, {}};
    switch (w.value.type()) {
      case Variant::Type::Empty:
        rec = CellRecord(biff::kBlank, w.row, w.col, xf);
        break;
      case Variant::Type::Number: {
        double v = w.value.number();
        if (!std::isfinite(v)) {
          // A sheet cell cannot hold infinity or NaN; the application shows #NUM! instead.
          rec = CellRecord(biff::kBoolErr, w.row, w.col, xf);
          rec.payload.push_back(0x24);
          rec.payload.push_back(1);
          break;
        }
        rec = CellRecord(biff::kNumber, w.row, w.col, xf);
        char bytes[8];
        std::memcpy(bytes, &v, 8);
        rec.payload.append(bytes, 8);  // the host is little-endian, as the format
        break;
      }
      case Variant::Type::String:
        rec = CellRecord(biff::kLabelSst, w.row, w.col, xf);
        PutU32(rec.payload, sst_.Intern(w.value.string()));
        break;
      case Variant::Type::Boolean:
        rec = CellRecord(biff::kBoolErr, w.row, w.col, xf);
        rec.payload.push_back(w.value.boolean() ? 1 : 0);
        rec.payload.push_back(0);
        break;
      case Variant::Type::Error: {
        rec = CellRecord(biff::kBoolErr, w.row, w.col, xf);
        std::int32_t code = static_cast<std::int32_t>(w.value.error()) - 2000;
        // BIFF8 knows the classic seven and #GETTING_DATA; a later error would be a code
        // Excel 97-2003 cannot read.
        if (code < 0 || code > 0x2B || CellErrorText(w.value.error()).rfind("#ERR", 0) == 0) {
          biff::ThrowUnsupported("错误值 " + CellErrorText(w.value.error()) +
                                 " 无法保存到 .xls 文件");
        }
        rec.payload.push_back(static_cast<char>(code));
        rec.payload.push_back(1);
        break;
      }
    }
    RowEntry& row = rows_[w.row];
    if (existing) {
      existing->own.clear();
      existing->own.push_back(std::move(rec));
    } else {
      CellEntry e;
      e.first = e.last = static_cast<std::uint16_t>(w.col);
      e.own.push_back(std::move(rec));
      row.cells[e.first] = std::move(e);
      if (!row.has_record) {
        // A new row, laid out like the others: default height, no format of its own.
        row.has_record = true;
        row.record = OutRecord{biff::kRow, {}};
        std::string& p = row.record.payload;
        PutU16(p, w.row);
        PutU16(p, w.col);
        PutU16(p, w.col + 1);
        PutU16(p, default_height_);
        PutU32(p, 0);
        PutU16(p, 0x0100);
        PutU16(p, kDefaultXf);
      }
    }
    if (row.has_record) {
      RecordCursor c = biff::Cursor(row.record);
      std::uint32_t first = c.U16At(2), last = c.U16();
      std::string& p = row.record.payload;
      if (last <= first) {  // the row held no cells
        SetU16(p, 2, w.col);
        SetU16(p, 4, w.col + 1);
      } else {
        SetU16(p, 2, std::min(first, w.col));
        SetU16(p, 4, std::max(last, w.col + 1));
      }
    }
  }

  std::vector<OutRecord> WriteTable() const {
    std::vector<TableRow> rows;
    for (const auto& [number, entry] : rows_) {
      TableRow row;
      row.row = number;
      row.record = entry.has_record ? &entry.record : nullptr;
      row.after_row = &entry.foreign;
      for (const auto& [col, cell] : entry.cells) {
        row.cells.push_back(&cell.own);
        row.cells.push_back(&cell.foreign);
      }
      rows.push_back(std::move(row));
    }
    return LayOutCellTable(leading_, rows, with_dbcells_);
  }

  // DIMENSIONS over the cells of the rebuilt table: first row, last row + 1, first column,
  // last column + 1; all zero for a sheet without cells.
  std::string Dimensions(const std::string& old) const {
    if (old.size() < 12) return old;
    std::uint32_t r0 = kMaxXlsRows, r1 = 0, c0 = kMaxXlsCols, c1 = 0;
    for (const auto& [row, entry] : rows_) {
      for (const auto& [col, cell] : entry.cells) {
        r0 = std::min(r0, row);
        r1 = std::max(r1, row + 1);
        c0 = std::min<std::uint32_t>(c0, cell.first);
        c1 = std::max<std::uint32_t>(c1, cell.last + 1u);
      }
    }
    std::string p = old;
    if (r1 == 0) r0 = c0 = 0;
    SetU32(p, 0, r0);
    SetU32(p, 4, r1);
    SetU16(p, 8, c0);
    SetU16(p, 10, c1);
    return p;
  }

  std::string_view stream_;
  const Substream& sub_;
  XlsSharedStrings& sst_;
  bool has_table_ = false;
  std::size_t table_first_ = 0, table_last_ = 0;
  bool with_dbcells_ = false;
  std::uint16_t default_height_ = 0x00FF;
  std::vector<OutRecord> col_infos_;
  std::map<std::uint32_t, RowEntry> rows_;
  std::vector<OutRecord> leading_;  // other records before the first row (none in practice)
};

}  // namespace

std::vector<OutRecord> RewriteSheet(std::string_view stream, const Substream& sub,
                                    XlsSharedStrings& sst,
                                    const std::vector<XlsCellWrite>& writes) {
  return SheetRewriter(stream, sub, sst).Rewrite(writes);
}

}  // namespace ledgerix::engine
