// Replays a fuzz target over files without libFuzzer, so any compiler and plain ctest can run
// a saved corpus: every argument is a file or a folder (walked recursively).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Present only under LeakSanitizer: checking after every input names the input that leaked,
// where the check at exit would only say that something did.
extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace {

bool RunFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return false;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  // LeakSanitizer reports every leak still present, so only the first input that leaks can be
  // named; after it the check at exit still counts the rest.
  static bool leaked = false;
  if (!leaked && __lsan_do_recoverable_leak_check && __lsan_do_recoverable_leak_check() != 0) {
    std::fprintf(stderr, "leak while reading %s\n", path.c_str());
    leaked = true;
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t runs = 0;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path arg(argv[i]);
    std::error_code ec;
    if (std::filesystem::is_directory(arg, ec)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(arg, ec)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
      if (ec) {
        std::fprintf(stderr, "cannot list %s: %s\n", argv[i], ec.message().c_str());
        ok = false;
      }
      std::sort(files.begin(), files.end());  // a stable order makes a failing run repeatable
      for (const auto& file : files) {
        ok = RunFile(file) && ok;
        ++runs;
      }
    } else {
      ok = RunFile(arg) && ok;
      ++runs;
    }
  }
  std::printf("replayed %zu inputs\n", runs);
  return ok ? 0 : 1;
}
