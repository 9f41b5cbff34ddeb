// The JSON wrapper: the printed layout that line-based tools and tests read, text that stays
// valid UTF-8 whatever bytes a file name holds, and parsing that reports instead of throwing.
#include <gtest/gtest.h>

#include <string>

#include "common/json.h"

namespace {

TEST(Json, TextKeepsTheOrderAndTheLayoutAndRoundTrips) {
  const Json value{{"file", "a.ts"},
                   {"count", 3},
                   {"none", Json::array()},
                   {"list", Json::array({Json{{"b", 1}, {"a", Json::array({1, 2})}}, Json{{"c", nullptr}}})}};
  const std::string text = json_text(value);
  EXPECT_EQ(text,
            "{\n  \"file\": \"a.ts\",\n  \"count\": 3,\n  \"none\": [],\n  \"list\": [\n"
            "    {\"b\": 1, \"a\": [1, 2]},\n    {\"c\": null}\n  ]\n}");
  Json back;
  std::string error;
  ASSERT_TRUE(json_parse(text, back, error)) << error;
  EXPECT_EQ(back, value);
  EXPECT_EQ(json_compact(value), "{\"file\":\"a.ts\",\"count\":3,\"none\":[],\"list\":[{\"b\":1,\"a\":[1,2]},{\"c\":null}]}");
}

// A Latin-1 file name on Linux is no UTF-8: its byte becomes U+FFFD instead of an exception or
// a document no parser takes; UTF-8 text is written as it is, not as \u escapes.
TEST(Json, BytesThatAreNoUtf8AreReplaced) {
  const Json value{{"file", "caf\xE9.ts"}, {"name", "\xE5\xA4\xA9\xE6\xB0\x97"}};
  const std::string text = json_text(value);
  EXPECT_NE(text.find("\"caf\xEF\xBF\xBD.ts\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"\xE5\xA4\xA9\xE6\xB0\x97\""), std::string::npos) << text;
  EXPECT_NE(json_compact(value).find("caf\xEF\xBF\xBD"), std::string::npos);
}

TEST(Json, MalformedTextIsReportedWithItsPlace) {
  for (const char* text : {"", "{", "{\"a\": }", "[1, 2", "{\"a\": 1} x", "\"\\u12\""}) {
    Json value;
    std::string error;
    EXPECT_FALSE(json_parse(text, value, error)) << text;
    EXPECT_NE(error.find("parse error"), std::string::npos) << text << ": " << error;
  }
  // A number beyond a double is the text's fault too, refused rather than thrown at the caller
  // (a request body with one ended kerf serve).
  Json value;
  std::string error;
  EXPECT_FALSE(json_parse("{\"start\": 1e999}", value, error));
  EXPECT_NE(error.find("number overflow"), std::string::npos) << error;
}

}  // namespace
