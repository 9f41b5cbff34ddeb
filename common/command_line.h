// The one rule for cutting a command line into arguments, used where kerfdmx reads its own line
// and where a program is started from a line: blanks and tabs separate; a token that begins with
// a double quote runs to the next double quote (or the end of the line) and the scan goes on right
// after it, with no separator needed; any other token runs to the next blank or tab.
#pragma once
#include <string>
#include <vector>

// Cuts the next token out of a writable line in place: the character after the token becomes a
// terminator and cursor moves past it. nullptr when only blanks are left.
char* cut_command_line_token(char*& cursor);

// Every token of line, as copies.
std::vector<std::string> split_command_line(const char* line);
