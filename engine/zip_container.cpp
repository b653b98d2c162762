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

ZipPackage::ZipPackage(const std::string& bytes) : input_(MemoryInput(bytes)) {
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

std::optional<std::string> ZipPackage::ReadPart(std::string_view name, std::size_t cap) {
  GsfPtr<GsfInput> part = FindPart(name);
  if (!part) return std::nullopt;
  gsf_off_t size = gsf_input_size(part.get());
  if (size < 0) {
    throw BookError(std::string(kCorrupt) + "（part " + std::string(name) + ": negative size）");
  }
  if (static_cast<std::uint64_t>(size) > cap) {
    throw BookError(std::string(kTooLarge) + "（part " + std::string(name) + " states " +
                    std::to_string(size) + " bytes, limit " + std::to_string(cap) + "）");
  }
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (size > 0 && !gsf_input_read(part.get(), static_cast<std::size_t>(size),
                                  reinterpret_cast<guint8*>(bytes.data()))) {
    throw BookError(std::string(kCorrupt) + "（part " + std::string(name) +
                    " cannot be inflated to its stated " + std::to_string(size) + " bytes）");
  }
  return bytes;
}

}  // namespace ledgerix::engine
