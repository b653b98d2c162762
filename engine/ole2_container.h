// The OLE2 compound-file layer (through libgsf's msole reader): the top-level streams of a
// compound file and their bytes. Knows nothing of what the streams hold.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace ledgerix::engine {

class Ole2Container {
 public:
  // Opens the compound file in bytes, which must outlive the container. Throws
  // BookError(kCorrupt) when libgsf rejects the container.
  explicit Ole2Container(const std::string& bytes);
  ~Ole2Container();
  Ole2Container(const Ole2Container&) = delete;
  Ole2Container& operator=(const Ole2Container&) = delete;

  // Names of the top-level entries, as stored (names may hold control characters).
  std::vector<std::string> StreamNames() const;
  // Index of the top-level entry whose name equals name without regard to ASCII case; -1 for
  // none.
  int Find(const std::string& name) const;
  // The whole stream at index. A stream larger than max_bytes, or one whose sectors cannot be
  // read (broken or cyclic chains), throws BookError naming the stream.
  std::string Read(int index, std::size_t max_bytes) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The workbook stream of an .xls compound file: "Workbook" (BIFF8) or else "Book" (BIFF5/7).
// Throws BookError: kEncrypted for an encrypted OOXML package ("EncryptedPackage"),
// kNotAWorkbook when there is no workbook stream, kCorrupt for a broken container.
std::string ReadWorkbookStream(const std::string& file_bytes);

}  // namespace ledgerix::engine
