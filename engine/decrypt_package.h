// Encrypted Office Open XML packages: a compound file holding "EncryptionInfo" and
// "EncryptedPackage", with standard (AES, SHA-1) or agile encryption.
#pragma once

#include <optional>
#include <string>

namespace ledgerix::engine {

// The decrypted package (ZIP bytes) of the compound file in file_bytes; nullopt when it holds
// no EncryptedPackage stream. The password is found as TryWorkbookPasswords does; for agile
// encryption the package's HMAC is checked. Throws BookError: the wrong-password text,
// kEncrypted for a method or algorithm that cannot be read or a header too short to be read,
// kCorrupt for impossible header values, a short package or a failed integrity check. path names
// the file in messages.
std::optional<std::string> DecryptPackage(const std::string& file_bytes, const std::string& path);

}  // namespace ledgerix::engine
