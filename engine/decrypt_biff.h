// Encrypted .xls workbook streams (a FILEPASS record in the first substream): XOR obfuscation,
// RC4 and CryptoAPI RC4, decrypted record by record.
#pragma once

#include <string>

namespace ledgerix::engine {

// When stream's first substream holds FILEPASS: finds the password (see TryWorkbookPasswords),
// decrypts every record the format encrypts, in place, and takes FILEPASS out (moving the
// sheet offsets of BOUNDSHEET with it), leaving a plain stream the reader and writer take as
// any other. Returns false, stream untouched, when there is no FILEPASS. Throws BookError:
// the wrong-password text, kEncrypted for a method that cannot be read or a FILEPASS too short
// to be read. path names the file in messages.
bool DecryptBiffStream(std::string& stream, const std::string& path);

}  // namespace ledgerix::engine
