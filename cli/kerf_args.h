// A small parser for kerf's arguments: one command word, positional arguments, "--name value"
// options (also "--name=value"), flags, and "-o" as a short form of "--output".
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

struct ArgDesc {
  std::set<std::string> valued;   // option names that take a value, without the dashes
  std::set<std::string> flags;    // option names without a value
  std::set<std::string> repeated = {};   // valued options that may be given several times
};

struct Args {
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;          // the last value of each option
  std::map<std::string, std::vector<std::string>> lists;   // every value, in order
  std::set<std::string> flags;

  bool has(const std::string& name) const { return values.count(name) || flags.count(name); }
  std::string value(const std::string& name, const std::string& otherwise = "") const {
    auto it = values.find(name);
    return it == values.end() ? otherwise : it->second;
  }
  std::vector<std::string> all(const std::string& name) const {
    auto it = lists.find(name);
    return it == lists.end() ? std::vector<std::string>() : it->second;
  }
};

// Parses args[first..]; false with error set on an unknown option, a missing value or an option
// given twice that may not be.
bool parse_args(const std::vector<std::string>& args, size_t first, const ArgDesc& desc, Args& out,
                std::string& error);
