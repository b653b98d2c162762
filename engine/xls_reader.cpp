// The .xls reader: version detection, the globals, and one handler per cell record, as one
// class whose handlers share the book's state (code page, string table, limits). Just past 600
// lines; splitting the class would only scatter that state.
#include "engine/xls_reader.h"

#include <cstring>
#include <map>

#include "engine/biff_codepage.h"
#include "engine/biff_cursor.h"
#include "engine/biff_records.h"
#include "engine/biff_sst.h"
#include "engine/decrypt_biff.h"
#include "engine/ole2_container.h"
#include "engine/xls_layout.h"
#include "engine/xls_writer.h"

namespace ledgerix::engine {
namespace {

using biff::ContinuedReader;
using biff::Record;
using biff::RecordCursor;
using biff::Substream;
using biff::Version;

// What corruption does, per record class: the container, the record structure, the shared
// string table and every cell value fail the workbook (a value we cannot decode must not turn
// into an empty cell); cosmetic and unknown records are never looked at.

// BOUNDSHEET sheet types.
enum SheetType : std::uint8_t { kWorksheetOrDialog = 0, kMacroSheet = 1, kChartSheet = 2 };

struct SheetSource {
  std::uint32_t bof_offset = 0;
  int tab = 0;  // position among all BOUNDSHEET records
};

double RkValue(std::uint32_t rk) {
  double v;
  if (rk & 0x02) {
    v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    std::uint64_t bits = std::uint64_t{rk & 0xFFFFFFFCu} << 32;
    std::memcpy(&v, &bits, sizeof v);
  }
  return (rk & 0x01) ? v / 100 : v;
}

Variant ErrorValue(std::uint8_t code) {
  return Variant::Error(static_cast<CellError>(2000 + code));
}

// A BIFF2-4 worksheet file has no sheet name: the application names its one sheet after the
// file, without folder and extension.
std::string SingleSheetName(const std::string& file_name) {
  std::size_t slash = file_name.find_last_of("/\\");
  std::string base = slash == std::string::npos ? file_name : file_name.substr(slash + 1);
  std::size_t dot = base.rfind('.');
  if (dot != std::string::npos && dot > 0) base.resize(dot);
  return base.empty() ? "Sheet1" : base;
}

class XlsBook : public Book {
 public:
  // container: the compound file the stream came from (empty for a bare BIFF file), kept for
  // saving.
  XlsBook(std::string stream, const std::string& name, std::string container = {})
      : stream_(std::move(stream)), container_(std::move(container)) {
    ReadGlobals(name);
  }

  void SetCell(int sheet, std::uint32_t row, std::uint32_t col, const Variant& value) override {
    Book::SetCell(sheet, row, col, value);
    writes_[sheet][{row, col}] = value;
  }

  // Saving patches the stream as read with every write so far, so saving twice (SaveAs, then
  // Close with changes) gives the same file.
  void Save(const std::string& path) override {
    if (version_ != Version::kBiff8 || single_sheet_) return Book::Save(path);  // refuses
    std::vector<XlsSheetWrites> sheets;
    for (const auto& [sheet, cells] : writes_) {
      XlsSheetWrites w;
      w.bof_offset = sources_[static_cast<std::size_t>(sheet)].bof_offset;
      for (const auto& [cell, value] : cells) w.cells.push_back({cell.first, cell.second, value});
      sheets.push_back(std::move(w));
    }
    SaveXls(path, container_, stream_, sheets);
  }

  std::string format() const override {
    switch (version_) {
      case Version::kBiff2:
        return "BIFF2";
      case Version::kBiff3:
        return "BIFF3";
      case Version::kBiff4:
        return "BIFF4";
      case Version::kBiff5:
        return "BIFF5";
      case Version::kBiff8:
        return "BIFF8";
    }
    return "BIFF";
  }

