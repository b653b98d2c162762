#include "engine/biff_cursor.h"

#include <cstring>

#include "bridges/utf8.h"
#include "engine/book.h"

namespace ledgerix::engine::biff {

std::string Hex(std::uint32_t value) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), digits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return "0x" + text;
}

void ThrowRecordError(std::uint16_t id, std::uint32_t offset, std::string_view what) {
  std::string_view name = RecordName(id);
  std::string record = name.empty() ? Hex(id) : std::string(name);
  throw BookError(std::string(kCorrupt) + "（record " + record + " at offset " + Hex(offset) +
                  ": " + std::string(what) + "）");
}

namespace {

std::uint16_t Le16(const char* p) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) |
                                    (static_cast<unsigned char>(p[1]) << 8));
}

// Appends n UTF-16 units (unit(i) gives the i-th) as UTF-8; *pending carries a high surrogate
// over from and to the neighbouring pieces of the same string. Lone surrogates become U+FFFD.
template <class Unit>
void AppendUtf16Units(std::size_t n, Unit unit_at, std::uint32_t* pending, std::string* out) {
  out->reserve(out->size() + 3 * n);  // 3 bytes per unit at most; a pair takes 4 for 2 units
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t unit = unit_at(i);
    if (*pending) {
      if (unit >= 0xDC00 && unit <= 0xDFFF) {
        AppendUtf8(*out, 0x10000 + ((*pending - 0xD800) << 10) + (unit - 0xDC00));
        *pending = 0;
        continue;
      }
      AppendUtf8(*out, kReplacementCharacter);
      *pending = 0;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      *pending = unit;
    } else {
      // A lone low surrogate is appended as U+FFFD by the encoder.
      AppendUtf8(*out, unit);
    }
  }
}

// Appends n Latin-1 bytes as UTF-8.
void AppendLatin1(const char* data, std::size_t n, std::string* out) {
  out->reserve(out->size() + 2 * n);
  for (std::size_t i = 0; i < n; ++i) AppendUtf8(*out, static_cast<unsigned char>(data[i]));
}

}  // namespace

void ReadSubstream(std::string_view stream, std::uint32_t start, Substream* out) {
  out->start = start;
  out->records.clear();
  if (start > stream.size() || stream.size() - start < 4) {
    throw BookError(std::string(kCorrupt) + "（substream at offset " + Hex(start) +
                    " past the end of a stream of " + std::to_string(stream.size()) + " bytes）");
  }
  // Streams are padded to whole sectors, so a substream may be followed by zeros; it must
  // still be closed by its EOF.
  std::size_t pos = start;
  int depth = 0;
  while (true) {
    if (stream.size() - pos < 4) {
      throw BookError(std::string(kCorrupt) + "（substream at offset " + Hex(start) +
                      ": stream ends at " + Hex(static_cast<std::uint32_t>(pos)) +
                      " before its EOF record）");
    }
    Record record{Le16(stream.data() + pos), Le16(stream.data() + pos + 2),
                  static_cast<std::uint32_t>(pos)};
    if (record.size > stream.size() - pos - 4) {
      ThrowRecordError(record.id, record.offset,
                       "length " + std::to_string(record.size) + " runs past the end of a " +
                           std::to_string(stream.size()) + "-byte stream");
    }
    if (out->records.empty() && !IsBof(record.id)) {
      ThrowRecordError(record.id, record.offset, "expected a BOF record");
    }
    out->records.push_back(record);
    pos += 4u + record.size;
    if (IsBof(record.id)) {
      ++depth;
    } else if (record.id == kEof && --depth == 0) {
      return;
    }
  }
}

void RecordCursor::Need(std::size_t n) const {
  if (n > remaining()) {
    Fail("needs " + std::to_string(n) + " more bytes at payload position " + std::to_string(pos_) +
         " of " + std::to_string(data_.size()));
  }
}

std::uint8_t RecordCursor::U8() {
  Need(1);
  return static_cast<std::uint8_t>(data_[pos_++]);
}

std::uint16_t RecordCursor::U16() {
  Need(2);
  std::uint16_t v = Le16(data_.data() + pos_);
  pos_ += 2;
  return v;
}

std::uint32_t RecordCursor::U32() {
  std::uint32_t lo = U16();
  return lo | (std::uint32_t{U16()} << 16);
}

double RecordCursor::F64() {
  Need(8);
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) {
    bits = (bits << 8) | static_cast<unsigned char>(data_[pos_ + static_cast<std::size_t>(i)]);
  }
  pos_ += 8;
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

void RecordCursor::Seek(std::size_t pos) {
  if (pos > data_.size()) {
    Fail("position " + std::to_string(pos) + " past a payload of " + std::to_string(data_.size()));
  }
  pos_ = pos;
}

std::string_view RecordCursor::Bytes(std::size_t n) {
  Need(n);
  std::string_view v = data_.substr(pos_, n);
  pos_ += n;
  return v;
}

