// The password options every command that opens workbooks takes: --password TEXT (repeatable)
// and --password-file FILE (one password a line).
#pragma once

#include <string>
#include <vector>

namespace ledgerix {

// The usage lines of the options, for a command's help text.
inline constexpr const char* kPasswordOptionsUsage =
    R"(  --password TEXT       a password for encrypted workbooks; may be given more than once.
                        "VelvetSweatshop" (the spreadsheet default) is always tried first
  --password-file FILE  passwords for encrypted workbooks, one a line (UTF-8)
)";

// What reading one command-line option did; every command's own options answer the same way.
enum class OptionTaken { kNotOne, kTaken, kBad };

// Looks at args[*i]: for a password option, consumes it and its value (moving *i on to the
// value) and appends the passwords in the order given. kBad with *problem set for a missing
// value or an unreadable file; kNotOne, nothing touched, for any other argument.
OptionTaken TakePasswordOption(const std::vector<std::string>& args, std::size_t* i,
                               std::vector<std::string>* passwords, std::string* problem);

}  // namespace ledgerix
