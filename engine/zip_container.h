// A small read-only layer over libgsf's ZIP reader: the package parts of an Office Open XML
// file, read whole with a size cap.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/gsf_support.h"

namespace ledgerix::engine {

class ZipPackage {
 public:
  // Opens the archive in bytes, which must outlive the package. Throws BookError (kCorrupt)
  // when libgsf cannot read the ZIP directory.
  explicit ZipPackage(const std::string& bytes);

  // The bytes of the part named like "xl/workbook.xml" (no leading slash; matched exactly
  // first, then ignoring ASCII case); nullopt when there is no such part. Throws BookError:
  // kTooLarge when the part's stated size exceeds cap, kCorrupt when it cannot be inflated
  // to its stated size.
  std::optional<std::string> ReadPart(std::string_view name, std::size_t cap);
  bool HasPart(std::string_view name);

 private:
  GsfPtr<GsfInput> FindPart(std::string_view name);
  GsfPtr<GsfInput> FindPartInFolders(std::string_view name);

  GsfPtr<GsfInput> input_;
  GsfPtr<GsfInfile> zip_;
};

}  // namespace ledgerix::engine
