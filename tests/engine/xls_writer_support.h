// Checks shared by the .xls writer's tests: the stream offsets a written workbook must keep
// consistent, every cell of a book as our reader sees it, and the same cells as xlrd sees them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/book.h"
#include "tests/outside_tools.h"

namespace ledgerix::engine::testing {

inline std::uint16_t Get16(std::string_view s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                    (static_cast<unsigned char>(s[at + 1]) << 8));
}
inline std::uint32_t Get32(std::string_view s, std::size_t at) {
  return Get16(s, at) | (std::uint32_t{Get16(s, at + 2)} << 16);
}

struct RawRecord {
  std::uint16_t id;
  std::uint32_t offset;
  std::string_view payload;
  int depth;  // 1 for the substream's own records
};

// The records from the BOF at start to its EOF; an empty list when they run off the stream.
inline std::vector<RawRecord> RawRecords(std::string_view stream, std::uint32_t start) {
  std::vector<RawRecord> out;
  int depth = 0;
  std::size_t pos = start;
  while (stream.size() - pos >= 4) {
    std::uint16_t id = Get16(stream, pos);
    std::uint16_t size = Get16(stream, pos + 2);
    if (stream.size() - pos - 4 < size) return {};
    if (id == 0x0809) ++depth;
    out.push_back(
        RawRecord{id, static_cast<std::uint32_t>(pos), stream.substr(pos + 4, size), depth});
    pos += 4 + size;
    if (id == 0x000A && --depth == 0) return out;
  }
  return {};
}

// The stream offset of the index-th sheet as BOUNDSHEET gives it; 0 when there is none.
inline std::uint32_t BoundSheetOffset(std::string_view stream, int index = 0) {
  int k = 0;
  for (const RawRecord& r : RawRecords(stream, 0)) {
    if (r.id == 0x0085 && k++ == index) return Get32(r.payload, 0);
  }
  return 0;
}

// One cell record's id and XF index, by row and column, over a sheet's depth-1 records.
struct CellFormat {
  std::uint16_t id = 0;
  std::uint16_t xf = 0;
};
inline std::map<std::pair<unsigned, unsigned>, CellFormat> CellFormats(
    const std::vector<RawRecord>& sheet) {
  std::map<std::pair<unsigned, unsigned>, CellFormat> out;
  for (const RawRecord& r : sheet) {
    if (r.depth != 1 || r.payload.size() < 6) continue;
    unsigned row = Get16(r.payload, 0), col = Get16(r.payload, 2);
    switch (r.id) {
      case 0x00BD:  // MULRK
      case 0x00BE: {
        std::size_t width = r.id == 0x00BD ? 6 : 2;
        for (std::size_t i = 0; 4 + i * width + 2 <= r.payload.size() - 2; ++i) {
          out[{row, col + static_cast<unsigned>(i)}] = {r.id, Get16(r.payload, 4 + i * width)};
        }
        break;
      }
      case 0x0203:
      case 0x027E:
      case 0x00FD:
      case 0x0204:
      case 0x0205:
      case 0x0201:
      case 0x0006:
        out[{row, col}] = {r.id, Get16(r.payload, 4)};
        break;
      default:
        break;
    }
  }
  return out;
}

inline bool IsCellRecordId(std::uint16_t id) {
  switch (id) {
    case 0x0201:
    case 0x0203:
    case 0x0204:
    case 0x0205:
    case 0x0006:
    case 0x00FD:
    case 0x027E:
    case 0x00BD:
    case 0x00BE:
      return true;
    default:
      return false;
  }
}

