// Bounds-checked reading of BIFF records: the stream splitter, a cursor limited to one record's
// payload, and a reader that follows a record into its CONTINUE records the way strings do.
// Every failure throws BookError(kCorrupt) naming the record and its stream offset.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/biff_records.h"

namespace ledgerix::engine::biff {

// "record LABELSST at offset 0x1A2C: <what>" wrapped as BookError(kCorrupt).
[[noreturn]] void ThrowRecordError(std::uint16_t id, std::uint32_t offset, std::string_view what);
// "0x1A2C".
std::string Hex(std::uint32_t value);

// Splits stream[start..] into records up to the EOF that closes the BOF at start (counting
// nested BOF/EOF pairs). Throws when a header or payload runs past the stream, when start is
// not a BOF, or when the stream ends before the closing EOF.
void ReadSubstream(std::string_view stream, std::uint32_t start, Substream* out);

// Reads one record's payload; can never read past it.
class RecordCursor {
 public:
  RecordCursor(std::string_view stream, const Record& record)
      : data_(stream.substr(record.payload_offset(), record.size)),
        id_(record.id),
        offset_(record.offset) {}
  // Over a payload held elsewhere (a record being rebuilt); id and offset name it in errors.
  RecordCursor(std::uint16_t id, std::uint32_t offset, std::string_view payload)
      : data_(payload), id_(id), offset_(offset) {}

  std::size_t remaining() const { return data_.size() - pos_; }
  std::uint8_t U8();
  std::uint16_t U16();
  std::uint32_t U32();
  double F64();
  std::string_view Bytes(std::size_t n);
  void Skip(std::size_t n) { Bytes(n); }
  // Moves to payload position pos; throws when pos lies past the payload.
  void Seek(std::size_t pos);
  // Reads at pos, leaving the cursor after the value.
  std::uint8_t U8At(std::size_t pos) {
    Seek(pos);
    return U8();
  }
  std::uint16_t U16At(std::size_t pos) {
    Seek(pos);
    return U16();
  }
  std::uint32_t U32At(std::size_t pos) {
    Seek(pos);
    return U32();
  }
  // Throws the record error for this record.
  [[noreturn]] void Fail(std::string_view what) const { ThrowRecordError(id_, offset_, what); }

 private:
  void Need(std::size_t n) const;
  std::string_view data_;
  std::size_t pos_ = 0;
  std::uint16_t id_;
  std::uint32_t offset_;
};

// Reads records[first] and the CONTINUE records right after it as one payload. Character
// arrays that cross into a CONTINUE restart there with a fresh option byte (bit 0: 16-bit
// characters), as BIFF8 strings do; everything else just runs on.
class ContinuedReader {
 public:
  ContinuedReader(std::string_view stream, const std::vector<Record>& records, std::size_t first);

  bool AtEnd();
  std::uint8_t U8();
  std::uint16_t U16();
  std::uint32_t U32();
  void Skip(std::size_t n);
  // Appends n raw bytes, running on into CONTINUE records without option bytes (BIFF2-5
  // byte strings longer than one record).
  void AppendBytes(std::size_t n, std::string* out);
  // Appends count characters as UTF-8, 16-bit when high_byte, else 8-bit Latin-1.
  void AppendChars(std::size_t count, bool high_byte, std::string* out);
  // The same characters as UTF-16 code units, kept as stored (lone surrogates too); *any_high
  // is set when any piece of them is stored 16-bit.
  void AppendUnits(std::size_t count, bool high_byte, std::u16string* out, bool* any_high);
  // Index one past the last record consumed (the next record to look at).
  std::size_t next_record() const { return index_ + 1; }
  [[noreturn]] void Fail(std::string_view what) const;

 private:
  // Moves to the next CONTINUE record; false when there is none.
  bool NextSegment();
  std::string_view stream_;
  const std::vector<Record>& records_;
  std::size_t first_;
  std::size_t index_;
  std::string_view segment_;
  std::size_t pos_ = 0;
};

// Appends UTF-16LE units (n units at data) as UTF-8; lone surrogates become U+FFFD.
void AppendUtf16Le(const char* data, std::size_t units, std::string* out);
// The same over units already decoded.
void AppendUtf16(std::u16string_view units, std::string* out);

// A BIFF8 string (unicode flags byte then characters, then rich-text runs and phonetic data)
// read from a single record with a character count of count_bytes (1 or 2) bytes.
std::string ReadBiff8String(RecordCursor& cursor, int count_bytes);

}  // namespace ledgerix::engine::biff
