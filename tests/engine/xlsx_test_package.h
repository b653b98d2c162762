// Builds small packages in memory for the .xlsx reader's tests: a ZIP of named parts, and an
// OLE2 compound file of named streams (the container of an encrypted package).
#pragma once

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile-zip.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace ledgerix::engine::testing {

using Parts = std::vector<std::pair<std::string, std::string>>;

namespace detail {

// Writes each name ("xl/worksheets/sheet1.xml") below root, creating folders on the way.
inline void WriteTree(GsfOutfile* root, const Parts& parts) {
  std::map<std::string, GsfOutfile*> folders;
  std::vector<GsfOutput*> opened;
  for (const auto& [name, bytes] : parts) {
    GsfOutfile* dir = root;
    std::string path;
    std::size_t start = 0;
    for (std::size_t slash; (slash = name.find('/', start)) != std::string::npos;
         start = slash + 1) {
      path += name.substr(start, slash - start) + "/";
      auto it = folders.find(path);
      if (it == folders.end()) {
        GsfOutput* child =
            gsf_outfile_new_child(dir, name.substr(start, slash - start).c_str(), TRUE);
        opened.push_back(child);
        it = folders.emplace(path, GSF_OUTFILE(child)).first;
      }
      dir = it->second;
    }
    GsfOutput* file = gsf_outfile_new_child(dir, name.substr(start).c_str(), FALSE);
    gsf_output_write(file, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
    gsf_output_close(file);
    g_object_unref(file);
  }
  // Folders close children first: the deepest were opened last.
  for (auto it = opened.rbegin(); it != opened.rend(); ++it) {
    gsf_output_close(*it);
    g_object_unref(*it);
  }
}

inline std::string Finish(GsfOutput* memory, GsfOutfile* root) {
  gsf_output_close(GSF_OUTPUT(root));
  g_object_unref(root);
  std::string bytes(
      reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory))),
      static_cast<std::size_t>(gsf_output_size(memory)));
  g_object_unref(memory);
  return bytes;
}

}  // namespace detail

inline std::string BuildZip(const Parts& parts) {
  gsf_init();
  GsfOutput* memory = gsf_output_memory_new();
  GError* error = nullptr;
  GsfOutfile* zip = gsf_outfile_zip_new(memory, &error);
  if (!zip) throw std::runtime_error("gsf_outfile_zip_new failed");
  detail::WriteTree(zip, parts);
  return detail::Finish(memory, zip);
}

inline std::string BuildCompoundFile(const Parts& streams) {
  gsf_init();
  GsfOutput* memory = gsf_output_memory_new();
  GsfOutfile* ole = gsf_outfile_msole_new(memory);
  detail::WriteTree(ole, streams);
  return detail::Finish(memory, ole);
}

inline constexpr const char* kRelsNs =
    "http://schemas.openxmlformats.org/package/2006/relationships";
inline constexpr const char* kRelType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
inline constexpr const char* kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// The parts of a one-sheet workbook: sheetData holds sheet_data, the shared strings si_items
// (no sharedStrings part when empty).
inline Parts OneSheetPackage(const std::string& sheet_data, const std::string& si_items = "",
                             const std::string& workbook_extra = "") {
  std::string rels = std::string("<Relationships xmlns=\"") + kRelsNs +
                     "\"><Relationship Id=\"rId1\" Type=\"" + kRelType +
                     "worksheet\" Target=\"worksheets/sheet1.xml\"/>";
  if (!si_items.empty()) {
    rels += std::string("<Relationship Id=\"rId2\" Type=\"") + kRelType +
            "sharedStrings\" Target=\"sharedStrings.xml\"/>";
  }
  rels += "</Relationships>";
  Parts parts = {
      {"_rels/.rels", std::string("<Relationships xmlns=\"") + kRelsNs +
                          "\"><Relationship Id=\"rId1\" Type=\"" + kRelType +
                          "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml",
       std::string("<workbook xmlns=\"") + kMainNs +
           "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">" +
           workbook_extra +
           "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels", rels},
      {"xl/worksheets/sheet1.xml", std::string("<worksheet xmlns=\"") + kMainNs + "\"><sheetData>" +
                                       sheet_data + "</sheetData></worksheet>"},
  };
  if (!si_items.empty()) {
    parts.push_back({"xl/sharedStrings.xml",
                     std::string("<sst xmlns=\"") + kMainNs + "\">" + si_items + "</sst>"});
  }
  return parts;
}

}  // namespace ledgerix::engine::testing
