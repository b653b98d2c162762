#include "engine/ole2_container.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>

#include "engine/book.h"
#include "engine/gsf_support.h"

namespace ledgerix::engine {

struct Ole2Container::Impl {
  GsfPtr<GsfInput> input;
  GsfPtr<GsfInfile> root;
};

Ole2Container::Ole2Container(const std::string& bytes) : impl_(std::make_unique<Impl>()) {
  impl_->input = MemoryInput(bytes);
  GError* error = nullptr;
  impl_->root.reset(gsf_infile_msole_new(impl_->input.get(), &error));
  if (!impl_->root) {
    std::string detail = TakeGError(error);
    throw BookError(std::string(kCorrupt) +
                    "（compound file: " + (detail.empty() ? "not readable" : detail) + "）");
  }
  TakeGError(error);
}

Ole2Container::~Ole2Container() = default;

std::vector<std::string> Ole2Container::StreamNames() const {
  std::vector<std::string> names;
  int n = gsf_infile_num_children(impl_->root.get());
  for (int i = 0; i < n; ++i) {
    const char* name = gsf_infile_name_by_index(impl_->root.get(), i);
    names.emplace_back(name ? name : "");
  }
  return names;
}

int Ole2Container::Find(const std::string& name) const {
  int n = gsf_infile_num_children(impl_->root.get());
  for (int i = 0; i < n; ++i) {
    const char* entry = gsf_infile_name_by_index(impl_->root.get(), i);
    if (entry && g_ascii_strcasecmp(entry, name.c_str()) == 0) return i;
  }
  return -1;
}

std::string Ole2Container::Read(int index, std::size_t max_bytes) const {
  GsfPtr<GsfInput> stream(gsf_infile_child_by_index(impl_->root.get(), index));
  const char* raw_name = gsf_infile_name_by_index(impl_->root.get(), index);
  std::string name = raw_name ? raw_name : "?";
  if (!stream) {
    throw BookError(std::string(kCorrupt) + "（compound file: stream \"" + name +
                    "\" cannot be opened）");
  }
  gsf_off_t size = gsf_input_size(stream.get());
  if (size < 0 || static_cast<std::uint64_t>(size) > max_bytes) {
    throw BookError(std::string(kCorrupt) + "（compound file: stream \"" + name + "\" claims " +
                    std::to_string(size) + " bytes, more than the " + std::to_string(max_bytes) +
                    " the file can hold）");
  }
  std::string bytes(static_cast<std::size_t>(size), '\0');
  std::size_t done = 0;
  constexpr std::size_t kChunk = 1 << 16;
  while (done < bytes.size()) {
    std::size_t n = std::min(kChunk, bytes.size() - done);
    if (!gsf_input_read(stream.get(), n, reinterpret_cast<guint8*>(bytes.data() + done))) {
      throw BookError(std::string(kCorrupt) + "（compound file: stream \"" + name +
                      "\" cannot be read past byte " + std::to_string(done) +
                      ": broken sector chain）");
    }
    done += n;
  }
  return bytes;
}

std::string ReadWorkbookStream(const std::string& file_bytes) {
  Ole2Container container(file_bytes);
  int index = container.Find("Workbook");
  if (index < 0) index = container.Find("Book");
  if (index < 0) {
    if (container.Find("EncryptedPackage") >= 0) {
      throw BookError(std::string(kEncrypted) + "（encrypted Office Open XML package）");
    }
    throw BookError(std::string(kNotAWorkbook) +
                    "（compound file without a Workbook or Book stream）");
  }
  // A stream is stored in the file's own sectors, so it cannot be larger than the file.
  return container.Read(index, file_bytes.size());
}

}  // namespace ledgerix::engine