// The stream offset where each string of the SST starts (inside the SST or a CONTINUE record
// that follows it), walking characters split across CONTINUE records as readers do; false
// when the strings run off the records.
inline bool SstStringStarts(const std::vector<RawRecord>& globals, std::vector<std::uint32_t>* out,
                            std::uint32_t* unique) {
  std::vector<const RawRecord*> recs;
  for (std::size_t i = 0; i < globals.size(); ++i) {
    if (globals[i].id != 0x00FC) continue;
    recs.push_back(&globals[i]);
    for (std::size_t k = i + 1; k < globals.size() && globals[k].id == 0x003C; ++k) {
      recs.push_back(&globals[k]);
    }
    break;
  }
  if (recs.empty() || recs[0]->payload.size() < 8) return false;
  *unique = Get32(recs[0]->payload, 4);
  std::size_t rec = 0, pos = 8;
  auto next = [&] {
    ++rec;
    pos = 0;
    return rec < recs.size();
  };
  // n bytes that may go on in the next record.
  auto skip = [&](std::size_t n) {
    while (n > 0) {
      if (pos == recs[rec]->payload.size() && !next()) return false;
      std::size_t take = std::min(n, recs[rec]->payload.size() - pos);
      pos += take;
      n -= take;
    }
    return true;
  };
  auto byte = [&](std::uint32_t* v, std::size_t n) {
    *v = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (pos == recs[rec]->payload.size() && !next()) return false;
      *v |= std::uint32_t{static_cast<unsigned char>(recs[rec]->payload[pos++])} << (8 * i);
    }
    return true;
  };
  for (std::uint32_t i = 0; i < *unique; ++i) {
    if (pos == recs[rec]->payload.size() && !next()) return false;
    out->push_back(recs[rec]->offset + 4 + static_cast<std::uint32_t>(pos));
    std::uint32_t count, flags, runs = 0, ext = 0;
    if (!byte(&count, 2) || !byte(&flags, 1)) return false;
    if ((flags & 0x08) && !byte(&runs, 2)) return false;
    if ((flags & 0x04) && !byte(&ext, 4)) return false;
    std::size_t width = (flags & 0x01) ? 2 : 1;
    while (count > 0) {
      std::size_t room = (recs[rec]->payload.size() - pos) / width;
      std::size_t take = std::min<std::size_t>(count, room);
      pos += take * width;
      count -= static_cast<std::uint32_t>(take);
      if (count > 0) {  // the characters go on after a CONTINUE's own flags byte
        if (!next() || !byte(&flags, 1)) return false;
        width = (flags & 0x01) ? 2 : 1;
      }
    }
    if (!skip(4 * std::size_t{runs} + ext)) return false;
  }
  return true;
}

