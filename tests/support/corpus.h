// The real workbooks beside the checkout (../shared/corpus), for the tests named *Corpus*: they
// skip only when the folder is missing.
#pragma once

#include <algorithm>
#include <filesystem>
#include <vector>

namespace ledgerix::testing {

inline std::filesystem::path CorpusDir() {
  return std::filesystem::path(LEDGERIX_SOURCE_DIR) / ".." / "shared" / "corpus";
}

// The files of one folder in name order, so every run visits them alike.
inline std::vector<std::filesystem::path> SortedFiles(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace ledgerix::testing
