// The file side of writing a workbook: a compound file rebuilt with one stream replaced, and the
// atomic replacement of a file on disk.
#pragma once

#include <string>
#include <string_view>

namespace ledgerix::engine {

// A copy of the compound file in file_bytes in which the top-level stream named stream_name
// (ASCII case ignored) holds content; every other stream and storage, with the class ids, is
// copied byte for byte. Throws BookError when the container cannot be read or written.
std::string ReplaceOle2Stream(const std::string& file_bytes, std::string_view stream_name,
                              std::string_view content);

// Writes bytes to path through a temporary file in the same folder that is renamed over path
// only once it is complete; a failure leaves whatever was at path untouched. Throws BookError.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace ledgerix::engine
