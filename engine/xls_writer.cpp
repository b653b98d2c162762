#include "engine/xls_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <unordered_map>

#include "engine/biff_cursor.h"
#include "engine/biff_records.h"
#include "engine/book.h"
#include "engine/ole2_container.h"
#include "engine/ole2_out.h"

namespace ledgerix::engine {
namespace {

using biff::Record;
using biff::RecordCursor;
using biff::Substream;

// Record ids the writer handles beyond those the reader knows.
enum WriterRecordId : std::uint16_t {
  kArray = 0x0221,
  kColInfo = 0x007D,
  kDbCell = 0x00D7,
  kDefColWidth = 0x0055,
  kDefaultRowHeight = 0x0225,
  kDimensions = 0x0200,
  kExtSst = 0x00FF,
  kIndex = 0x020B,
  kRecalcId = 0x01C1,
  kRow = 0x0208,
  kShrFmla = 0x04BC,
  kTable = 0x0236,
  // Globals records that come after the string table; a new table goes before the first.
  kBookExt = 0x0863,
  kCompat12 = 0x088C,
  kCompressPictures = 0x089B,
  kCrErr = 0x0865,
  kDConn = 0x0876,
  kFeatHdr = 0x0867,
  kGuidTypeLib = 0x0897,
  kHfPicture = 0x0866,
  kMsoDrawingGroup = 0x00EB,
  kTheme = 0x0896,
  kWebPub = 0x0801,
};

constexpr std::size_t kMaxPayload = 8224;
constexpr std::uint32_t kBiff8Rows = 65536;
constexpr std::uint32_t kBiff8Cols = 256;
constexpr std::uint16_t kDefaultXf = 15;

struct OutRecord {
  std::uint16_t id;
  std::string payload;
};

void PutU16(std::string& s, std::uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void PutU32(std::string& s, std::uint32_t v) {
  PutU16(s, v & 0xFFFF);
  PutU16(s, v >> 16);
}
void SetU16(std::string& s, std::size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void SetU32(std::string& s, std::size_t at, std::uint32_t v) {
  SetU16(s, at, v & 0xFFFF);
  SetU16(s, at + 2, v >> 16);
}
std::uint16_t GetU16(std::string_view s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                    (static_cast<unsigned char>(s[at + 1]) << 8));
}
std::uint32_t GetU32(std::string_view s, std::size_t at) {
  return GetU16(s, at) | (std::uint32_t{GetU16(s, at + 2)} << 16);
}

OutRecord Copy(std::string_view stream, const Record& r) {
  return OutRecord{r.id, std::string(stream.substr(r.payload_offset(), r.size))};
}

bool IsBof(std::uint16_t id) {
  return id == biff::kBof || id == biff::kBof2 || id == biff::kBof3 || id == biff::kBof4;
}

[[noreturn]] void Unsupported(const std::string& what) {
  throw BookError(std::string(kUnsupported) + "（" + what + "）");
}

// UTF-8 to UTF-16 code units; a malformed sequence becomes U+FFFD.
std::u16string Utf16(std::string_view text) {
  std::u16string out;
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t len = b < 0x80         ? 1
                      : (b >> 5) == 6  ? 2
                      : (b >> 4) == 14 ? 3
                      : (b >> 3) == 30 ? 4
                                       : 0;
    if (len == 0 || i + len > text.size()) {
      ++i;
    } else {
      cp = len == 1 ? b : b & (0x7F >> len);
      bool ok = true;
      for (std::size_t k = 1; k < len; ++k) {
        unsigned char c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) ok = false;
        cp = (cp << 6) | (c & 0x3F);
      }
      if (!ok || cp > 0x10FFFF) cp = 0xFFFD;
      i += ok ? len : 1;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf8(const std::u16string& units) {
  std::string le;
  for (char16_t u : units) PutU16(le, u);
  std::string out;
  biff::AppendUtf16Le(le.data(), units.size(), &out);
  return out;
}

// --- Shared string table ------------------------------------------------------------------

struct SstEntry {
  std::u16string chars;
  bool high_byte = false;
  std::string runs;      // 4 bytes per formatting run
  std::string phonetic;  // the extended (phonetic) data, as stored
};

// Reads an SST record and its CONTINUE records, segment by segment, keeping each string's
// parts so that it can be laid out again over new record boundaries.
class SstReader {
 public:
  SstReader(std::string_view stream, const std::vector<Record>& records, std::size_t first)
      : stream_(stream), records_(records), index_(first) {
    segment_ = stream.substr(records[first].payload_offset(), records[first].size);
  }
  bool AtEnd() {
    while (pos_ == segment_.size()) {
      if (!Next()) return true;
    }
    return false;
  }
  std::uint8_t U8() { return static_cast<std::uint8_t>(Raw(1)[0]); }
  std::uint16_t U16() { return GetU16(Raw(2), 0); }
  std::uint32_t U32() { return GetU32(Raw(4), 0); }
  // n bytes that may run on over record boundaries.
  std::string Raw(std::size_t n) {
    std::string out;
    while (out.size() < n) {
      if (pos_ == segment_.size() && !Next()) Fail("string table ends inside a string");
      std::size_t k = std::min(n - out.size(), segment_.size() - pos_);
      out.append(segment_.substr(pos_, k));
      pos_ += k;
    }
    return out;
  }
  // count characters; each CONTINUE restarts them with a fresh option byte.
  void Chars(std::size_t count, bool high, SstEntry* entry) {
    entry->high_byte = high;
    while (count > 0) {
      if (pos_ == segment_.size()) {
        if (!Next()) Fail("string table ends inside a string");
        if (segment_.empty()) continue;
        high = (static_cast<unsigned char>(segment_[0]) & 0x01) != 0;
        entry->high_byte = entry->high_byte || high;
        pos_ = 1;
        continue;
      }
      std::size_t width = high ? 2 : 1;
      std::size_t k = std::min(count, (segment_.size() - pos_) / width);
      if (k == 0) {
        // As the reader: a lone byte at the end of a record cannot hold a 16-bit character.
        pos_ = segment_.size();
        continue;
      }
      for (std::size_t i = 0; i < k; ++i) {
        entry->chars.push_back(
            static_cast<char16_t>(high ? GetU16(segment_, pos_ + 2 * i)
                                       : static_cast<unsigned char>(segment_[pos_ + i])));
      }
      pos_ += k * width;
      count -= k;
    }
  }
  [[noreturn]] void Fail(std::string_view what) const {
    biff::ThrowRecordError(records_[index_].id, records_[index_].offset, what);
  }
  std::size_t next_record() const { return index_ + 1; }

 private:
  bool Next() {
    if (index_ + 1 >= records_.size() || records_[index_ + 1].id != biff::kContinue) return false;
    ++index_;
    segment_ = stream_.substr(records_[index_].payload_offset(), records_[index_].size);
    pos_ = 0;
    return true;
  }
  std::string_view stream_;
  const std::vector<Record>& records_;
  std::size_t index_;
  std::string_view segment_;
  std::size_t pos_ = 0;
};

class SharedStrings {
 public:
  // Reads the table at records[index]; returns the index of the first record after it.
  std::size_t Read(std::string_view stream, const std::vector<Record>& records, std::size_t index) {
    present_ = true;
    SstReader r(stream, records, index);
    total_ = r.U32();
    std::uint32_t unique = r.U32();
    while (!r.AtEnd()) {
      try {
        SstEntry e;
        std::size_t count = r.U16();
        std::uint8_t flags = r.U8();
        std::size_t runs = (flags & 0x08) ? r.U16() : 0;
        std::uint32_t phonetic = (flags & 0x04) ? r.U32() : 0;
        r.Chars(count, (flags & 0x01) != 0, &e);
        e.runs = r.Raw(runs * 4);
        e.phonetic = r.Raw(phonetic);
        Add(std::move(e));
      } catch (const BookError&) {
        // As the reader: bytes after the announced strings are padding.
        if (entries_.size() < unique) throw;
        break;
      }
    }
    return r.next_record();
  }

  bool present() const { return present_; }
  std::size_t size() const { return entries_.size(); }

  // The index of text, added as a plain string when the table does not hold it yet.
  std::uint32_t Intern(const std::string& text) {
    auto it = plain_.find(text);
    if (it != plain_.end()) return it->second;
    SstEntry e;
    e.chars = Utf16(text);
    if (e.chars.size() > 32767) Unsupported("text longer than 32767 characters");
    for (char16_t c : e.chars) e.high_byte = e.high_byte || c > 0xFF;
    Add(std::move(e));
    return static_cast<std::uint32_t>(entries_.size() - 1);
  }
  void CountReference(int delta) { references_ += delta; }

  struct Bucket {
    std::size_t record;  // index among the records of Write()
    std::size_t offset;  // of the bucket's first string within that record's payload
  };
  // The SST record and its CONTINUE records; buckets for EXTSST, one per strings_per_bucket().
  std::vector<OutRecord> Write(std::vector<Bucket>* buckets) const {
    std::vector<OutRecord> out;
    out.push_back(OutRecord{biff::kSst, {}});
    std::int64_t total = static_cast<std::int64_t>(total_) + references_;
    total = std::max<std::int64_t>(total, 0);
    PutU32(out.back().payload,
           static_cast<std::uint32_t>(std::min<std::int64_t>(total, 0xFFFFFFFF)));
    PutU32(out.back().payload, static_cast<std::uint32_t>(entries_.size()));
    auto room = [&] { return kMaxPayload - out.back().payload.size(); };
    auto next = [&] { out.push_back(OutRecord{biff::kContinue, {}}); };
    std::size_t per_bucket = strings_per_bucket();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const SstEntry& e = entries_[i];
      bool high = e.high_byte;
      std::size_t width = high ? 2 : 1;
      std::size_t header = 3 + (e.runs.empty() ? 0 : 2) + (e.phonetic.empty() ? 0 : 4);
      if (room() < header + (e.chars.empty() ? 0 : width)) next();
      if (i % per_bucket == 0)
        buckets->push_back(Bucket{out.size() - 1, out.back().payload.size()});
      std::string& p0 = out.back().payload;
      PutU16(p0, static_cast<std::uint32_t>(e.chars.size()));
      p0.push_back(static_cast<char>((high ? 0x01 : 0) | (e.phonetic.empty() ? 0 : 0x04) |
                                     (e.runs.empty() ? 0 : 0x08)));
      if (!e.runs.empty()) PutU16(p0, static_cast<std::uint32_t>(e.runs.size() / 4));
      if (!e.phonetic.empty()) PutU32(p0, static_cast<std::uint32_t>(e.phonetic.size()));
      std::size_t done = 0;
      while (done < e.chars.size()) {
        if (room() < width) {
          next();
          out.back().payload.push_back(static_cast<char>(high ? 0x01 : 0x00));
        }
        std::size_t k = std::min(e.chars.size() - done, room() / width);
        std::string& p = out.back().payload;
        for (std::size_t j = 0; j < k; ++j) {
          char16_t c = e.chars[done + j];
          if (high) {
            PutU16(p, c);
          } else {
            p.push_back(static_cast<char>(c & 0xFF));
          }
        }
        done += k;
      }
      for (std::size_t j = 0; j < e.runs.size(); j += 4) {
        if (room() < 4) next();
        out.back().payload.append(e.runs, j, 4);
      }
      done = 0;
      while (done < e.phonetic.size()) {
        if (room() == 0) next();
        std::size_t k = std::min(e.phonetic.size() - done, room());
        out.back().payload.append(e.phonetic, done, k);
        done += k;
      }
    }
    return out;
  }
  // Excel's own choice: at least 8 strings per bucket, at most 128 buckets.
  std::size_t strings_per_bucket() const {
    return std::max<std::size_t>(8, (entries_.size() + 127) / 128);
  }

 private:
  void Add(SstEntry e) {
    if (e.runs.empty() && e.phonetic.empty()) {
      plain_.emplace(Utf8(e.chars), static_cast<std::uint32_t>(entries_.size()));
    }
    entries_.push_back(std::move(e));
  }
  bool present_ = false;
  std::uint32_t total_ = 0;
  std::int64_t references_ = 0;
  std::vector<SstEntry> entries_;
  std::unordered_map<std::string, std::uint32_t> plain_;
};

// --- Cell table of a written sheet ---------------------------------------------------------

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
  return id == biff::kString || id == kShrFmla || id == kArray || id == kTable ||
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
  std::uint16_t xf() const { return GetU16(own.front().payload, 4); }
};

struct RowEntry {
  bool has_record = false;
  OutRecord record{kRow, {}};
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
  SheetRewriter(std::string_view stream, const Substream& sub, SharedStrings& sst)
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
      if (IsBof(r.id)) ++depth;
      if (has_table_ && i >= table_first_ && i <= table_last_) {
        if (!table_written) {
          out.insert(out.end(), table.begin(), table.end());
          table_written = true;
        }
        continue;
      }
      OutRecord rec = Copy(stream_, r);
      if (depth == 1 && r.id == kDimensions) rec.payload = Dimensions(rec.payload);
      if (depth == 1 && r.id == kIndex && rec.payload.size() >= 16) {
        // The rows that the INDEX spans: first row, last row + 1.
        std::uint32_t first = rows_.empty() ? 0 : rows_.begin()->first;
        std::uint32_t last = rows_.empty() ? 0 : rows_.rbegin()->first + 1;
        SetU32(rec.payload, 4, first);
        SetU32(rec.payload, 8, last);
      }
      out.push_back(std::move(rec));
      if (r.id == biff::kEof) --depth;
      if (!has_table_ && !table_written && depth == 1 && r.id == kDimensions) {
        out.insert(out.end(), table.begin(), table.end());
        table_written = true;
      }
    }
    if (!table_written && !table.empty()) {
      Unsupported("worksheet without a DIMENSIONS record");
    }
    return out;
  }

