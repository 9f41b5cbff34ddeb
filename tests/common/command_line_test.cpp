// The one command-line splitting rule: blanks, tabs and double quotes.
#include "common/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using V = std::vector<std::string>;

TEST(CommandLineSplit, QuotesBlanksAndTabs) {
  EXPECT_EQ(split_command_line(""), V{});
  EXPECT_EQ(split_command_line(" \t "), V{});
  EXPECT_EQ(split_command_line("a b\tc"), (V{"a", "b", "c"}));
  EXPECT_EQ(split_command_line("\"C:\\Tool Dir\\KERFDMX.EXE\" \"D:\\rec 1.ts\"  \t-h:1A"),
            (V{"C:\\Tool Dir\\KERFDMX.EXE", "D:\\rec 1.ts", "-h:1A"}));
  // The scan goes on right after a closing quote, without a separator.
  EXPECT_EQ(split_command_line("\"a b\"\"c\"d e"), (V{"a b", "c", "d", "e"}));
  // A missing closing quote runs to the end; an empty pair is an empty argument.
  EXPECT_EQ(split_command_line("x \"open ended"), (V{"x", "open ended"}));
  EXPECT_EQ(split_command_line("x \"\" y"), (V{"x", "", "y"}));
  // A quote inside an unquoted token belongs to it.
  EXPECT_EQ(split_command_line("ab\"c d"), (V{"ab\"c", "d"}));
}

TEST(CommandLineSplit, CutsInPlaceAndStopsAtTheEnd) {
  char line[] = "ab \"c d\"e";
  char* cursor = line;
  EXPECT_EQ(cut_command_line_token(cursor), line);
  EXPECT_STREQ(line, "ab");
  EXPECT_STREQ(cut_command_line_token(cursor), "c d");
  EXPECT_STREQ(cut_command_line_token(cursor), "e");
  EXPECT_EQ(cut_command_line_token(cursor), nullptr);
  EXPECT_EQ(cut_command_line_token(cursor), nullptr);   // stays at the end
}

}  // namespace
