#include "engine/biff_codepage.h"

#include <iconv.h>

#include "bridges/utf8.h"
#include "engine/biff_cursor.h"

namespace ledgerix::engine::biff {

const char* IconvNameForCodePage(std::uint16_t code_page) {
  switch (code_page) {
    case 367:
      return "ASCII";
    case 437:
      return "CP437";
    case 720:
      return "CP720";
    case 737:
      return "CP737";
    case 775:
      return "CP775";
    case 850:
      return "CP850";
    case 852:
      return "CP852";
    case 855:
      return "CP855";
    case 857:
      return "CP857";
    case 858:
      return "CP858";
    case 860:
      return "CP860";
    case 861:
      return "CP861";
    case 862:
      return "CP862";
    case 863:
      return "CP863";
    case 864:
      return "CP864";
    case 865:
      return "CP865";
    case 866:
      return "CP866";
    case 869:
      return "CP869";
    case 874:
      return "CP874";
    case 932:
      return "CP932";
    case 936:
      return "GBK";
    case 949:
      return "CP949";
    case 950:
      return "CP950";
    case 1200:
      return "UTF-16LE";
    case 1250:
      return "CP1250";
    case 1251:
      return "CP1251";
    case 1252:
      return "CP1252";
    case 1253:
      return "CP1253";
    case 1254:
      return "CP1254";
    case 1255:
      return "CP1255";
    case 1256:
      return "CP1256";
    case 1257:
      return "CP1257";
    case 1258:
      return "CP1258";
    case 10000:
      return "MACINTOSH";
    case 10004:
      return "MAC-ARABIC";
    case 10005:
      return "MAC-HEBREW";
    case 10006:
      return "MAC-GREEK";
    case 10007:
      return "MAC-CYRILLIC";
    case 10029:
      return "MAC-CENTRALEUROPE";
    case 10079:
      return "MAC-IS";
    case 10081:
      return "MAC-TURKISH";
    case 32768:
      return "MACINTOSH";  // Apple Roman as Excel for Mac writes it
    case 32769:
      return "CP1252";  // "ANSI Latin I" in BIFF2-4 files
    default:
      return nullptr;
  }
}

CodePageDecoder::~CodePageDecoder() {
  if (primary_) iconv_close(static_cast<iconv_t>(primary_));
  if (fallback_) iconv_close(static_cast<iconv_t>(fallback_));
}

bool CodePageDecoder::SetCodePage(std::uint16_t code_page) {
  const char* name = IconvNameForCodePage(code_page);
  // BIFF5 text is 8-bit; a workbook claiming UTF-16 (1200) still stores single bytes, which
  // are then Latin-1.
  if (code_page == 1200) name = "ISO-8859-1";
  if (!name) return false;
  if (primary_) iconv_close(static_cast<iconv_t>(primary_));
  primary_ = nullptr;
  primary_name_ = name;
  code_page_ = code_page;
  return true;
}

bool CodePageDecoder::Convert(void*& handle, const char* from, std::string_view bytes,
                              std::string* out) {
  if (!handle) {
    iconv_t opened = iconv_open("UTF-8", from);
    if (opened == reinterpret_cast<iconv_t>(-1)) return false;
    handle = opened;
  }
  iconv_t cd = static_cast<iconv_t>(handle);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::size_t start = out->size();
  // Four UTF-8 bytes per input byte is the worst case for any of the tables above.
  out->resize(start + bytes.size() * 4 + 4);
  char* in = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  char* dst = out->data() + start;
  std::size_t out_left = out->size() - start;
  std::size_t rc = iconv(cd, &in, &in_left, &dst, &out_left);
  if (rc != static_cast<std::size_t>(-1)) rc = iconv(cd, nullptr, nullptr, &dst, &out_left);
  if (rc == static_cast<std::size_t>(-1) || in_left != 0) {
    out->resize(start);
    return false;
  }
  out->resize(static_cast<std::size_t>(dst - out->data()));
  return true;
}

bool CodePageDecoder::Decode(std::string_view bytes, std::string* out) {
  bool ascii = true;
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) {
    out->append(bytes);
    return true;
  }
  if (Convert(primary_, primary_name_, bytes, out)) return true;
  if (code_page_ != 0) return false;
  if (Convert(fallback_, "CP1252", bytes, out)) return true;
  for (char c : bytes) AppendUtf8(*out, static_cast<unsigned char>(c));
  return true;
}

}  // namespace ledgerix::engine::biff