 protected:
  void LoadSheet(int sheet, CellStore& out) override;
  void LoadLayout(int sheet, SheetLayout& out) override;
  void LoadStyles(StyleTable& out) override {
    biff::ReadXlsStyles({stream_, &globals_, version_, &decoder_}, &out);
  }

 private:
  void ReadGlobals(const std::string& file_name);
  void DetectVersion(const Record& bof);
  void ReadBoundSheet(const Record& record, int tab);
  void ReadSst(std::size_t index);
  bool PeekIsDialog(const Record& boundsheet, std::uint32_t offset) const;
  std::string DecodeBytes(RecordCursor& cursor, std::string_view bytes);
  // A byte string of BIFF2-5 after skip bytes of records[index]: a count of count_bytes (1 or
  // 2) bytes, then the bytes, which some writers run on into CONTINUE records.
  std::string ReadByteString(const Substream& sub, std::size_t index, std::size_t skip,
                             int count_bytes);

  // Cell records; each sets its cells in out.
  void ReadNumber(RecordCursor& c, CellStore& out);
  void ReadRk(RecordCursor& c, CellStore& out);
  void ReadMulRk(RecordCursor& c, CellStore& out);
  void ReadLabelSst(RecordCursor& c, CellStore& out);
  void ReadLabel(const Substream& sub, std::size_t index, CellStore& out);
  void ReadBoolErr(RecordCursor& c, CellStore& out);
  // Returns true when the cached result is a string that a STRING record brings.
  bool ReadFormula(RecordCursor& c, CellStore& out, std::uint32_t* row, std::uint32_t* col);
  std::string ReadString(const Substream& sub, std::size_t index);
  void ReadBiff2Cell(RecordCursor& c, std::uint16_t id, CellStore& out);

