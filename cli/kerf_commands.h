// kerf's commands; argv is the whole command line (argv[1] is the command's name). Each returns
// the exit status.
#pragma once
#include <string>
#include <vector>

int kerf_cut(const std::vector<std::string>& argv);
int kerf_scan(const std::vector<std::string>& argv);
