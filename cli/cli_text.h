// Text for the terminal: the programs work in Shift-JIS, kerf prints UTF-8 on every platform.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>

// A path as the user gave it, for printing: kerf keeps its paths in UTF-8 on every system (on
// Windows the system's UTF-16 converted), already the terminal's text.
std::string path_for_terminal(const std::string& path);

// Prints Shift-JIS text as UTF-8 (cp932_to_utf8).
void print_sjis(std::FILE* to, std::string_view sjis);