 private:
  void FindTable() {
    int depth = 0;
    for (std::size_t i = 0; i < sub_.records.size(); ++i) {
      std::uint16_t id = sub_.records[i].id;
      if (IsBof(id)) ++depth;
      if (depth == 1) {
        if (id == kRow || id == kDbCell || IsCellRecord(id)) {
          if (!has_table_) table_first_ = i;
          has_table_ = true;
          table_last_ = i;
        }
        if (id == kIndex || id == kDbCell) with_dbcells_ = true;
        if (id == kDefaultRowHeight && sub_.records[i].size >= 4) {
          default_height_ = GetU16(Copy(stream_, sub_.records[i]).payload, 2);
        }
        if (id == kColInfo && sub_.records[i].size >= 10) {
          col_infos_.push_back(Copy(stream_, sub_.records[i]).payload);
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
      if (IsBof(r.id)) {
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
      if (r.id == kRow) {
        if (rec.payload.size() < 16)
          biff::ThrowRecordError(r.id, r.offset, "shorter than 16 bytes");
        RowEntry& row = rows_[GetU16(rec.payload, 0)];
        row.has_record = true;
        row.record = std::move(rec);
        foreign = &row.foreign;
        owner = nullptr;
      } else if (r.id == kDbCell) {
        owner = nullptr;  // rebuilt
      } else if (IsCellRecord(r.id)) {
        if (rec.payload.size() < 6) biff::ThrowRecordError(r.id, r.offset, "too short");
        CellEntry e;
        std::uint16_t row = GetU16(rec.payload, 0);
        e.first = GetU16(rec.payload, 2);
        e.last = e.first;
        if (r.id == biff::kMulRk || r.id == biff::kMulBlank) {
          std::size_t width = r.id == biff::kMulRk ? 6 : 2;
          if (rec.payload.size() < 6 + width || (rec.payload.size() - 6) % width != 0) {
            biff::ThrowRecordError(r.id, r.offset, "length does not fit its cells");
          }
          e.last = static_cast<std::uint16_t>(e.first + (rec.payload.size() - 6) / width - 1);
        }
        e.own.push_back(std::move(rec));
        CellEntry& placed = rows_[row].cells[e.first] = std::move(e);
        owner = &placed;
        foreign = &placed.foreign;
      } else if (owner && IsFollowUp(r.id)) {
        if (r.id == kShrFmla || r.id == kArray || r.id == kTable) owner->anchors_shared = true;
        owner->own.push_back(std::move(rec));
      } else {
        foreign->push_back(std::move(rec));
        owner = nullptr;
      }
    }
  }

  // Splits a MULRK or MULBLANK run into one RK or BLANK record per cell.
  void Split(RowEntry& row, std::map<std::uint16_t, CellEntry>::iterator it, std::uint32_t r) {
    CellEntry run = std::move(it->second);
    row.cells.erase(it);
    const std::string& p = run.own.front().payload;
    bool rk = run.id() == biff::kMulRk;
    for (std::uint32_t c = run.first; c <= run.last; ++c) {
      std::size_t at = 4 + (c - run.first) * (rk ? 6 : 2);
      CellEntry e;
      e.first = e.last = static_cast<std::uint16_t>(c);
      OutRecord rec = CellRecord(rk ? biff::kRk : biff::kBlank, r, c, GetU16(p, at));
      if (rk) rec.payload.append(p, at + 2, 4);
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
      if (anchor.own[k].id == kArray || anchor.own[k].id == kTable) return false;
      if (anchor.own[k].id == kShrFmla) shared.push_back(anchor.own[k]);
    }
    CellEntry* home = nullptr;
    std::uint32_t home_row = 0, home_col = 0;
    for (auto r = rows_.lower_bound(row); r != rows_.end(); ++r) {
      for (auto& [first, cell] : r->second.cells) {
        if (r->first == row && first <= col) continue;
        std::string& p = cell.own.front().payload;
        bool uses = (cell.id() == biff::kFormula || cell.id() == biff::kFormula4) &&
                    p.size() >= 27 && static_cast<unsigned char>(p[22]) == 0x01 &&
                    GetU16(p, 23) == row && GetU16(p, 25) == col;
        if (!uses) continue;
        if (!home) {
          home = &cell;
          home_row = r->first;
          home_col = first;
        }
        SetU16(p, 23, home_row);
        SetU16(p, 25, home_col);
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
      if (GetU16(row->record.payload, 12) & 0x0080) {
        return GetU16(row->record.payload, 14) & 0x0FFF;
      }
    }
    for (const std::string& info : col_infos_) {
      if (col >= GetU16(info, 0) && col <= GetU16(info, 2)) return GetU16(info, 6);
    }
    return kDefaultXf;
  }

  void Apply(const XlsCellWrite& w) {
    if (w.row >= kBiff8Rows || w.col >= kBiff8Cols) {
      Unsupported("cell " + FormatA1(w.row, w.col) + " lies outside the 65536 x 256 grid of .xls");
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
      Unsupported("cell " + FormatA1(w.row, w.col) + " is part of an array or table formula");
    }
    std::uint16_t xf = existing
                           ? existing->xf()
                           : DefaultXf(row_it == rows_.end() ? nullptr : &row_it->second, w.col);
    if (existing && existing->id() == biff::kLabelSst) sst_.CountReference(-1);

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
        sst_.CountReference(1);
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
          Unsupported("错误值 " + CellErrorText(w.value.error()) + " 无法保存到 .xls 文件");
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
        row.record = OutRecord{kRow, {}};
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
      std::string& p = row.record.payload;
      if (GetU16(p, 4) <= GetU16(p, 2)) {  // the row held no cells
        SetU16(p, 2, w.col);
        SetU16(p, 4, w.col + 1);
      } else {
        SetU16(p, 2, std::min<std::uint32_t>(GetU16(p, 2), w.col));
        SetU16(p, 4, std::max<std::uint32_t>(GetU16(p, 4), w.col + 1));
      }
    }
  }

  // Rows in blocks of 32 (by row number, as Excel lays them out): the block's ROW records,
  // then its cells, then a DBCELL pointing back at them when the sheet keeps DBCELLs.
  std::vector<OutRecord> WriteTable() {
    std::vector<OutRecord> out = leading_;
    auto size_of = [](const std::vector<OutRecord>& recs) {
      std::size_t n = 0;
      for (const OutRecord& r : recs) n += 4 + r.payload.size();
      return n;
    };
    auto it = rows_.begin();
    while (it != rows_.end()) {
      std::uint32_t block = it->first / 32;
      auto end = it;
      while (end != rows_.end() && end->first / 32 == block) ++end;
      std::size_t block_start = 0;
      for (const OutRecord& r : out) block_start += 4 + r.payload.size();
      std::size_t pos = block_start;
      std::size_t first_row_end = 0;
      bool first_row = true;
      for (auto r = it; r != end; ++r) {
        if (!r->second.has_record) continue;
        out.push_back(r->second.record);
        pos += 4 + r->second.record.payload.size();
        if (first_row) first_row_end = pos;
        first_row = false;
        out.insert(out.end(), r->second.foreign.begin(), r->second.foreign.end());
        pos += size_of(r->second.foreign);
      }
      if (first_row) first_row_end = pos;
      std::string offsets;
      std::size_t previous = first_row_end;
      for (auto r = it; r != end; ++r) {
        if (r->second.has_record) {
          PutU16(offsets,
                 static_cast<std::uint32_t>(std::min<std::size_t>(pos - previous, 0xFFFF)));
          previous = pos;
        }
        for (auto& [col, cell] : r->second.cells) {
          out.insert(out.end(), cell.own.begin(), cell.own.end());
          out.insert(out.end(), cell.foreign.begin(), cell.foreign.end());
          pos += size_of(cell.own) + size_of(cell.foreign);
        }
      }
      if (with_dbcells_ && !first_row) {  // a DBCELL points back at a ROW
        OutRecord db{kDbCell, {}};
        PutU32(db.payload, static_cast<std::uint32_t>(pos - block_start));
        db.payload += offsets;
        out.push_back(std::move(db));
      }
      it = end;
    }
    return out;
  }

  // DIMENSIONS over the cells of the rebuilt table: first row, last row + 1, first column,
  // last column + 1; all zero for a sheet without cells.
  std::string Dimensions(const std::string& old) const {
    if (old.size() < 12) return old;
    std::uint32_t r0 = kBiff8Rows, r1 = 0, c0 = kBiff8Cols, c1 = 0;
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
  SharedStrings& sst_;
  bool has_table_ = false;
  std::size_t table_first_ = 0, table_last_ = 0;
  bool with_dbcells_ = false;
  std::uint16_t default_height_ = 0x00FF;
  std::vector<std::string> col_infos_;
  std::map<std::uint32_t, RowEntry> rows_;
  std::vector<OutRecord> leading_;  // other records before the first row (none in practice)
};

// --- The whole stream ---------------------------------------------------------------------

struct Chunk {
  std::uint32_t old_offset = 0;
  std::vector<OutRecord> records;  // a substream
  std::string raw;                 // or bytes between substreams, kept as they are
  std::uint32_t new_offset = 0;
  std::size_t size() const {
    std::size_t n = raw.size();
    for (const OutRecord& r : records) n += 4 + r.payload.size();
    return n;
  }
};

// Fills each depth-1 INDEX record of a substream laid out at base: the stream offsets of its
// DBCELL records and of DEFCOLWIDTH, and the span of its rows. The INDEX's own size follows
// the DBCELL count.
void SizeIndex(std::vector<OutRecord>& recs) {
  std::size_t dbcells = 0;
  for (const OutRecord& r : recs) dbcells += r.id == kDbCell;
  for (OutRecord& r : recs) {
    if (r.id == kIndex && r.payload.size() >= 16) r.payload.resize(16 + 4 * dbcells);
  }
}
void FillIndex(std::vector<OutRecord>& recs, std::uint32_t base) {
  std::vector<std::uint32_t> dbcells;
  std::uint32_t defcolwidth = 0;
  std::uint32_t pos = base;
  std::uint32_t first_row = kBiff8Rows, last_row = 0;  // the rows' span, last + 1
  for (const OutRecord& r : recs) {
    if (r.id == kRow && r.payload.size() >= 2) {
      first_row = std::min<std::uint32_t>(first_row, GetU16(r.payload, 0));
      last_row = std::max<std::uint32_t>(last_row, GetU16(r.payload, 0) + 1u);
    }
    if (r.id == kDbCell) dbcells.push_back(pos);
    if (r.id == kDefColWidth && defcolwidth == 0) defcolwidth = pos;
    pos += 4 + static_cast<std::uint32_t>(r.payload.size());
  }
  for (OutRecord& r : recs) {
    if (r.id != kIndex || r.payload.size() < 16) continue;
    if (last_row > 0) {  // new rows widen the span the INDEX announces
      bool empty = GetU32(r.payload, 8) == 0;
      SetU32(r.payload, 4, empty ? first_row : std::min(first_row, GetU32(r.payload, 4)));
      SetU32(r.payload, 8, std::max(last_row, GetU32(r.payload, 8)));
    }
    if (GetU32(r.payload, 12) != 0) SetU32(r.payload, 12, defcolwidth);
    for (std::size_t k = 0; k < dbcells.size(); ++k) SetU32(r.payload, 16 + 4 * k, dbcells[k]);
  }
}

void CheckBiff8(std::string_view stream, const Substream& globals) {
  const Record& bof = globals.records.front();
  if (bof.id != biff::kBof || bof.size < 8) Unsupported("not a BIFF8 workbook");
  RecordCursor c(stream, bof);
  std::uint16_t version = c.U16();
  std::uint16_t type = c.U16();
  if (version != 0x0600 && !(version == 0 && bof.size >= 16)) {
    Unsupported("only Excel 97-2003 (BIFF8) workbooks can be saved");
  }
  if (type != biff::kGlobalsSubstream) Unsupported("workbook without a globals substream");
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

  SharedStrings sst;
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
      Unsupported("sheet substreams overlap at offset " + biff::Hex(start));
    }
    if (start > pos) {
      Chunk gap;
      gap.old_offset = pos;
      gap.raw = std::string(stream.substr(pos, start - pos));
      chunks.push_back(std::move(gap));
    }
    Substream sub;
    biff::ReadSubstream(stream, start, &sub);
    Chunk chunk;
    chunk.old_offset = start;
    const XlsSheetWrites* writes = nullptr;
    for (const XlsSheetWrites& w : sheets) {
      if (w.bof_offset == start) writes = &w;
    }
    if (writes) {
      chunk.records = SheetRewriter(stream, sub, sst).Rewrite(writes->cells);
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
      Unsupported("no sheet at offset " + biff::Hex(w.bof_offset));
    }
  }
  if (pos < stream.size()) {
    Chunk tail;
    tail.old_offset = pos;
    tail.raw = std::string(stream.substr(pos));
    chunks.push_back(std::move(tail));
  }

  // Globals: the string table rebuilt, the recalculation id cleared (inserted when missing),
  // everything else as it was.
  std::vector<SharedStrings::Bucket> buckets;
  std::vector<OutRecord> sst_records;
  bool need_sst = sst.present() || sst.size() > 0;
  if (need_sst) sst_records = sst.Write(&buckets);
  OutRecord extsst{kExtSst, {}};
  PutU16(extsst.payload, static_cast<std::uint32_t>(sst.strings_per_bucket()));
  extsst.payload.resize(2 + 8 * buckets.size(), '\0');
  OutRecord recalc{kRecalcId, {}};
  PutU16(recalc.payload, kRecalcId);
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
  for (const Record& r : globals.records) has_recalc = has_recalc || r.id == kRecalcId;
  for (std::size_t i = 0; i < globals.records.size(); ++i) {
    const Record& r = globals.records[i];
    switch (r.id) {
      case kRecalcId:
        put_recalc();
        continue;
      case biff::kSst:
        put_recalc();
        put_sst();
        while (i + 1 < globals.records.size() && globals.records[i + 1].id == biff::kContinue) ++i;
        continue;
      case kExtSst:
        put_recalc();
        put_sst();
        put_extsst();
        continue;
      case kHfPicture:
      case kMsoDrawingGroup:
        if (!has_recalc) put_recalc();
        break;
      case kWebPub:
      case kCrErr:
      case kBookExt:
      case kFeatHdr:
      case kDConn:
      case kTheme:
      case kCompressPictures:
      case kCompat12:
      case kGuidTypeLib:
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

  // Layout, then every offset.
  std::uint32_t offset = 0;
  for (const OutRecord& r : g) offset += 4 + static_cast<std::uint32_t>(r.payload.size());
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
  for (OutRecord& r : g) {
    record_pos.push_back(p);
    p += 4 + static_cast<std::uint32_t>(r.payload.size());
    if (r.id == biff::kBoundSheet) SetU32(r.payload, 0, moved.at(GetU32(r.payload, 0)));
  }
  if (need_sst) {
    for (OutRecord& r : g) {
      if (r.id != kExtSst) continue;
      for (std::size_t b = 0; b < buckets.size(); ++b) {
        std::uint32_t record_start = record_pos[sst_at + buckets[b].record];
        SetU32(r.payload, 2 + 8 * b,
               record_start + 4 + static_cast<std::uint32_t>(buckets[b].offset));
        SetU16(r.payload, 6 + 8 * b, 4 + static_cast<std::uint32_t>(buckets[b].offset));
      }
    }
  }

  std::string out;
  out.reserve(offset);
  auto emit = [&](const OutRecord& r) {
    if (r.payload.size() > 0xFFFF) Unsupported("record too long");
    PutU16(out, r.id);
    PutU16(out, static_cast<std::uint32_t>(r.payload.size()));
    out += r.payload;
  };
  for (const OutRecord& r : g) emit(r);
  for (const Chunk& c : chunks) {
    for (const OutRecord& r : c.records) emit(r);
    out += c.raw;
  }
  // Excel wants the workbook stream out of the compound file's small-block area, which holds
  // streams under 4096 bytes; readers skip zeros after the last substream.
  if (out.size() < 4096) out.resize(4096, '\0');
  return out;
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
