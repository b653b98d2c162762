// Text of BIFF2-5 workbooks: bytes in the workbook's code page (CODEPAGE record), decoded to
// UTF-8 through iconv.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ledgerix::engine::biff {

// The iconv name for a CODEPAGE value (936 -> "GBK", 1252 -> "CP1252", 10000 -> "MACINTOSH");
// nullptr for a value with no known table.
const char* IconvNameForCodePage(std::uint16_t code_page);

// Decodes byte strings of one workbook. Without a CODEPAGE record the workbook is taken to be
// in GBK, the code page of the Chinese Windows systems that wrote our users' files; a string
// that is not valid GBK is then read as CP1252 (then Latin-1), as western files without the
// record are. With a CODEPAGE record a string that does not decode is an error.
class CodePageDecoder {
 public:
  CodePageDecoder() = default;
  ~CodePageDecoder();
  CodePageDecoder(const CodePageDecoder&) = delete;
  CodePageDecoder& operator=(const CodePageDecoder&) = delete;

  // Sets the code page from a CODEPAGE record. False when it has no table (then the default
  // guess stays in force).
  bool SetCodePage(std::uint16_t code_page);
  // Appends bytes as UTF-8; false when they are not valid in the code page.
  bool Decode(std::string_view bytes, std::string* out);
  std::uint16_t code_page() const { return code_page_; }

 private:
  bool Convert(void*& handle, const char* from, std::string_view bytes, std::string* out);
  std::uint16_t code_page_ = 0;  // 0: no CODEPAGE record
  void* primary_ = nullptr;      // iconv_t, opened on first use
  void* fallback_ = nullptr;
  const char* primary_name_ = "GBK";
};

}  // namespace ledgerix::engine::biff
