// BIFF record ids and the record list of a workbook stream: each substream (globals, one per
// sheet) is kept as (id, offset, size) entries over the stream bytes, so unknown records survive
// untouched for a writer that re-serialises the list.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace ledgerix::engine::biff {

// Record ids, named as the file format names them. BIFF2-4 ids that differ carry the version.
enum RecordId : std::uint16_t {
  kBlank = 0x0201,
  kBof = 0x0809,
  kBof2 = 0x0009,
  kBof3 = 0x0209,
  kBof4 = 0x0409,
  kBoolErr = 0x0205,
  kBoundSheet = 0x0085,
  kCodePage = 0x0042,
  kContinue = 0x003C,
  kDateMode = 0x0022,
  kEof = 0x000A,
  kFilePass = 0x002F,
  kFormula = 0x0006,
  kFormula3 = 0x0206,
  kFormula4 = 0x0406,
  kLabel = 0x0204,
  kLabelSst = 0x00FD,
  kMulBlank = 0x00BE,
  kMulRk = 0x00BD,
  kNumber = 0x0203,
  kRk = 0x027E,
  kRString = 0x00D6,
  kSst = 0x00FC,
  kString = 0x0207,
  kWindow1 = 0x003D,
  kWsBool = 0x0081,
  // BIFF2 cell records.
  kBlank2 = 0x0001,
  kInteger2 = 0x0002,
  kNumber2 = 0x0003,
  kLabel2 = 0x0004,
  kBoolErr2 = 0x0005,
  kString2 = 0x0007,
};

// "LABELSST" for messages; "0x1234" style text is made by the caller for unknown ids.
std::string_view RecordName(std::uint16_t id);

// BOF substream types (BOF dt field).
enum SubstreamType : std::uint16_t {
  kGlobalsSubstream = 0x0005,
  kWorksheetSubstream = 0x0010,
  kChartSubstream = 0x0020,
  kMacroSubstream = 0x0040,
};

enum class Version { kBiff2, kBiff3, kBiff4, kBiff5, kBiff8 };

// One record of a stream: id, offset of its 4-byte header, payload size.
struct Record {
  std::uint16_t id;
  std::uint16_t size;
  std::uint32_t offset;
  std::uint32_t payload_offset() const { return offset + 4; }
};

// A substream from its BOF to the EOF closing it, inclusive. Nested BOF/EOF pairs (embedded
// charts) stay inside as plain records.
struct Substream {
  std::uint32_t start = 0;
  std::vector<Record> records;
};

}  // namespace ledgerix::engine::biff