  std::string stream_;
  std::string container_;
  std::map<int, std::map<std::pair<std::uint32_t, std::uint32_t>, Variant>> writes_;
  Version version_ = Version::kBiff8;
  bool single_sheet_ = false;
  Substream globals_;
  std::vector<SheetSource> sources_;
  std::vector<Substream> sheet_records_;  // filled as sheets are loaded
  std::vector<std::string> sst_;
  biff::CodePageDecoder decoder_;
};

void XlsBook::DetectVersion(const Record& bof) {
  switch (bof.id) {
    case biff::kBof2:
      version_ = Version::kBiff2;
      return;
    case biff::kBof3:
      version_ = Version::kBiff3;
      return;
    case biff::kBof4:
      version_ = Version::kBiff4;
      return;
    default:
      break;
  }
  RecordCursor c(stream_, bof);
  std::uint16_t vers = c.U16();
  if (vers == 0x0600) {
    version_ = Version::kBiff8;
  } else if (vers == 0x0500) {
    version_ = Version::kBiff5;
  } else {
    // Some writers leave the version at zero; the BIFF8 BOF is twice as long as BIFF5's.
    version_ = bof.size >= 16 ? Version::kBiff8 : Version::kBiff5;
  }
}

void XlsBook::ReadGlobals(const std::string& file_name) {
  biff::ReadSubstream(stream_, 0, &globals_);
  const Record& bof = globals_.records.front();
  DetectVersion(bof);
  RecordCursor bof_cursor(stream_, bof);
  bof_cursor.U16();
  std::uint16_t type = bof_cursor.U16();

  single_sheet_ = version_ <= Version::kBiff4 || type == biff::kWorksheetSubstream;
  if (single_sheet_) {
    // BIFF2-4 files hold a single worksheet: its substream is the whole file. Some writers
    // make BIFF5/8 files of the same shape, without a globals substream.
    if (type == 0x0100) {
      throw BookError(std::string(kUnsupported) + "（BIFF4 workbook with several sheets）");
    }
    for (const Record& r : globals_.records) {
      if (r.id == biff::kFilePass) {
        throw BookError(std::string(kEncrypted) + "（FILEPASS at offset " + biff::Hex(r.offset) +
                        "）");
      }
      if (r.id == biff::kCodePage && r.size >= 2) {
        RecordCursor c(stream_, r);
        decoder_.SetCodePage(c.U16());
      }
      if (r.id == biff::kDateMode && r.size >= 2) {
        RecordCursor c(stream_, r);
        date1904_ = c.U16() == 1;
      }
    }
    sheets_.push_back(SheetInfo{SingleSheetName(file_name), xlSheetVisible});
    sources_.push_back(SheetSource{0, 0});
    return;
  }
  if (type != biff::kGlobalsSubstream) {
    biff::ThrowRecordError(
        bof.id, bof.offset,
        "first substream is of type " + biff::Hex(type) + ", not workbook globals");
  }

  std::vector<std::size_t> boundsheets;
  int active_tab = -1;
  for (std::size_t i = 0; i < globals_.records.size(); ++i) {
    const Record& r = globals_.records[i];
    switch (r.id) {
      case biff::kFilePass: {
        RecordCursor c(stream_, r);
        std::string kind = "XOR obfuscation";
        if (version_ == Version::kBiff8 && c.U16() == 1) {
          kind = c.U16() == 1 ? "RC4" : "RC4 CryptoAPI";
        }
        throw BookError(std::string(kEncrypted) + "（FILEPASS at offset " + biff::Hex(r.offset) +
                        ": " + kind + "）");
      }
      case biff::kCodePage: {
        RecordCursor c(stream_, r);
        decoder_.SetCodePage(c.U16());
        break;
      }
      case biff::kDateMode: {
        RecordCursor c(stream_, r);
        date1904_ = c.U16() == 1;
        break;
      }
      case biff::kWindow1:
        if (active_tab < 0 && r.size >= 12) {
          RecordCursor c(stream_, r);
          c.Skip(10);
          active_tab = c.U16();
        }
        break;
      case biff::kBoundSheet:
        boundsheets.push_back(i);
        break;
      case biff::kSst:
        if (version_ == Version::kBiff8) ReadSst(i);
        break;
      default:
        break;
    }
  }
  // Names are decoded once the code page is known, wherever CODEPAGE stood.
  for (std::size_t k = 0; k < boundsheets.size(); ++k) {
    ReadBoundSheet(globals_.records[boundsheets[k]], static_cast<int>(k));
  }

  // A saved active tab that is not a listed worksheet (a chart sheet, out of range, or no
  // WINDOW1 at all) falls back to the first visible worksheet.
  active_sheet_ = -1;
  for (std::size_t s = 0; s < sources_.size(); ++s) {
    if (sources_[s].tab == active_tab) active_sheet_ = static_cast<int>(s);
  }
  if (active_sheet_ < 0) {
    active_sheet_ = 0;
    for (std::size_t s = 0; s < sheets_.size(); ++s) {
      if (sheets_[s].visible == xlSheetVisible) {
        active_sheet_ = static_cast<int>(s);
        break;
      }
    }
  }
}

void XlsBook::ReadBoundSheet(const Record& record, int tab) {
  RecordCursor c(stream_, record);
  std::uint32_t offset = c.U32();
  std::uint8_t state = c.U8();
  std::uint8_t type = c.U8();
  std::string name;
  if (version_ == Version::kBiff8) {
    name = biff::ReadBiff8String(c, 1);
  } else {
    std::size_t count = c.U8();
    name = DecodeBytes(c, c.Bytes(count));
  }
  if (type != kWorksheetOrDialog) return;  // macro, chart and VB module sheets
  if (offset > stream_.size() || stream_.size() - offset < 4) {
    c.Fail("sheet \"" + name + "\" starts at " + biff::Hex(offset) + ", past the end of a " +
           std::to_string(stream_.size()) + "-byte stream");
  }
  if (PeekIsDialog(record, offset)) return;
  std::int32_t visible = xlSheetVisible;
  switch (state & 0x03) {
    case 1:
      visible = xlSheetHidden;
      break;
    case 2:
      visible = xlSheetVeryHidden;
      break;
    default:
      break;
  }
  sheets_.push_back(SheetInfo{std::move(name), visible});
  sources_.push_back(SheetSource{offset, tab});
}

bool XlsBook::PeekIsDialog(const Record& boundsheet, std::uint32_t offset) const {
  // Dialog sheets share the worksheet type in BOUNDSHEET; their WSBOOL record, near the start
  // of the substream, carries the fDialog bit. Only headers are walked, a bounded number.
  std::size_t pos = offset;
  for (int n = 0; n < 64 && stream_.size() - pos >= 4; ++n) {
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(stream_[at]); };
    std::uint16_t id = static_cast<std::uint16_t>(byte(pos) | (byte(pos + 1) << 8));
    std::size_t size = byte(pos + 2) | (byte(pos + 3) << 8);
    if (n == 0 && id != biff::kBof) {
      biff::ThrowRecordError(
          boundsheet.id, boundsheet.offset,
          "no BOF record at the sheet offset " + biff::Hex(static_cast<std::uint32_t>(pos)));
    }
    if (size > stream_.size() - pos - 4) return false;
    if (id == biff::kWsBool && size >= 1) return (byte(pos + 4) & 0x10) != 0;
    if (id == biff::kEof) return false;
    pos += 4 + size;
  }
  return false;
}

void XlsBook::ReadSst(std::size_t index) {
  // The counts are not trusted: the table holds the strings that are really there, and a
  // LABELSST past them is the error. Every string takes at least 3 bytes.
  std::size_t bytes = 0;
  for (std::size_t i = index; i < globals_.records.size(); ++i) {
    if (i > index && globals_.records[i].id != biff::kContinue) break;
    bytes += globals_.records[i].size;
  }
  biff::SstCounts counts;
  bool reserved = false;
  biff::ReadSst(stream_, globals_.records, index, &counts, [&](biff::SstString&& s) {
    if (!reserved) sst_.reserve(std::min<std::size_t>(counts.unique, bytes / 3));
    reserved = true;
    std::string text;
    biff::AppendUtf16(s.chars, &text);
    sst_.push_back(std::move(text));
  });
}

std::string XlsBook::DecodeBytes(RecordCursor& cursor, std::string_view bytes) {
  std::string text;
  if (!decoder_.Decode(bytes, &text)) {
    cursor.Fail("text is not valid in code page " + std::to_string(decoder_.code_page()));
  }
  return text;
}

std::string XlsBook::ReadByteString(const Substream& sub, std::size_t index, std::size_t skip,
                                    int count_bytes) {
  ContinuedReader r(stream_, sub.records, index);
  r.Skip(skip);
  std::size_t count = count_bytes == 1 ? r.U8() : r.U16();
  std::string bytes;
  r.AppendBytes(count, &bytes);
  std::string text;
  if (!decoder_.Decode(bytes, &text)) {
    r.Fail("text is not valid in code page " + std::to_string(decoder_.code_page()));
  }
  return text;
}

void XlsBook::ReadNumber(RecordCursor& c, CellStore& out) {
  std::uint32_t row = c.U16(), col = c.U16();
  c.U16();
  out.Set(row, col, Variant::Number(c.F64()));
}

void XlsBook::ReadRk(RecordCursor& c, CellStore& out) {
  std::uint32_t row = c.U16(), col = c.U16();
  c.U16();
  out.Set(row, col, Variant::Number(RkValue(c.U32())));
}

void XlsBook::ReadMulRk(RecordCursor& c, CellStore& out) {
  std::uint32_t row = c.U16(), col = c.U16();
  if (c.remaining() < 2 || (c.remaining() - 2) % 6 != 0) {
    c.Fail("length is not 6 + 6 per cell");
  }
  std::size_t cells = (c.remaining() - 2) / 6;
  for (std::size_t i = 0; i < cells; ++i) {
    c.U16();
    out.Set(row, col + static_cast<std::uint32_t>(i), Variant::Number(RkValue(c.U32())));
  }
}

void XlsBook::ReadLabelSst(RecordCursor& c, CellStore& out) {
  std::uint32_t row = c.U16(), col = c.U16();
  c.U16();
  std::uint32_t index = c.U32();
  if (index >= sst_.size()) {
    c.Fail("string index " + std::to_string(index) + " past a table of " +
           std::to_string(sst_.size()));
  }
  out.Set(row, col, Variant::String(sst_[index]));
}

void XlsBook::ReadLabel(const Substream& sub, std::size_t index, CellStore& out) {
  RecordCursor c(stream_, sub.records[index]);
  std::uint32_t row = c.U16(), col = c.U16();
  c.U16();
  if (version_ == Version::kBiff8) {
    out.Set(row, col, Variant::String(biff::ReadBiff8String(c, 2)));
  } else {
    out.Set(row, col, Variant::String(ReadByteString(sub, index, 6, 2)));
  }
}

void XlsBook::ReadBoolErr(RecordCursor& c, CellStore& out) {
  std::uint32_t row = c.U16(), col = c.U16();
  c.U16();
  std::uint8_t value = c.U8();
  bool is_error = c.U8() != 0;
  out.Set(row, col, is_error ? ErrorValue(value) : Variant::Boolean(value != 0));
}

bool XlsBook::ReadFormula(RecordCursor& c, CellStore& out, std::uint32_t* row, std::uint32_t* col) {
  *row = c.U16();
  *col = c.U16();
  if (version_ == Version::kBiff2) {
    c.Skip(3);
  } else {
    c.U16();
  }
  std::string_view result = c.Bytes(8);
  auto byte = [&](int i) { return static_cast<std::uint8_t>(result[static_cast<std::size_t>(i)]); };
  if (byte(6) == 0xFF && byte(7) == 0xFF) {
    switch (byte(0)) {
      case 0:
        out.Set(*row, *col, Variant());
        return true;
      case 1:
        out.Set(*row, *col, Variant::Boolean(byte(2) != 0));
        return false;
      case 2:
        out.Set(*row, *col, ErrorValue(byte(2)));
        return false;
      case 3:
        out.Set(*row, *col, Variant::String(""));
        return false;
      default:
        c.Fail("unknown cached result type " + std::to_string(byte(0)));
    }
  }
  double v;
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | byte(i);
  std::memcpy(&v, &bits, sizeof v);
  out.Set(*row, *col, Variant::Number(v));
  return false;
}

std::string XlsBook::ReadString(const Substream& sub, std::size_t index) {
  if (version_ == Version::kBiff8) {
    // Long cached strings go on in CONTINUE records.
    ContinuedReader r(stream_, sub.records, index);
    std::size_t count = r.U16();
    std::uint8_t flags = r.U8();
    std::string text;
    r.AppendChars(count, (flags & 0x01) != 0, &text);
    return text;
  }
  return ReadByteString(sub, index, 0, version_ == Version::kBiff2 ? 1 : 2);
}

void XlsBook::ReadBiff2Cell(RecordCursor& c, std::uint16_t id, CellStore& out) {
  std::uint32_t row = c.U16(), col = c.U16();
  c.Skip(3);  // cell attributes
  switch (id) {
    case biff::kInteger2:
      out.Set(row, col, Variant::Number(c.U16()));
      break;
    case biff::kNumber2:
      out.Set(row, col, Variant::Number(c.F64()));
      break;
    case biff::kLabel2: {
      std::size_t count = c.U8();
      out.Set(row, col, Variant::String(DecodeBytes(c, c.Bytes(count))));
      break;
    }
    case biff::kBoolErr2: {
      std::uint8_t value = c.U8();
      bool is_error = c.U8() != 0;
      out.Set(row, col, is_error ? ErrorValue(value) : Variant::Boolean(value != 0));
      break;
    }
    default:
      break;
  }
}

void XlsBook::LoadSheet(int sheet, CellStore& out) {
  if (sheet_records_.size() != sources_.size()) sheet_records_.resize(sources_.size());
  Substream& sub = sheet_records_[static_cast<std::size_t>(sheet)];
  if (single_sheet_) {
    sub = globals_;
  } else {
    biff::ReadSubstream(stream_, sources_[static_cast<std::size_t>(sheet)].bof_offset, &sub);
  }
  out.SetLimits(kMaxXlsRows, kMaxXlsCols);
  int depth = 0;
  bool string_pending = false;
  std::uint32_t pending_row = 0, pending_col = 0;
  for (std::size_t i = 0; i < sub.records.size(); ++i) {
    const Record& r = sub.records[i];
    if (r.id == biff::kBof || r.id == biff::kBof2 || r.id == biff::kBof3 || r.id == biff::kBof4) {
      ++depth;
      continue;
    }
    if (r.id == biff::kEof) {
      --depth;
      continue;
    }
    if (depth != 1) continue;  // embedded chart substreams
    RecordCursor c(stream_, r);
    bool biff2 = version_ == Version::kBiff2;
    // A position past the sheet's limits is named by the record that carried it.
    try {
      switch (r.id) {
        case biff::kNumber:
          ReadNumber(c, out);
          break;
        case biff::kRk:
          ReadRk(c, out);
          break;
        case biff::kMulRk:
          ReadMulRk(c, out);
          break;
        case biff::kLabelSst:
          ReadLabelSst(c, out);
          break;
        case biff::kLabel:
        case biff::kRString:
          ReadLabel(sub, i, out);
          break;
        case biff::kBoolErr:
          ReadBoolErr(c, out);
          break;
        case biff::kFormula:
        case biff::kFormula3:
        case biff::kFormula4:
          string_pending = ReadFormula(c, out, &pending_row, &pending_col);
          break;
        case biff::kString:
        case biff::kString2:
          if (r.id == biff::kString2 && !biff2) break;
          if (string_pending) {
            out.Set(pending_row, pending_col, Variant::String(ReadString(sub, i)));
            string_pending = false;
          }
          break;
        case biff::kInteger2:
        case biff::kNumber2:
        case biff::kLabel2:
        case biff::kBoolErr2:
          if (biff2) ReadBiff2Cell(c, r.id, out);
          break;
        default:
          break;
      }
    } catch (const CellOutOfRange& e) {
      c.Fail(e.detail());
    }
  }
}

void XlsBook::LoadLayout(int sheet, SheetLayout& out) {
  biff::XlsSource source{stream_, &globals_, version_, &decoder_};
  if (single_sheet_) return biff::ReadXlsLayout(source, globals_, 0, &out);
  auto index = static_cast<std::size_t>(sheet);
  if (index < sheet_records_.size() && !sheet_records_[index].records.empty()) {
    return biff::ReadXlsLayout(source, sheet_records_[index], sources_[index].tab, &out);
  }
  Substream sub;
  biff::ReadSubstream(stream_, sources_[index].bof_offset, &sub);
  biff::ReadXlsLayout(source, sub, sources_[index].tab, &out);
}

}  // namespace

std::unique_ptr<Book> OpenXls(std::string bytes, const std::string& name) {
  static const char kOle2Magic[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), kOle2Magic, 8) == 0) {
    std::string stream = ReadWorkbookStream(bytes);
    DecryptBiffStream(stream, name);
    return std::make_unique<XlsBook>(std::move(stream), name, std::move(bytes));
  }
  DecryptBiffStream(bytes, name);
  return std::make_unique<XlsBook>(std::move(bytes), name);
}

}  // namespace ledgerix::engine
