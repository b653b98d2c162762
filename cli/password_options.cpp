#include "cli/password_options.h"

#include <fstream>

namespace ledgerix {

OptionTaken TakePasswordOption(const std::vector<std::string>& args, std::size_t* i,
                               std::vector<std::string>* passwords, std::string* problem) {
  const std::string& option = args[*i];
  if (option != "--password" && option != "--password-file") return OptionTaken::kNotOne;
  if (*i + 1 >= args.size()) {
    *problem = option + (option == "--password" ? " needs a value" : " needs a file");
    return OptionTaken::kBad;
  }
  const std::string& value = args[++*i];
  if (option == "--password") {
    passwords->push_back(value);
    return OptionTaken::kTaken;
  }
  std::ifstream in(value, std::ios::binary);
  if (!in) {
    *problem = "cannot read the password file " + value;
    return OptionTaken::kBad;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Blank lines separate nothing and would only be tried as an empty password.
    if (!line.empty()) passwords->push_back(line);
  }
  if (in.bad()) {
    *problem = "cannot read the password file " + value;
    return OptionTaken::kBad;
  }
  return OptionTaken::kTaken;
}

}  // namespace ledgerix
