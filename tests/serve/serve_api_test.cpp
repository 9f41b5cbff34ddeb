// kerf serve as a browser meets it: the built program on a loopback port, over recordings made by
// the stream builder, asked through HTTP.
#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/stream_builder.h"

extern char** environ;

namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

std::string built(const char* name) {
  const char* dir = std::getenv("KERF_BUILD_DIR");
  return (fs::path(dir ? dir : ".") / "bin" / name).string();
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A kerf serve process; stopped (SIGTERM, as a service manager does) when it goes.
class ServeProcess {
 public:
  ServeProcess(const tsb::TempDir& dir, std::vector<std::string> args) {
    const std::string out = dir.File("serve-out.txt");
    args.insert(args.begin(), {built("kerf"), "serve", "--listen", "127.0.0.1:0", "--token-file", dir.File("token")});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 200 && pid_ > 0; ++i) {
      const std::string text = slurp(out);
      const size_t at = text.find("open http://127.0.0.1:");
      if (at != std::string::npos && text.find('\n', at) != std::string::npos) {
        port = std::stoi(text.substr(at + 22));
        token = text.substr(text.find("token=", at) + 6, 64);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    output = slurp(out);
  }
  ~ServeProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  int port = 0;
  std::string token;
  std::string output;   // what it printed when it did not start

 private:
  pid_t pid_ = -1;
};

struct Reply {
  int status = 0;
  std::string body;
  httplib::Headers headers;
  Json json() const { return Json::parse(body, nullptr, false); }
  std::string code() const {
    const Json j = json();
    return j.is_object() && j.contains("code") ? j["code"].get<std::string>() : "";
  }
};

// One request; the Host header is the server's own unless headers name another.
Reply call(int port, const std::string& method, const std::string& target, httplib::Headers headers = {},
           const std::string& body = "") {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(60, 0);
  if (!headers.count("Host")) headers.emplace("Host", "127.0.0.1:" + std::to_string(port));
  httplib::Request request;
  request.method = method;
  request.path = target;
  request.headers = headers;
  request.body = body;
  if (!body.empty()) request.set_header("Content-Type", "application/json");
  Reply reply;
  const httplib::Result result = client.send(request);
  if (!result) return reply;
  reply.status = result->status;
  reply.body = result->body;
  reply.headers = result->headers;
  return reply;
}

std::string enc(const std::string& text) { return httplib::detail::encode_query_param(text); }

// A programme whose video is the committed sample clip (720 x 480, a sequence header every 15
// pictures), 30000 packets at 6 Mbit/s (about 7.5 s).
tsb::Bytes clip_recording(size_t packets = 30000) {
  const char* source = std::getenv("KERF_SOURCE_DIR");
  tsb::BroadcastDesc desc;
  desc.packets = packets;
  desc.bitrate = 6000000;
  desc.eit = true;
  desc.services = {{0x0400, 0x01F0, 0x0111, 0x0112, 0, tsb::AribText().Alnum("NEWS").bytes(), 0},
                   {0x0401, 0x01F1, 0x0121, 0x0122, 0, tsb::AribText().Alnum("SPORT").bytes(), 0}};
  desc.videoEs = tsb::ReadFile((fs::path(source ? source : ".") / "sample" / "clip.m2v").string());
  return tsb::Broadcast(desc).bytes();
}

class ServeApi : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { recording_ = new tsb::Bytes(clip_recording()); }
  static void TearDownTestSuite() { delete recording_; }

  void SetUp() override {
    root_ = dir_.File("rec");
    fs::create_directories(root_ + "/sub");
    tsb::WriteFile(root_ + "/a.ts", *recording_);
    outside_ = dir_.File("outside");
    fs::create_directories(outside_);
    tsb::WriteFile(outside_ + "/secret.ts", *recording_);
  }
  void Start(std::vector<std::string> extra = {}) {
    extra.insert(extra.begin(), {"--root", root_});
    server_ = std::make_unique<ServeProcess>(dir_, extra);
    ASSERT_GT(server_->port, 0) << server_->output;
  }
  httplib::Headers Bearer() const { return {{"Authorization", "Bearer " + server_->token}}; }
  Reply Get(const std::string& target) { return call(server_->port, "GET", target, Bearer()); }
  Reply Post(const std::string& target, const std::string& body) { return call(server_->port, "POST", target, Bearer(), body); }

  static tsb::Bytes* recording_;
  tsb::TempDir dir_;
  std::string root_, outside_;
  std::unique_ptr<ServeProcess> server_;
};

tsb::Bytes* ServeApi::recording_ = nullptr;

// Every case of the guard: who may ask, from where, which paths and bodies.
TEST_F(ServeApi, GuardRefusesWhatItMust) {
  fs::create_symlink(outside_, root_ + "/out");                 // a link leading out of the root
  fs::create_symlink(outside_ + "/secret.ts", root_ + "/secret.ts");
  fs::create_symlink("sub", root_ + "/in");                      // a link that stays inside
  fs::create_hard_link(root_ + "/a.ts", root_ + "/sub/same.ts"); // the input under another name
  tsb::WriteFile(root_ + "/sub/other.ts", {0x47});
  ASSERT_NO_FATAL_FAILURE(Start({"--allow-host", "Kerf.Lan"}));
  const int port = server_->port;
  const std::string t = server_->token, host = "127.0.0.1:" + std::to_string(port);
  const std::string cookie = "kerf_token_" + std::to_string(port) + "=" + t;
  const std::string origin = "http://" + host;
  const std::string cut = R"({"path":"rec/a.ts","ranges":[{"start":"p:0","end":"p:100"}],"output":)";
  std::string manyRanges = R"({"path":"rec/a.ts","output":"rec/m.ts","ranges":[)";
  for (int i = 0; i < 1001; ++i) manyRanges += std::string(i ? "," : "") + R"({"start":"p:0"})";
  manyRanges += "]}";
  struct Case {
    const char* what;
    std::string method, target;
    httplib::Headers headers;
    std::string body;
    int status;
    std::string code;
  };
  const httplib::Headers bearer{{"Authorization", "Bearer " + t}};
  const Case cases[] = {
      {"no token", "GET", "/api/files?path=rec", {}, "", 401, "token_missing"},
      {"wrong bearer", "GET", "/api/files?path=rec", {{"Authorization", "Bearer " + std::string(64, '0')}}, "", 401, "token_wrong"},
      {"token cut short", "GET", "/api/files?path=rec", {{"Authorization", "Bearer " + t.substr(0, 63)}}, "", 401, "token_wrong"},
      {"not a bearer", "GET", "/api/files?path=rec", {{"Authorization", "Basic " + t}}, "", 401, "token_wrong"},
      {"wrong cookie", "GET", "/api/files?path=rec", {{"Cookie", "kerf_token_" + std::to_string(port) + "=x"}}, "", 401, "token_wrong"},
      {"another port's cookie", "GET", "/api/files?path=rec", {{"Cookie", "kerf_token_1=" + t}}, "", 401, "token_missing"},
      {"token in an API query", "GET", "/api/files?path=rec&token=" + t, {}, "", 403, "token_in_query"},
      {"token in the query with more", "GET", "/?token=" + t + "&x=1", {}, "", 403, "token_in_query"},
      {"wrong token to log in", "GET", "/?token=" + std::string(64, 'a'), {}, "", 401, "token_wrong"},
      {"log in", "GET", "/?token=" + t, {}, "", 303, ""},
      {"cookie", "GET", "/api/files?path=rec", {{"Cookie", "a=b; " + cookie}}, "", 200, ""},
      {"bearer", "GET", "/api/files?path=rec", bearer, "", 200, ""},
      {"foreign Host (DNS rebinding)", "GET", "/api/files?path=rec", {{"Host", "evil.example:" + std::to_string(port)}, {"Authorization", "Bearer " + t}}, "", 403, "host_refused"},
      {"Host on another port", "GET", "/api/files?path=rec", {{"Host", "127.0.0.1:1"}, {"Authorization", "Bearer " + t}}, "", 403, "host_refused"},
      {"Host without the port", "GET", "/api/files?path=rec", {{"Host", "127.0.0.1"}, {"Authorization", "Bearer " + t}}, "", 403, "host_refused"},
      {"localhost", "GET", "/api/files?path=rec", {{"Host", "localhost:" + std::to_string(port)}, {"Authorization", "Bearer " + t}}, "", 200, ""},
      {"an allowed name", "GET", "/api/files?path=rec", {{"Host", "kerf.lan:" + std::to_string(port)}, {"Authorization", "Bearer " + t}}, "", 200, ""},
      {"cookie POST without Origin", "POST", "/api/cuts", {{"Cookie", cookie}}, cut + R"("rec/o.ts"})", 403, "origin_refused"},
      {"cookie POST from another site", "POST", "/api/cuts", {{"Cookie", cookie}, {"Origin", "http://evil.example"}}, cut + R"("rec/o.ts"})", 403, "origin_refused"},
      {"cookie DELETE from another site", "DELETE", "/api/cuts/1", {{"Cookie", cookie}, {"Origin", "null"}}, "", 403, "origin_refused"},
      {"cookie POST from the page", "POST", "/api/cuts", {{"Cookie", cookie}, {"Origin", origin}}, cut + R"(7})", 400, "bad_body"},
      {"bearer POST without Origin", "POST", "/api/cuts", bearer, cut + R"(7})", 400, "bad_body"},
      {"..", "GET", "/api/files?path=" + enc("rec/.."), bearer, "", 400, "bad_path"},
      {".. inside", "GET", "/api/files?path=" + enc("rec/sub/../../outside"), bearer, "", 400, "bad_path"},
      {"absolute", "GET", "/api/files?path=" + enc("/etc"), bearer, "", 400, "bad_path"},
      {"encoded separator", "GET", "/api/files?path=rec%252F..%252F", bearer, "", 400, "bad_path"},
      {"backslash", "GET", "/api/files?path=" + enc("rec\\sub"), bearer, "", 400, "bad_path"},
      {"NUL byte", "GET", "/api/files?path=rec%00/sub", bearer, "", 400, "bad_path"},
      {"empty part", "GET", "/api/files?path=" + enc("rec//sub"), bearer, "", 400, "bad_path"},
      {"unknown root", "GET", "/api/files?path=outside", bearer, "", 404, "no_such_root"},
      {"link leading out", "GET", "/api/files?path=" + enc("rec/out"), bearer, "", 403, "outside_root"},
      {"file through a link leading out", "GET", "/api/info?path=" + enc("rec/secret.ts"), bearer, "", 403, "outside_root"},
      {"link inside", "GET", "/api/files?path=" + enc("rec/in"), bearer, "", 200, ""},
      {"missing", "GET", "/api/files?path=" + enc("rec/none"), bearer, "", 404, "not_found"},
      {"output onto the input", "POST", "/api/cuts", bearer, cut + R"("rec/a.ts","overwrite":true})", 409, "output_is_input"},
      {"output = input through a hard link", "POST", "/api/cuts", bearer, cut + R"("rec/sub/same.ts","overwrite":true})", 409, "output_is_input"},
      {"output over a file", "POST", "/api/cuts", bearer, cut + R"("rec/sub/other.ts"})", 409, "exists"},
      {"output out of the root", "POST", "/api/cuts", bearer, cut + R"("rec/out/new.ts"})", 403, "outside_root"},
      {"body over 64 KiB", "POST", "/api/cuts", bearer, std::string(70000, ' '), 413, "too_large"},
      {"malformed JSON", "POST", "/api/cuts", bearer, "{\"path\":", 400, "bad_body"},
      {"not an object", "POST", "/api/cuts", bearer, "[1,2]", 400, "bad_body"},
      {"wrong type", "POST", "/api/cuts", bearer, cut + R"("rec/o.ts","snap":"yes"})", 400, "bad_body"},
      {"unknown field", "POST", "/api/cuts", bearer, cut + R"("rec/o.ts","force":true})", 400, "bad_body"},
      {"over 1000 ranges", "POST", "/api/cuts", bearer, manyRanges, 400, "bad_body"},
      {"width over 1920", "GET", "/api/frame?path=rec/a.ts&at=p:0&width=1921", bearer, "", 400, "bad_parameter"},
      {"width not a number", "GET", "/api/frame?path=rec/a.ts&at=p:0&width=9x", bearer, "", 400, "bad_parameter"},
      {"bad position", "GET", "/api/frame?path=rec/a.ts&at=yesterday", bearer, "", 400, "bad_position"},
      {"no such request", "GET", "/api/nothing", bearer, "", 404, "not_found"},
  };
  for (const Case& c : cases) {
    httplib::Headers headers = c.headers;
    const Reply r = call(port, c.method, c.target, headers, c.body);
    EXPECT_EQ(r.status, c.status) << c.what << ": " << r.body;
    EXPECT_EQ(r.code(), c.code) << c.what << ": " << r.body;
    if (std::string(c.what) == "log in") {
      EXPECT_EQ(r.headers.find("Location")->second, "/");
      EXPECT_EQ(r.headers.find("Set-Cookie")->second, cookie + "; Path=/; HttpOnly; SameSite=Strict");
    }
  }
  EXPECT_FALSE(fs::exists(root_ + "/o.ts"));
  EXPECT_EQ(tsb::ReadFile(root_ + "/a.ts"), *recording_);
  struct stat st;
  ASSERT_EQ(stat(dir_.File("token").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
