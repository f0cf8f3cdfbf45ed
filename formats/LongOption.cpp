#include "LongOption.h"

bool SplitLongOption(const std::vector<std::string>& args, size_t& k, std::string& name, std::string& value,
                     std::string& error) {
  const std::string& arg = args[k];
  const size_t eq = arg.find('=');
  if (eq != std::string::npos) {
    name = arg.substr(0, eq);
    value = arg.substr(eq + 1);
    return true;
  }
  name = arg;
  if (k + 1 < args.size()) {
    value = args[++k];
    return true;
  }
  error = "option " + name + " needs a value";
  return false;
}