// What is wrong with the offsets and counts a BIFF8 stream holds: each BOUNDSHEET must point at
// a BOF, each EXTSST bucket at its first string inside an SST or CONTINUE record, the SST's total
// count must cover every LABELSST; in each sheet, each INDEX entry at a DBCELL (one entry per
// DBCELL) and its DEFCOLWIDTH field at a DEFCOLWIDTH, each DBCELL back at the block's first ROW and
// each of its cell offsets at the first cell of its row, each ROW's flags with the bit that must be
// set, and every cell inside DIMENSIONS; with_recalc, a RECALCID must ask for a full
// recalculation.
inline std::vector<std::string> OffsetProblems(std::string_view stream, bool with_recalc = true) {
  std::vector<std::string> problems;
  std::vector<RawRecord> globals = RawRecords(stream, 0);
  if (globals.empty()) return {"globals substream unreadable"};
  std::map<std::uint32_t, std::uint16_t> ids;  // record start -> id, globals
  std::vector<std::uint32_t> sheets;
  bool recalc = false;
  for (const RawRecord& r : globals) {
    ids[r.offset] = r.id;
    if (r.id == 0x0085) sheets.push_back(Get32(r.payload, 0));
    if (r.id == 0x01C1) recalc = Get32(r.payload, 4) == 0;
  }
  if (with_recalc && !recalc) problems.push_back("no RECALCID with dwBuild 0");
  std::uint32_t sst_total = 0;
  bool has_sst = false;
  for (const RawRecord& r : globals) {
    if (r.id == 0x00FC && r.payload.size() >= 8) {
      has_sst = true;
      sst_total = Get32(r.payload, 0);
    }
  }
  std::uint32_t labels = 0;
  for (std::uint32_t start : sheets) {
    for (const RawRecord& r : RawRecords(stream, start)) labels += r.depth == 1 && r.id == 0x00FD;
  }
  if (has_sst && sst_total < labels) {
    problems.push_back("SST counts " + std::to_string(sst_total) + " of " + std::to_string(labels) +
                       " LABELSST cells");
  }
  std::vector<std::uint32_t> starts;
  std::uint32_t unique = 0;
  bool strings_read = has_sst && SstStringStarts(globals, &starts, &unique);
  if (has_sst && !strings_read) problems.push_back("SST strings run off their records");
  for (const RawRecord& r : globals) {
    if (r.id != 0x00FF) continue;
    std::uint32_t per_bucket = r.payload.size() >= 2 ? Get16(r.payload, 0) : 0;
    for (std::size_t b = 2; b + 8 <= r.payload.size(); b += 8) {
      std::uint32_t ib = Get32(r.payload, b);
      auto it = ids.find(ib - Get16(r.payload, b + 4));
      if (it == ids.end() || (it->second != 0x00FC && it->second != 0x003C)) {
        problems.push_back("EXTSST bucket at " + std::to_string(ib));
        continue;
      }
      // Bucket k points at string k times the strings a bucket holds.
      std::size_t first = (b - 2) / 8 * per_bucket;
      if (strings_read && first < starts.size() && starts[first] != ib) {
        problems.push_back("EXTSST bucket " + std::to_string((b - 2) / 8) + " at " +
                           std::to_string(ib) + ", its string at " + std::to_string(starts[first]));
      }
    }
  }
  for (std::uint32_t start : sheets) {
    std::vector<RawRecord> sheet = RawRecords(stream, start);
    if (sheet.empty() || sheet.front().id != 0x0809) {
      problems.push_back("BOUNDSHEET offset " + std::to_string(start) + " is no substream");
      continue;
    }
    std::map<std::uint32_t, std::uint16_t> at;
    std::map<std::uint32_t, const RawRecord*> by_offset;
    for (const RawRecord& r : sheet) {
      at[r.offset] = r.id;
      by_offset[r.offset] = &r;
    }
    // The first cell record of each row, and the span the cells cover.
    std::map<unsigned, std::uint32_t> first_cell;
    unsigned r0 = ~0u, r1 = 0, c0 = ~0u, c1 = 0;
    for (const RawRecord& r : sheet) {
      if (r.depth != 1 || !IsCellRecordId(r.id) || r.payload.size() < 6) continue;
      unsigned row = Get16(r.payload, 0), col = Get16(r.payload, 2);
      unsigned last = col;
      if (r.id == 0x00BD || r.id == 0x00BE) last = Get16(r.payload, r.payload.size() - 2);
      if (!first_cell.count(row)) first_cell[row] = r.offset;
      r0 = std::min(r0, row);
      r1 = std::max(r1, row + 1);
      c0 = std::min(c0, col);
      c1 = std::max(c1, last + 1);
    }
    for (const RawRecord& r : sheet) {
      if (r.depth != 1) continue;
      if (r.id == 0x0208 && r.payload.size() >= 16 && (Get16(r.payload, 12) & 0x0100) == 0) {
        problems.push_back("ROW " + std::to_string(Get16(r.payload, 0)) + " flags " +
                           std::to_string(Get16(r.payload, 12)) + " lack 0x100");
      }
      if (r.id == 0x0200 && r.payload.size() >= 12 && r1 > 0 &&
          (r0 < Get32(r.payload, 0) || r1 > Get32(r.payload, 4) || c0 < Get16(r.payload, 8) ||
           c1 > Get16(r.payload, 10))) {
        problems.push_back("DIMENSIONS " + std::to_string(Get32(r.payload, 0)) + ":" +
                           std::to_string(Get32(r.payload, 4)) + " x " +
                           std::to_string(Get16(r.payload, 8)) + ":" +
                           std::to_string(Get16(r.payload, 10)) + " miss cells in rows " +
                           std::to_string(r0) + ":" + std::to_string(r1) + " columns " +
                           std::to_string(c0) + ":" + std::to_string(c1));
      }
    }
    std::size_t dbcells = 0;
    for (const RawRecord& r : sheet) {
      if (r.depth != 1 || r.id != 0x00D7) continue;
      ++dbcells;
      std::uint32_t first_row = r.offset - Get32(r.payload, 0);
      auto row = at.find(first_row);
      if (row == at.end() || row->second != 0x0208) {
        problems.push_back("DBCELL at " + std::to_string(r.offset) + " points at no ROW");
        continue;
      }
      // The block's ROW records follow one another; the first cell offset counts from the end
      // of the first ROW, each further one from the previous row's first cell.
      std::vector<unsigned> rows;
      std::uint32_t pos = first_row;
      for (auto it = by_offset.find(first_row); it != by_offset.end() && it->second->id == 0x0208;
           ++it) {
        rows.push_back(Get16(it->second->payload, 0));
        if (rows.size() == 1)
          pos = it->first + 4 + static_cast<std::uint32_t>(it->second->payload.size());
      }
      std::size_t n = (r.payload.size() - 4) / 2;
      if (n != rows.size()) {
        problems.push_back("DBCELL at " + std::to_string(r.offset) + " has " + std::to_string(n) +
                           " cell offsets for " + std::to_string(rows.size()) + " ROWs");
      }
      for (std::size_t k = 0; k < n && k < rows.size(); ++k) {
        pos += Get16(r.payload, 4 + 2 * k);
        auto cell = first_cell.find(rows[k]);
        if (cell != first_cell.end() && cell->second != pos) {
          problems.push_back("DBCELL at " + std::to_string(r.offset) + " cell offset " +
                             std::to_string(k) + " reaches " + std::to_string(pos) + ", row " +
                             std::to_string(rows[k]) + " starts at " +
                             std::to_string(cell->second));
          break;
        }
      }
    }
    for (const RawRecord& r : sheet) {
      if (r.depth != 1 || r.id != 0x020B) continue;
      if ((r.payload.size() - 16) / 4 != dbcells) {
        problems.push_back("INDEX at " + std::to_string(r.offset) + " counts " +
                           std::to_string((r.payload.size() - 16) / 4) + " of " +
                           std::to_string(dbcells) + " DBCELLs");
      }
      std::uint32_t defcolwidth = Get32(r.payload, 12);
      auto dcw = at.find(defcolwidth);
      if (defcolwidth != 0 && (dcw == at.end() || dcw->second != 0x0055)) {
        problems.push_back("INDEX DEFCOLWIDTH field " + std::to_string(defcolwidth));
      }
      for (std::size_t k = 16; k + 4 <= r.payload.size(); k += 4) {
        auto db = at.find(Get32(r.payload, k));
        if (db == at.end() || db->second != 0x00D7) {
          problems.push_back("INDEX entry " + std::to_string(Get32(r.payload, k)));
        }
      }
    }
  }
  return problems;
}

