// ledgerix-cli: the conversion run and the workbook dump from the command line.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ledgerix {

// Runs the command with args (without the program name). Exit status: 0 the batch ran to its
// end (or the dump was printed), 1 an error ended it, 2 a usage error.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool progress_on_terminal);

// The workbook as the converters see it, as one line of JSON.
std::string DumpWorkbookJson(const std::string& path);

}  // namespace ledgerix
