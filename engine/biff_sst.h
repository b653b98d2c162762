// The shared string table (SST with its CONTINUE records) of a BIFF8 workbook, read by the
// reader and rebuilt by the writer: the CONTINUE rules (a string's characters restart after
// each record boundary with a fresh option byte; its header, runs and phonetic data simply run
// on) live here and in ContinuedReader only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/biff_out.h"
#include "engine/biff_records.h"

namespace ledgerix::engine::biff {

// One string as stored: its UTF-16 units, whether any piece was stored 16-bit, and its
// formatting runs (4 bytes each) and phonetic data kept as bytes.
struct SstString {
  std::u16string chars;
  bool high_byte = false;
  std::string runs;
  std::string phonetic;
};

struct SstCounts {
  std::uint32_t total = 0;   // LABELSST cells, as the table claims
  std::uint32_t unique = 0;  // strings, as the table claims
};

// Reads the table at records[index] and its CONTINUE records, calling each for every string.
// The counts are not trusted: strings stop where the records do, and bytes after the announced
// strings are padding. Throws the SST record's error for a string cut short within the count.
// Returns the index of the first record after the table.
std::size_t ReadSst(std::string_view stream, const std::vector<Record>& records, std::size_t index,
                    SstCounts* counts, const std::function<void(SstString&&)>& each);

// Where a bucket of the EXTSST index starts: a record of WriteSst's result and the offset of
// the bucket's first string in that record's payload.
struct SstBucket {
  std::size_t record;
  std::size_t offset;
};

// Excel's own choice: at least 8 strings per bucket, at most 128 buckets.
inline std::size_t SstStringsPerBucket(std::size_t strings) {
  return std::max<std::size_t>(8, (strings + 127) / 128);
}

// The SST record and the CONTINUE records it needs, none over 8224 bytes of payload, and a
// bucket for every SstStringsPerBucket strings.
std::vector<OutRecord> WriteSst(std::uint32_t total, const std::vector<SstString>& strings,
                                std::vector<SstBucket>* buckets);

}  // namespace ledgerix::engine::biff