// sheet name -> A1 address -> value.
using BookCells = std::map<std::string, std::map<std::string, Variant>>;

inline BookCells AllCells(Book& book) {
  BookCells out;
  for (int i = 0; i < static_cast<int>(book.sheets().size()); ++i) {
    auto& sheet = out[book.sheets()[static_cast<std::size_t>(i)].name];
    book.Cells(i).ForEach([&](std::uint32_t row, std::uint32_t col, const Variant& v) {
      sheet[FormatA1(row, col)] = v;
    });
  }
  return out;
}

inline std::string FromHex(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

// The cells of each file as xlrd reads them (python3-xlrd); a file xlrd rejects maps to an
// entry holding only the sheet "!error" with the message in A1.
inline std::map<std::string, BookCells> XlrdCells(const std::vector<std::string>& paths) {
  std::string command =
      "/usr/bin/python3 '" + std::string(LEDGERIX_TEST_DATA) + "/xls_writer/xlrd_cells.py'";
  for (const std::string& p : paths) command += " '" + p + "'";
  std::map<std::string, BookCells> out;
  FILE* pipe = ledgerix::testing::OpenToolPipe(command);
  if (!pipe) return out;
  std::string text;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  ::pclose(pipe);
  BookCells* current = nullptr;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    std::vector<std::string> f;
    std::size_t s = 0;
    for (std::size_t t; (t = line.find('\t', s)) != std::string::npos; s = t + 1) {
      f.push_back(line.substr(s, t - s));
    }
    f.push_back(line.substr(s));
    if (f[0] == "F") {
      current = &out[f[1]];
    } else if (f[0] == "X" && f.size() >= 3) {
      out[f[1]]["!error"]["A1"] = Variant::String(f[2]);
      current = nullptr;
    } else if (current && f.size() == 4) {
      Variant v;
      if (f[2] == "n") v = Variant::Number(std::strtod(f[3].c_str(), nullptr));
      if (f[2] == "s") v = Variant::String(FromHex(f[3]));
      if (f[2] == "b") v = Variant::Boolean(f[3] == "1");
      if (f[2] == "e") v = Variant::Error(static_cast<CellError>(2000 + std::stoi(f[3])));
      (*current)[FromHex(f[0])][f[1]] = v;
    }
  }
  return out;
}

}  // namespace ledgerix::engine::testing
