// libFuzzer target for the .xlsx reader: open from memory, then read every cell of every
// worksheet. A BookError is the expected way to refuse bad input; anything else (a crash, a
// sanitizer report, another exception) is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/book.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ledgerix::engine;
  try {
    std::unique_ptr<Book> book =
        OpenBookFromMemory("fuzz.xlsx", std::string(reinterpret_cast<const char*>(data), size));
    for (std::size_t i = 0; i < book->sheets().size(); ++i) {
      try {
        std::size_t seen = 0;
        book->Cells(static_cast<int>(i))
            .ForEach([&](std::uint32_t, std::uint32_t, const ledgerix::Variant& v) {
              if (!v.IsEmpty()) ++seen;
            });
        (void)seen;
      } catch (const BookError&) {
        // One damaged sheet does not stop the others from being read.
      }
    }
  } catch (const BookError&) {
  }
  return 0;
}
