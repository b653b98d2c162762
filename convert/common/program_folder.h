// The folder of the program file, with its trailing separator, fixed at start-up. It holds the
// help and licence documents and the local-tax template workbooks.
#pragma once

#include <string>

namespace ledgerix {

const std::string& ProgramFolder();
void SetProgramFolder(std::string folder);
// The folder of the running executable (its real path) with a trailing separator; empty when
// it cannot be had.
std::string ExecutableFolder();

}  // namespace ledgerix
