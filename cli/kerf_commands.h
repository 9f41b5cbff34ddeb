// kerf's commands; argv is the whole command line (argv[1] is the command's name). Each returns
// the exit status.
#pragma once
#include <string>
#include <vector>

int Info(const std::vector<std::string>& argv);
int Cut(const std::vector<std::string>& argv);
int Scan(const std::vector<std::string>& argv);
int Frame(const std::vector<std::string>& argv);
int Serve(const std::vector<std::string>& argv);
// In a build without the commercial finder (no audio library) it says so and returns kExitUsage.
int Cm(const std::vector<std::string>& argv);