ContinuedReader::ContinuedReader(std::string_view stream, const std::vector<Record>& records,
                                 std::size_t first)
    : stream_(stream), records_(records), first_(first), index_(first) {
  const Record& r = records_[first];
  segment_ = stream_.substr(r.payload_offset(), r.size);
}

bool ContinuedReader::NextSegment() {
  if (index_ + 1 >= records_.size() || records_[index_ + 1].id != kContinue) return false;
  ++index_;
  const Record& r = records_[index_];
  segment_ = stream_.substr(r.payload_offset(), r.size);
  pos_ = 0;
  return true;
}

void ContinuedReader::Fail(std::string_view what) const {
  const Record& r = records_[first_];
  ThrowRecordError(r.id, r.offset, what);
}

bool ContinuedReader::AtEnd() {
  while (pos_ == segment_.size()) {
    if (!NextSegment()) return true;
  }
  return false;
}

std::uint8_t ContinuedReader::U8() {
  if (AtEnd()) Fail("ends inside a value (CONTINUE records included)");
  return static_cast<std::uint8_t>(segment_[pos_++]);
}

std::uint16_t ContinuedReader::U16() {
  std::uint16_t lo = U8();
  return static_cast<std::uint16_t>(lo | (U8() << 8));
}

std::uint32_t ContinuedReader::U32() {
  std::uint32_t lo = U16();
  return lo | (std::uint32_t{U16()} << 16);
}

void ContinuedReader::Skip(std::size_t n) {
  while (n > 0) {
    if (AtEnd()) Fail("ends inside skipped data (CONTINUE records included)");
    std::size_t step = std::min(n, segment_.size() - pos_);
    pos_ += step;
    n -= step;
  }
}

void ContinuedReader::AppendBytes(std::size_t n, std::string* out) {
  while (n > 0) {
    if (AtEnd()) Fail("string runs past its record and CONTINUE records");
    std::size_t step = std::min(n, segment_.size() - pos_);
    out->append(segment_.data() + pos_, step);
    pos_ += step;
    n -= step;
  }
}

void ContinuedReader::AppendChars(std::size_t count, bool high_byte, std::string* out) {
  std::u16string units;
  bool any_high = false;
  AppendUnits(count, high_byte, &units, &any_high);
  AppendUtf16(units, out);
}

void ContinuedReader::AppendUnits(std::size_t count, bool high_byte, std::u16string* out,
                                  bool* any_high) {
  out->reserve(out->size() + count);
  *any_high = *any_high || high_byte;
  while (count > 0) {
    if (pos_ == segment_.size()) {
      // The same rules as AppendChars: a fresh option byte in each CONTINUE, and a lone byte
      // at a record's end skipped.
      if (!NextSegment()) Fail("string runs past its record and CONTINUE records");
      if (segment_.empty()) continue;
      high_byte = (static_cast<unsigned char>(segment_[pos_++]) & 0x01) != 0;
      *any_high = *any_high || high_byte;
      continue;
    }
    std::size_t width = high_byte ? 2 : 1;
    std::size_t n = std::min(count, (segment_.size() - pos_) / width);
    if (n == 0) {
      pos_ = segment_.size();
      continue;
    }
    const char* p = segment_.data() + pos_;
    for (std::size_t i = 0; i < n; ++i) {
      out->push_back(
          static_cast<char16_t>(high_byte ? Le16(p + 2 * i) : static_cast<unsigned char>(p[i])));
    }
    pos_ += n * width;
    count -= n;
  }
}

void AppendUtf16Le(const char* data, std::size_t units, std::string* out) {
  std::uint32_t pending = 0;
  AppendUtf16Units(
      units, [data](std::size_t i) { return Le16(data + 2 * i); }, &pending, out);
  if (pending) AppendUtf8(*out, kReplacementCharacter);
}

void AppendUtf16(std::u16string_view units, std::string* out) {
  std::uint32_t pending = 0;
  AppendUtf16Units(
      units.size(), [units](std::size_t i) { return units[i]; }, &pending, out);
  if (pending) AppendUtf8(*out, kReplacementCharacter);
}

std::string ReadBiff8String(RecordCursor& cursor, int count_bytes) {
  std::size_t count = count_bytes == 1 ? cursor.U8() : cursor.U16();
  // Some writers leave out the option byte of an empty string at the end of a record.
  if (count == 0 && cursor.remaining() == 0) return {};
  std::uint8_t flags = cursor.U8();
  std::string text;
  if (flags & 0x01) {
    std::string_view units = cursor.Bytes(count * 2);
    AppendUtf16Le(units.data(), count, &text);
  } else {
    std::string_view bytes = cursor.Bytes(count);
    AppendLatin1(bytes.data(), bytes.size(), &text);
  }
  return text;
}

}  // namespace ledgerix::engine::biff
