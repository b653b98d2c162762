#include "engine/biff_sst.h"

#include <algorithm>

#include "engine/biff_cursor.h"
#include "engine/book.h"

namespace ledgerix::engine::biff {
namespace {

constexpr std::size_t kMaxPayload = 8224;

}  // namespace

std::size_t ReadSst(std::string_view stream, const std::vector<Record>& records, std::size_t index,
                    SstCounts* counts, const std::function<void(SstString&&)>& each) {
  ContinuedReader r(stream, records, index);
  counts->total = r.U32();
  counts->unique = r.U32();
  std::uint32_t read = 0;
  while (!r.AtEnd()) {
    try {
      SstString s;
      std::size_t count = r.U16();
      std::uint8_t flags = r.U8();
      std::size_t runs = (flags & 0x08) ? r.U16() : 0;
      std::uint32_t phonetic = (flags & 0x04) ? r.U32() : 0;
      r.AppendUnits(count, (flags & 0x01) != 0, &s.chars, &s.high_byte);
      r.AppendBytes(runs * 4, &s.runs);
      r.AppendBytes(phonetic, &s.phonetic);
      each(std::move(s));
      ++read;
    } catch (const BookError&) {
      // Bytes after the announced strings are padding some writers leave; strings within the
      // count must be whole.
      if (read < counts->unique) throw;
      break;
    }
  }
  return r.next_record();
}

std::vector<OutRecord> WriteSst(std::uint32_t total, const std::vector<SstString>& strings,
                                std::vector<SstBucket>* buckets) {
  std::vector<OutRecord> out;
  out.push_back(OutRecord{kSst, {}});
  PutU32(out.back().payload, total);
  PutU32(out.back().payload, static_cast<std::uint32_t>(strings.size()));
  auto room = [&] { return kMaxPayload - out.back().payload.size(); };
  auto next = [&] { out.push_back(OutRecord{kContinue, {}}); };
  std::size_t per_bucket = SstStringsPerBucket(strings.size());
  for (std::size_t i = 0; i < strings.size(); ++i) {
    const SstString& e = strings[i];
    bool high = e.high_byte;
    std::size_t width = high ? 2 : 1;
    // The header and the first character stay together: characters may go on in a CONTINUE
    // only after at least one of them.
    std::size_t header = 3 + (e.runs.empty() ? 0 : 2) + (e.phonetic.empty() ? 0 : 4);
    if (room() < header + (e.chars.empty() ? 0 : width)) next();
    if (i % per_bucket == 0)
      buckets->push_back(SstBucket{out.size() - 1, out.back().payload.size()});
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
    // A formatting run is never split.
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

}  // namespace ledgerix::engine::biff
