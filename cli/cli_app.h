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

namespace engine {
class Book;
}

// The workbook as the converters see it, as one line of JSON. With shown, each cell's entry
// gains a third element: the text the cell shows (its number format applied, without
// column-width effects).
std::string DumpWorkbookJson(const std::string& path, bool shown = false);
// The same for a workbook already open; path is what the "file" field says.
std::string DumpBookJson(engine::Book& book, const std::string& path, bool shown);

}  // namespace ledgerix
