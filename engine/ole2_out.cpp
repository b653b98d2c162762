#include "engine/ole2_out.h"

#include <fcntl.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bridges/output_files.h"
#include "engine/book.h"
#include "engine/gsf_support.h"

namespace ledgerix::engine {
namespace {

[[noreturn]] void ContainerError(const std::string& what) {
  throw BookError("无法写入复合文档（" + what + "）");
}

// Copies the children of in into out; the stream called replace_name at the top level gets
// content instead of its own bytes.
void CopyStorage(GsfInfile* in, GsfOutfile* out, bool top, std::string_view replace_name,
                 std::string_view content, bool* replaced, int depth) {
  if (depth > 64) ContainerError("storages nested too deeply");
  int n = gsf_infile_num_children(in);
  for (int i = 0; i < n; ++i) {
    const char* raw = gsf_infile_name_by_index(in, i);
    std::string name = raw ? raw : "";
    GsfPtr<GsfInput> child(gsf_infile_child_by_index(in, i));
    if (!child) ContainerError("entry \"" + name + "\" cannot be opened");
    bool is_storage =
        GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0;
    GsfPtr<GsfOutput> target(gsf_outfile_new_child(out, name.c_str(), is_storage));
    if (!target) ContainerError("entry \"" + name + "\" cannot be created");
    if (is_storage) {
      guint8 clsid[16];
      if (GSF_IS_INFILE_MSOLE(child.get()) &&
          gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child.get()), clsid)) {
        gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(target.get()), clsid);
      }
      CopyStorage(GSF_INFILE(child.get()), GSF_OUTFILE(target.get()), false, replace_name, content,
                  replaced, depth + 1);
    } else if (top && g_ascii_strcasecmp(name.c_str(), std::string(replace_name).c_str()) == 0) {
      if (!gsf_output_write(target.get(), content.size(),
                            reinterpret_cast<const guint8*>(content.data()))) {
        ContainerError("stream \"" + name + "\" cannot be written");
      }
      *replaced = true;
    } else if (!gsf_input_copy(child.get(), target.get())) {
      ContainerError("stream \"" + name + "\" cannot be copied");
    }
    if (!gsf_output_close(target.get())) ContainerError("entry \"" + name + "\" not closed");
  }
}

}  // namespace

std::string ReplaceOle2Stream(const std::string& file_bytes, std::string_view stream_name,
                              std::string_view content) {
  GsfPtr<GsfInput> input = MemoryInput(file_bytes);
  GError* error = nullptr;
  GsfPtr<GsfInfile> root(gsf_infile_msole_new(input.get(), &error));
  if (!root) ContainerError("compound file: " + TakeGError(error));
  TakeGError(error);

  GsfPtr<GsfOutput> sink(gsf_output_memory_new());
  GsfPtr<GsfOutfile> out(gsf_outfile_msole_new(sink.get()));
  if (!out) ContainerError("compound file writer");
  guint8 clsid[16];
  if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(root.get()), clsid)) {
    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(out.get()), clsid);
  }
  bool replaced = false;
  CopyStorage(root.get(), out.get(), true, stream_name, content, &replaced, 0);
  if (!replaced) ContainerError("no stream \"" + std::string(stream_name) + "\"");
  if (!gsf_output_close(GSF_OUTPUT(out.get()))) ContainerError("compound file not closed");
  out.reset();
  gsf_off_t size = gsf_output_size(sink.get());
  const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
  if (size < 0 || (size > 0 && !bytes)) ContainerError("compound file buffer");
  // Closing the outfile closed the sink too.
  return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  try {
    ledgerix::WriteFileAtomically(path, bytes);
  } catch (const AutomationError& e) {
    throw BookError(e.what());
  }
}

}  // namespace ledgerix::engine
