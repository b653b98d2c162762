// The .xls writer's view of the shared string table: the strings read from the workbook, new
// ones interned as cells take them, and on save the strings no cell uses any more dropped with
// every LABELSST renumbered, so a workbook filled again and again does not grow.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/biff_out.h"
#include "engine/biff_sst.h"

namespace ledgerix::engine {

class XlsSharedStrings {
 public:
  // Reads the table at records[index].
  void Read(std::string_view stream, const std::vector<biff::Record>& records, std::size_t index);
  // Counts the strings the LABELSST records of one substream use, before any write.
  void CountUses(std::string_view stream, const std::vector<biff::Record>& records);

  bool present() const { return present_; }
  std::size_t size() const { return entries_.size(); }

  // The index of text, added as a plain string when the table does not hold it yet. Throws
  // BookError for a text longer than a cell holds.
  std::uint32_t Intern(const std::string& text);

  // After every substream is rebuilt: drops the strings that cells used before and none uses
  // now (and new ones no cell took), renumbers the LABELSST records of every substream to
  // match and counts them as the table's total. When any LABELSST is damaged (short, or an
  // index past the table) nothing is dropped, as an index could no longer be trusted to mean
  // its string.
  void Collect(const std::vector<std::vector<biff::OutRecord>*>& substreams);

  // The SST and its CONTINUE records; buckets for EXTSST.
  std::vector<biff::OutRecord> Write(std::vector<biff::SstBucket>* buckets) const;
  std::size_t strings_per_bucket() const { return biff::SstStringsPerBucket(entries_.size()); }

 private:
  void Add(biff::SstString e);
  // The string index of a LABELSST, or false when it is damaged.
  bool IndexOf(const biff::OutRecord& r, std::uint32_t* index) const;

  bool present_ = false;
  bool damaged_ = false;  // a LABELSST that cannot be trusted was seen
  std::uint32_t total_ = 0;
  std::size_t original_size_ = 0;
  std::vector<std::uint32_t> used_before_;
  std::vector<biff::SstString> entries_;
  std::unordered_map<std::string, std::uint32_t> plain_;
};

}  // namespace ledgerix::engine
