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
  // Records the writer rebuilds or places, and the globals records that follow the string
  // table (a new table goes before the first of them).
  kArray = 0x0221,
  kBookExt = 0x0863,
  kColInfo = 0x007D,
  kCompat12 = 0x088C,
  kCompressPictures = 0x089B,
  kCrErr = 0x0865,
  kDbCell = 0x00D7,
  kDConn = 0x0876,
  kDefColWidth = 0x0055,
  kDefaultRowHeight = 0x0225,
  kDimensions = 0x0200,
  kExtSst = 0x00FF,
  kFeatHdr = 0x0867,
  kGuidTypeLib = 0x0897,
  kHfPicture = 0x0866,
  kIndex = 0x020B,
  kMsoDrawingGroup = 0x00EB,
  kRecalcId = 0x01C1,
  kRow = 0x0208,
  kShrFmla = 0x04BC,
  kTable = 0x0236,
  kTheme = 0x0896,
  kWebPub = 0x0801,
  kWindow2 = 0x023E,
  // BIFF2 cell records.
  kBlank2 = 0x0001,
  kInteger2 = 0x0002,
  kNumber2 = 0x0003,
  kLabel2 = 0x0004,
  kBoolErr2 = 0x0005,
  kString2 = 0x0007,
};

// The name of every record above, as messages give it; reader and writer share this table.
struct RecordInfo {
  std::uint16_t id;
  std::string_view name;
};
inline constexpr RecordInfo kRecordNames[] = {
    {kBlank, "BLANK"},
    {kBof, "BOF"},
    {kBof2, "BOF"},
    {kBof3, "BOF"},
    {kBof4, "BOF"},
    {kBoolErr, "BOOLERR"},
    {kBoundSheet, "BOUNDSHEET"},
    {kCodePage, "CODEPAGE"},
    {kContinue, "CONTINUE"},
    {kDateMode, "DATEMODE"},
    {kEof, "EOF"},
    {kFilePass, "FILEPASS"},
    {kFormula, "FORMULA"},
    {kFormula3, "FORMULA"},
    {kFormula4, "FORMULA"},
    {kLabel, "LABEL"},
    {kLabelSst, "LABELSST"},
    {kMulBlank, "MULBLANK"},
    {kMulRk, "MULRK"},
    {kNumber, "NUMBER"},
    {kRk, "RK"},
    {kRString, "RSTRING"},
    {kSst, "SST"},
    {kString, "STRING"},
    {kWindow1, "WINDOW1"},
    {kWsBool, "WSBOOL"},
    {kArray, "ARRAY"},
    {kBookExt, "BOOKEXT"},
    {kColInfo, "COLINFO"},
    {kCompat12, "COMPAT12"},
    {kCompressPictures, "COMPRESSPICTURES"},
    {kCrErr, "CRERR"},
    {kDbCell, "DBCELL"},
    {kDConn, "DCONN"},
    {kDefColWidth, "DEFCOLWIDTH"},
    {kDefaultRowHeight, "DEFAULTROWHEIGHT"},
    {kDimensions, "DIMENSIONS"},
    {kExtSst, "EXTSST"},
    {kFeatHdr, "FEATHEADR"},
    {kGuidTypeLib, "GUIDTYPELIB"},
    {kHfPicture, "HFPICTURE"},
    {kIndex, "INDEX"},
    {kMsoDrawingGroup, "MSODRAWINGGROUP"},
    {kRecalcId, "RECALCID"},
    {kRow, "ROW"},
    {kShrFmla, "SHRFMLA"},
    {kTable, "TABLE"},
    {kTheme, "THEME"},
    {kWebPub, "WEBPUB"},
    {kWindow2, "WINDOW2"},
    {kBlank2, "BLANK"},
    {kInteger2, "INTEGER"},
    {kNumber2, "NUMBER"},
    {kLabel2, "LABEL"},
    {kBoolErr2, "BOOLERR"},
    {kString2, "STRING"},
};

// "LABELSST" for messages; empty for an id not in the table ("0x1234" style text is made by
// the caller).
constexpr std::string_view RecordName(std::uint16_t id) {
  for (const RecordInfo& r : kRecordNames) {
    if (r.id == id) return r.name;
  }
  return {};
}

constexpr bool IsBof(std::uint16_t id) {
  return id == kBof || id == kBof2 || id == kBof3 || id == kBof4;
}

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
