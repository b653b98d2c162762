#include "bridges/process_settings.h"

#include <malloc.h>

namespace ledgerix {

void KeepFreedHeapForReuse() { mallopt(M_TRIM_THRESHOLD, 64 << 20); }

}  // namespace ledgerix
