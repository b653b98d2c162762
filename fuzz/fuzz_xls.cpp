// libFuzzer target for the .xls reader (OLE2 container, BIFF records): open from memory, then
// read every cell of every worksheet. A BookError is the expected way to refuse bad input;
// anything else (a crash, a sanitizer report, another exception, a hang) is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/book.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ledgerix::engine;
  try {
    std::unique_ptr<Book> book =
        OpenBookFromMemory("fuzz.xls", std::string(reinterpret_cast<const char*>(data), size));
    for (std::size_t i = 0; i < book->sheets().size(); ++i) {
      try {
        std::size_t cells = 0;
        book->Cells(static_cast<int>(i))
            .ForEach([&](std::uint32_t, std::uint32_t, const ledgerix::Variant& v) {
              if (v.type() == ledgerix::Variant::Type::String) cells += v.string().size();
            });
        (void)cells;
      } catch (const BookError&) {
        // One damaged sheet does not stop the others from being read.
      }
    }
    (void)book->active_sheet();
  } catch (const BookError&) {
  }
  return 0;
}
