#include "bridges/process_settings.h"

#include <malloc.h>

namespace ledgerix {

void KeepFreedHeapForReuse() {
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  // Setting the trim threshold also freezes glibc's mmap threshold at 128 KB, so every block
  // above it (each PDF stream's deflate state, font tables) was mapped and unmapped afresh:
  // five times the page faults of a print batch. Blocks up to 4 MB come from the heap instead.
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
}

}  // namespace ledgerix
