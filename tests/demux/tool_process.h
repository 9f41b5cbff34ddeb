// Runs the built demux tool as its caller does: a copy of the program in a temporary program
// folder, started with a command line, its standard output captured as bytes.
#pragma once
#include <string>
#include <vector>

struct ToolResult {
  std::string out;        // standard output, byte for byte
  int exitStatus = -1;
  bool started = false;
};

// Path of the tool the build made (KERF_BUILD_DIR/bin/kerfdmx or KERFDMX.EXE).
std::string built_tool_path();
// Copies the built tool into folder; returns the copy's path.
std::string install_tool(const std::string& folder);
// Runs tool with the arguments (each passed as one argument; on Windows quoted when it holds a
// blank). Waits for the end.
ToolResult run_tool(const std::string& tool, const std::vector<std::string>& args);
// Runs tool with no arguments at all.
ToolResult run_tool_bare(const std::string& tool);
