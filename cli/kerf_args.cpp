// kerf's argument parser (see kerf_args.h).
#include "cli/kerf_args.h"

bool parse_args(const std::vector<std::string>& args, size_t first, const ArgDesc& desc, Args& out,
                std::string& error) {
  out = Args{};
  for (size_t i = first; i < args.size(); ++i) {
    std::string a = args[i];
    if (a == "--") {
      for (++i; i < args.size(); ++i) out.positional.push_back(args[i]);
      break;
    }
    if (a.size() < 2 || a[0] != '-') {
      out.positional.push_back(a);
      continue;
    }
    std::string name, value;
    bool hasValue = false;
    if (a == "-o") {
      name = "output";
    } else if (a == "-h") {
      name = "help";
    } else if (a.rfind("--", 0) == 0) {
      name = a.substr(2);
      const size_t eq = name.find('=');
      if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name = name.substr(0, eq);
        hasValue = true;
      }
    } else {
      error = "unknown option " + a;
      return false;
    }
    if (out.has(name) && !desc.repeated.count(name)) {
      error = "--" + name + " is given twice";
      return false;
    }
    if (desc.flags.count(name)) {
      if (hasValue) {
        error = "--" + name + " takes no value";
        return false;
      }
      out.flags.insert(name);
    } else if (desc.valued.count(name)) {
      if (!hasValue) {
        if (i + 1 >= args.size()) {
          error = "--" + name + " needs a value";
          return false;
        }
        value = args[++i];
      }
      out.values[name] = value;
      out.lists[name].push_back(value);
    } else {
      error = "unknown option " + a;
      return false;
    }
  }
  return true;
}
