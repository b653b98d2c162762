// Records being written: an id and a payload owned by the writer, with the little-endian
// encoders that build them. Reading one back goes through RecordCursor (Cursor below), so a
// short record is an error naming it, never a read past its end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/biff_cursor.h"
#include "engine/biff_records.h"
#include "engine/book.h"

namespace ledgerix::engine::biff {

struct OutRecord {
  std::uint16_t id = 0;
  std::string payload;
  std::uint32_t source = 0;  // stream offset it was read from, for messages; 0 when new
};

inline void PutU16(std::string& s, std::uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void PutU32(std::string& s, std::uint32_t v) {
  PutU16(s, v & 0xFFFF);
  PutU16(s, v >> 16);
}
// Overwrite a field the writer rebuilds; the caller has checked the payload's length.
inline void SetU16(std::string& s, std::size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void SetU32(std::string& s, std::size_t at, std::uint32_t v) {
  SetU16(s, at, v & 0xFFFF);
  SetU16(s, at + 2, v >> 16);
}

// A workbook the writer cannot save faithfully: kUnsupported with the reason in parentheses.
[[noreturn]] inline void ThrowUnsupported(const std::string& what) {
  throw BookError(std::string(kUnsupported) + "（" + what + "）");
}

inline OutRecord Copy(std::string_view stream, const Record& r) {
  return OutRecord{r.id, std::string(stream.substr(r.payload_offset(), r.size)), r.offset};
}
inline RecordCursor Cursor(const OutRecord& r) { return RecordCursor(r.id, r.source, r.payload); }

inline std::size_t SizeOf(const std::vector<OutRecord>& records) {
  std::size_t n = 0;
  for (const OutRecord& r : records) n += 4 + r.payload.size();
  return n;
}

}  // namespace ledgerix::engine::biff
