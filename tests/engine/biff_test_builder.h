// Builds small BIFF streams in memory for the reader's tests: records byte by byte, and whole
// BIFF8/BIFF5 workbooks whose BOUNDSHEET offsets are filled in.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ledgerix::engine::testing {

inline std::string U8(unsigned v) { return std::string(1, static_cast<char>(v & 0xFF)); }
inline std::string U16(unsigned v) { return U8(v) + U8(v >> 8); }
inline std::string U32(std::uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }
inline std::string F64(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return U32(static_cast<std::uint32_t>(bits)) + U32(static_cast<std::uint32_t>(bits >> 32));
}
inline std::string Rec(std::uint16_t id, const std::string& payload) {
  return U16(id) + U16(static_cast<unsigned>(payload.size())) + payload;
}
// UTF-16LE bytes of an ASCII/BMP text given as code points.
inline std::string Utf16(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += U16(c);
  return out;
}
// A compressed (8-bit) BIFF8 string with a 16-bit count: "count flags chars".
inline std::string Str8(const std::string& latin1) {
  return U16(static_cast<unsigned>(latin1.size())) + U8(0) + latin1;
}
inline std::string Str16(const std::u16string& text) {
  return U16(static_cast<unsigned>(text.size())) + U8(1) + Utf16(text);
}

inline std::string Bof8(unsigned type) {
  return Rec(0x0809, U16(0x0600) + U16(type) + U16(0x0DBB) + U16(0x07CC) + U32(0) + U32(6));
}
inline std::string Bof5(unsigned type) {
  return Rec(0x0809, U16(0x0500) + U16(type) + U16(0x0DBB) + U16(0x07CC));
}
inline std::string Eof() { return Rec(0x000A, ""); }
inline std::string Cell(unsigned row, unsigned col) { return U16(row) + U16(col) + U16(15); }
inline std::string Number(unsigned row, unsigned col, double v) {
  return Rec(0x0203, Cell(row, col) + F64(v));
}
inline std::string Window1(unsigned active_tab) {
  return Rec(0x003D, U16(0) + U16(0) + U16(100) + U16(100) + U16(0x38) + U16(active_tab) + U16(0) +
                         U16(1) + U16(600));
}

struct TestSheet {
  std::string name;          // Latin-1 for BIFF8 names, code-page bytes for BIFF5
  unsigned state = 0;        // BOUNDSHEET hsState
  unsigned type = 0;         // BOUNDSHEET dt: 0 worksheet or dialog, 1 macro, 2 chart
  std::string body;          // records between the sheet's BOF and EOF
  unsigned bof_type = 0x10;  // BOF dt of the sheet substream
};

// A workbook stream: globals (BOF, extra_globals, BOUNDSHEETs, after_sheets, EOF) then one
// substream per sheet.
inline std::string Workbook(const std::vector<TestSheet>& sheets, const std::string& extra_globals,
                            const std::string& after_sheets = "", bool biff5 = false) {
  std::string globals = (biff5 ? Bof5(0x0005) : Bof8(0x0005)) + extra_globals;
  std::vector<std::size_t> offset_fields;
  for (const TestSheet& s : sheets) {
    std::string name = biff5 ? U8(static_cast<unsigned>(s.name.size())) + s.name
                             : U8(static_cast<unsigned>(s.name.size())) + U8(0) + s.name;
    offset_fields.push_back(globals.size() + 4);
    globals += Rec(0x0085, U32(0) + U8(s.state) + U8(s.type) + name);
  }
  globals += after_sheets + Eof();
  std::string stream = globals;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    std::string offset = U32(static_cast<std::uint32_t>(stream.size()));
    stream.replace(offset_fields[i], 4, offset);
    stream +=
        (biff5 ? Bof5(sheets[i].bof_type) : Bof8(sheets[i].bof_type)) + sheets[i].body + Eof();
  }
  return stream;
}

}  // namespace ledgerix::engine::testing
