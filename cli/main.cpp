#include <unistd.h>

#include <iostream>

#include "bridges/output_files.h"
#include "bridges/process_settings.h"
#include "cli/cli_app.h"

int main(int argc, char** argv) {
  // Ctrl-C, kill or a closed terminal must not leave half-written outputs in the save folder.
  ledgerix::InstallTemporaryFileCleanup();
  ledgerix::KeepFreedHeapForReuse();
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  int status = ledgerix::RunCli(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
  std::cout.flush();
  return status;
}
