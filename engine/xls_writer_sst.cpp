#include "engine/xls_writer_sst.h"

#include "bridges/utf8.h"
#include "engine/book.h"

namespace ledgerix::engine {

void XlsSharedStrings::Read(std::string_view stream, const std::vector<biff::Record>& records,
                            std::size_t index) {
  present_ = true;
  biff::SstCounts counts;
  biff::ReadSst(stream, records, index, &counts, [&](biff::SstString&& s) { Add(std::move(s)); });
  total_ = counts.total;
  original_size_ = entries_.size();
  used_before_.assign(original_size_, 0);
}

bool XlsSharedStrings::IndexOf(const biff::OutRecord& r, std::uint32_t* index) const {
  if (r.payload.size() < 10) return false;
  *index = biff::Cursor(r).U32At(6);
  return *index < entries_.size();
}

void XlsSharedStrings::CountUses(std::string_view stream,
                                 const std::vector<biff::Record>& records) {
  for (const biff::Record& r : records) {
    if (r.id != biff::kLabelSst) continue;
    std::uint32_t index = 0;
    if (IndexOf(biff::Copy(stream, r), &index) && index < original_size_) {
      ++used_before_[index];
    } else {
      damaged_ = true;
    }
  }
}

std::uint32_t XlsSharedStrings::Intern(const std::string& text) {
  auto it = plain_.find(text);
  if (it != plain_.end()) return it->second;
  biff::SstString e;
  e.chars = Utf8ToUtf16(text);
  if (e.chars.size() > 32767) {
    biff::ThrowUnsupported("text longer than 32767 characters");
  }
  for (char16_t c : e.chars) e.high_byte = e.high_byte || c > 0xFF;
  Add(std::move(e));
  return static_cast<std::uint32_t>(entries_.size() - 1);
}

void XlsSharedStrings::Add(biff::SstString e) {
  if (e.runs.empty() && e.phonetic.empty()) {
    std::string text;
    biff::AppendUtf16(e.chars, &text);
    plain_.emplace(std::move(text), static_cast<std::uint32_t>(entries_.size()));
  }
  entries_.push_back(std::move(e));
}

void XlsSharedStrings::Collect(const std::vector<std::vector<biff::OutRecord>*>& substreams) {
  std::vector<std::uint32_t> used_after(entries_.size(), 0);
  std::uint32_t labels = 0;
  bool damaged = damaged_;
  for (const std::vector<biff::OutRecord>* records : substreams) {
    for (const biff::OutRecord& r : *records) {
      if (r.id != biff::kLabelSst) continue;
      ++labels;
      std::uint32_t index = 0;
      if (IndexOf(r, &index)) {
        ++used_after[index];
      } else {
        damaged = true;
      }
    }
  }
  total_ = labels;
  if (damaged) return;
  // A string the template holds but no cell ever used stays: it may be there on purpose.
  std::vector<std::uint32_t> renumbered(entries_.size());
  std::vector<biff::SstString> kept;
  bool moved = false;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    bool was_used = i >= original_size_ || used_before_[i] > 0;
    if (was_used && used_after[i] == 0) {
      moved = true;
      continue;
    }
    renumbered[i] = static_cast<std::uint32_t>(kept.size());
    kept.push_back(std::move(entries_[i]));
  }
  if (!moved) {
    entries_ = std::move(kept);
    return;
  }
  for (std::vector<biff::OutRecord>* records : substreams) {
    for (biff::OutRecord& r : *records) {
      if (r.id != biff::kLabelSst) continue;
      biff::SetU32(r.payload, 6, renumbered[biff::Cursor(r).U32At(6)]);
    }
  }
  entries_.clear();
  plain_.clear();
  for (biff::SstString& e : kept) Add(std::move(e));
  original_size_ = entries_.size();
  used_before_.assign(original_size_, 0);
}

std::vector<biff::OutRecord> XlsSharedStrings::Write(std::vector<biff::SstBucket>* buckets) const {
  return biff::WriteSst(total_, entries_, buckets);
}

}  // namespace ledgerix::engine
