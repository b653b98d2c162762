#include "engine/zip_container.h"

#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input.h>

#include <algorithm>
#include <cstring>

#include "engine/book.h"

namespace ledgerix::engine {
namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The child of dir called name; producers differ in the case of part names ("[Content_Types]",
// "xl/SharedStrings.xml"), and the package model says names compare without case.
GsfPtr<GsfInput> ChildOf(GsfInfile* dir, const std::string& name) {
  if (GsfInput* exact = gsf_infile_child_by_name(dir, name.c_str())) {
    return GsfPtr<GsfInput>(exact);
  }
  int n = gsf_infile_num_children(dir);
  for (int i = 0; i < n; ++i) {
    const char* child = gsf_infile_name_by_index(dir, i);
    if (child && EqualsIgnoringAsciiCase(child, name)) {
      GsfPtr<GsfInput> found(gsf_infile_child_by_index(dir, i));
      // Listed in the central directory but unreadable (bad local header): damage, not absence.
      if (!found) throw BookError(std::string(kCorrupt) + "（ZIP entry " + child + " unreadable）");
      return found;
    }
  }
  return nullptr;
}

}  // namespace

ZipPackage::ZipPackage(const std::string& bytes)
    : package_bytes_(bytes.size()), input_(MemoryInput(bytes)) {
  if (!input_) throw BookError(std::string(kCorrupt) + "（cannot wrap the file in memory）");
  GError* error = nullptr;
  zip_.reset(gsf_infile_zip_new(input_.get(), &error));
  std::string message = TakeGError(error);
  if (!zip_) {
    throw BookError(std::string(kCorrupt) + "（ZIP directory unreadable" +
                    (message.empty() ? "" : ": " + message) + "）");
  }
}

GsfPtr<GsfInput> ZipPackage::FindPart(std::string_view name) {
  if (GsfPtr<GsfInput> part = FindPartInFolders(name)) return part;
  // Some writers store "xl\\workbook.xml": one name at the top level, not a path of folders.
  int n = gsf_infile_num_children(zip_.get());
  for (int i = 0; i < n; ++i) {
    const char* child = gsf_infile_name_by_index(zip_.get(), i);
    if (!child || !std::strchr(child, '\\')) continue;
    std::string slashed(child);
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    if (EqualsIgnoringAsciiCase(slashed, name)) {
      return GsfPtr<GsfInput>(gsf_infile_child_by_index(zip_.get(), i));
    }
  }
  return nullptr;
}

GsfPtr<GsfInput> ZipPackage::FindPartInFolders(std::string_view name) {
  GsfPtr<GsfInput> current;
  GsfInfile* dir = zip_.get();
  while (!name.empty()) {
    std::size_t slash = name.find('/');
    std::string component(name.substr(0, slash));
    name = slash == std::string_view::npos ? std::string_view() : name.substr(slash + 1);
    if (component.empty()) continue;
    if (!dir) return nullptr;  // a file where a folder was expected
    current = ChildOf(dir, component);
    if (!current) return nullptr;
    dir = GSF_IS_INFILE(current.get()) && gsf_infile_num_children(GSF_INFILE(current.get())) >= 0
              ? GSF_INFILE(current.get())
              : nullptr;
  }
  // A folder is not a part.
  if (current && dir) return nullptr;
  return current;
}

bool ZipPackage::HasPart(std::string_view name) { return FindPart(name) != nullptr; }

GsfPtr<GsfInput> ZipPackage::CheckedPart(std::string_view name, std::uint64_t cap,
                                         std::uint64_t* size) {
  GsfPtr<GsfInput> part = FindPart(name);
  if (!part) return nullptr;
  gsf_off_t stated = gsf_input_size(part.get());
  if (stated < 0) {
    throw BookError(std::string(kCorrupt) + "（part " + std::string(name) + ": negative size）");
  }
  *size = static_cast<std::uint64_t>(stated);
  if (*size > cap) {
    throw BookError(std::string(kTooLarge) + "（part " + std::string(name) + " states " +
                    std::to_string(*size) + " bytes, limit " + std::to_string(cap) + "）");
  }
  // The whole package bounds the part's compressed size, so the true ratio is at least this.
  if (*size > kRatioCheckedBytes && *size / kMaxInflateRatio >= package_bytes_) {
    throw BookError(std::string(kTooLarge) + "（part " + std::string(name) + " states " +
                    std::to_string(*size) + " bytes from a package of " +
                    std::to_string(package_bytes_) + " bytes, limit " +
                    std::to_string(kMaxInflateRatio) + " times the package）");
  }
  return part;
}

std::optional<PartStream> ZipPackage::OpenPart(std::string_view name, std::uint64_t cap) {
  std::uint64_t size = 0;
  GsfPtr<GsfInput> part = CheckedPart(name, cap, &size);
  if (!part) return std::nullopt;
  return PartStream(std::move(part), std::string(name), size);
}

std::size_t PartStream::Read(char* buf, std::size_t n) {
  std::uint64_t left = size_ - read_;
  if (left == 0 || n == 0) return 0;
  std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, n));
  if (!gsf_input_read(input_.get(), chunk, reinterpret_cast<guint8*>(buf))) {
    throw BookError(std::string(kCorrupt) + "（part " + name_ +
                    " cannot be inflated to its stated " + std::to_string(size_) + " bytes）");
  }
  read_ += chunk;
  return chunk;
}

std::optional<std::string> ZipPackage::ReadPart(std::string_view name, std::size_t cap) {
  std::uint64_t stated = 0;
  GsfPtr<GsfInput> part = CheckedPart(name, cap, &stated);
  if (!part) return std::nullopt;
  auto size = static_cast<std::size_t>(stated);
  std::string bytes(size, '\0');
  if (size > 0 && !gsf_input_read(part.get(), size, reinterpret_cast<guint8*>(bytes.data()))) {
    throw BookError(std::string(kCorrupt) + "（part " + std::string(name) +
                    " cannot be inflated to its stated " + std::to_string(size) + " bytes）");
  }
  return bytes;
}

}  // namespace ledgerix::engine
