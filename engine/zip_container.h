// A small read-only layer over libgsf's ZIP reader: the package parts of an Office Open XML
// file, read whole with a size cap, or streamed in pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/gsf_support.h"

namespace ledgerix::engine {

// Parts stating more than this must stay within kMaxInflateRatio times the whole package:
// real sheets deflate some 5 to 30 times, a bomb a thousand.
inline constexpr std::uint64_t kRatioCheckedBytes = 32u << 20;
inline constexpr std::uint64_t kMaxInflateRatio = 200;

// One part read front to back in pieces, inflated as it is read and never held whole.
class PartStream {
 public:
  PartStream(GsfPtr<GsfInput> input, std::string name, std::uint64_t size)
      : input_(std::move(input)), name_(std::move(name)), size_(size) {}
  // Up to n bytes into buf; 0 at the end of the part. Throws BookError (kCorrupt) when the
  // part cannot be inflated to its stated size.
  std::size_t Read(char* buf, std::size_t n);
  const std::string& name() const { return name_; }
  std::uint64_t size() const { return size_; }

 private:
  GsfPtr<GsfInput> input_;
  std::string name_;
  std::uint64_t size_;
  std::uint64_t read_ = 0;
};

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
  // The same part as a stream: nothing is inflated yet. Throws BookError: kTooLarge when the
  // stated size exceeds cap, or exceeds kRatioCheckedBytes and kMaxInflateRatio times the
  // package.
  std::optional<PartStream> OpenPart(std::string_view name, std::uint64_t cap);
  bool HasPart(std::string_view name);

 private:
  GsfPtr<GsfInput> FindPart(std::string_view name);
  GsfPtr<GsfInput> FindPartInFolders(std::string_view name);
  // The part with its stated size checked against cap and the ratio; null when absent.
  GsfPtr<GsfInput> CheckedPart(std::string_view name, std::uint64_t cap, std::uint64_t* size);

  std::uint64_t package_bytes_;

  GsfPtr<GsfInput> input_;
  GsfPtr<GsfInfile> zip_;
};

}  // namespace ledgerix::engine
