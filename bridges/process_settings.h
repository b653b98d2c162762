// Settings that belong to the whole process, made once by each program at start-up (never by a
// library on a caller's behalf).
#pragma once

namespace ledgerix {

// Opening a workbook allocates a few hundred KB (inflate windows, XML pages) and frees them at
// close; glibc then gives the heap top back to the system and takes it again for the next
// workbook, page faults and all, which halved batch throughput. Keeps up to 64 MB instead, and
// serves blocks up to 4 MB from that heap rather than mapping each one.
void KeepFreedHeapForReuse();

}  // namespace ledgerix
