// kerf serve as a browser meets it: the built program on a loopback port, over recordings made by
// the stream builder, asked through HTTP.
#include <gtest/gtest.h>
#include <httplib.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/json.h"
#include "tests/support/stream_builder.h"

extern char** environ;

namespace {

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
  ~ServeProcess() { Stop(); }
  // SIGTERM and the wait for the process to end; how long that took, in seconds.
  double Stop() {
    if (pid_ <= 0) return 0;
    const auto asked = std::chrono::steady_clock::now();
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
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
  // A long read (scan, commercial finder): asked again while it answers 202 with its per cent.
  Reply Poll(const std::string& target) {
    Reply r = Get(target);
    for (int i = 0; i < 600 && r.status == 202; ++i) {
      EXPECT_EQ(r.json()["state"], "running") << r.body;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      r = Get(target);
    }
    return r;
  }

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


// Runs the built kerf with args; its standard output.
std::string kerf_output(const tsb::TempDir& dir, const std::vector<std::string>& args, int* status = nullptr) {
  std::string line = "'" + built("kerf") + "'";
  for (const std::string& a : args) line += " '" + a + "'";
  line += " > '" + dir.File("kerf-out.txt") + "' 2>/dev/null";
  const int raw = std::system(line.c_str());
  if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return slurp(dir.File("kerf-out.txt"));
}

// The width and height of a baseline JPEG file (its SOF0 segment); 0 x 0 when there is none.
std::pair<int, int> jpeg_size(const std::string& jpeg) {
  for (size_t i = 2; i + 9 < jpeg.size();) {
    if (uint8_t(jpeg[i]) != 0xFF) return {0, 0};
    const uint8_t marker = uint8_t(jpeg[i + 1]);
    const size_t length = size_t(uint8_t(jpeg[i + 2])) << 8 | uint8_t(jpeg[i + 3]);
    if (marker == 0xC0 || marker == 0xC1)
      return {uint8_t(jpeg[i + 7]) << 8 | uint8_t(jpeg[i + 8]), uint8_t(jpeg[i + 5]) << 8 | uint8_t(jpeg[i + 6])};
    i += 2 + length;
  }
  return {0, 0};
}

// The page's files come from inside the program, without a token, each with its type, a policy
// that lets it load only its own scripts, and an entity tag the browser may ask with.
TEST_F(ServeApi, PageFilesAreServedWithTypeAndPolicy) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const Reply page = call(server_->port, "GET", "/");
  ASSERT_EQ(page.status, 200);
  EXPECT_EQ(page.headers.find("Content-Type")->second, "text/html; charset=utf-8");
  EXPECT_NE(page.body.find("<script type=\"module\" src=\"/app.js\">"), std::string::npos);
  const std::string policy = page.headers.count("Content-Security-Policy") ? page.headers.find("Content-Security-Policy")->second : "";
  EXPECT_NE(policy.find("script-src 'self';"), std::string::npos) << policy;
  EXPECT_NE(policy.find("default-src 'none'"), std::string::npos) << policy;
  const Reply script = call(server_->port, "GET", "/app.js");
  ASSERT_EQ(script.status, 200);
  EXPECT_EQ(script.headers.find("Content-Type")->second, "text/javascript; charset=utf-8");
  EXPECT_EQ(script.headers.find("Cache-Control")->second, "no-cache");
  const std::string tag = script.headers.count("ETag") ? script.headers.find("ETag")->second : "";
  ASSERT_FALSE(tag.empty());
  EXPECT_EQ(call(server_->port, "GET", "/app.js", {{"If-None-Match", tag}}).status, 304);
  EXPECT_EQ(call(server_->port, "GET", "/missing.js").status, 404);
  EXPECT_EQ(call(server_->port, "GET", "/app.js", {{"Host", "evil.example:" + std::to_string(server_->port)}}).status, 403);
}

// A browser holding the page open keeps idle connections; a stop does not wait for it to let go.
TEST_F(ServeApi, StopsSoonWithIdleConnectionsOpen) {
  ASSERT_NO_FATAL_FAILURE(Start());
  httplib::Client browser("127.0.0.1", server_->port);
  browser.set_keep_alive(true);
  const httplib::Headers host{{"Host", "127.0.0.1:" + std::to_string(server_->port)}};
  ASSERT_EQ(browser.Get("/", host)->status, 200);
  EXPECT_LT(server_->Stop(), 4.0);
}

TEST_F(ServeApi, FilesInfoAndScanAnswerAsKerfDoes) {
  tsb::WriteFile(root_ + "/sub/notes.txt", {'x'});
  tsb::WriteFile(root_ + "/sub/B.M2TS", *recording_);
  ASSERT_NO_FATAL_FAILURE(Start());
  Reply r = Get("/api/files?path=");
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(r.json()["folders"], Json::parse(R"([{"name":"rec"}])"));
  Json sub;
  for (int i = 0; i < 200; ++i) {   // measured in the background: pending at first
    sub = Get("/api/files?path=rec/sub").json();
    if (sub["recordings"].size() == 1 && !sub["recordings"][0].contains("pending")) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_EQ(sub["recordings"].size(), 1u) << sub.dump();   // notes.txt is no recording
  const Json b = sub["recordings"][0];
  EXPECT_EQ(b["name"], "B.M2TS");
  EXPECT_EQ(b["size"], double(recording_->size()));
  EXPECT_EQ(b["programmes"], Json::parse(R"(["ＮＥＷＳ","ＳＰＯＲＴ"])"));

  const Json mine = Get("/api/info?path=rec/a.ts").json();
  Json theirs = Json::parse(kerf_output(dir_, {"info", root_ + "/a.ts", "--json"}), nullptr, false);
  ASSERT_TRUE(theirs.is_object());
  for (const auto& [key, value] : theirs.items()) {
    if (key == "file") continue;
    EXPECT_EQ(mine[key], value) << key;
  }
  EXPECT_EQ(mine["file"], "rec/a.ts");

  const Reply first = Get("/api/scan?path=rec/a.ts&programme=2");
  EXPECT_EQ(first.status, 202) << first.body;
  const Json scan = Poll("/api/scan?path=rec/a.ts&programme=2").json();
  theirs = Json::parse(kerf_output(dir_, {"scan", root_ + "/a.ts", "--programme", "2", "--json"}), nullptr, false);
  ASSERT_TRUE(theirs.is_object());
  theirs["file"] = "rec/a.ts";
  EXPECT_EQ(scan, theirs);
  EXPECT_GT(scan["headers"].size(), 3u);
  Json info;
  for (int i = 0; i < 200 && !info["keyPictures"].is_number(); ++i) {   // counted in the background
    info = Get("/api/info?path=rec/a.ts").json();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(info["keyPictures"], scan["headers"].size());

  // The commercial finder answers as kerf cm does, or with kerf cm's failure.
  int status = -1;
  theirs = Json::parse(kerf_output(dir_, {"cm", root_ + "/a.ts", "--json"}, &status), nullptr, false);
  const Reply cm = Poll("/api/cm?path=rec/a.ts&programme=1");
  if (status == 0) {
    theirs["file"] = "rec/a.ts";
    EXPECT_EQ(cm.json(), theirs);
  } else {
    EXPECT_EQ(cm.status, 422) << cm.body;
  }
}

TEST_F(ServeApi, FrameAndTimelineArePicturesOfTheKeyPictures) {
  ASSERT_NO_FATAL_FAILURE(Start());
  Reply r = Get("/api/frame?path=rec/a.ts&at=p:100");
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(r.headers.find("Content-Type")->second, "image/jpeg");
  EXPECT_EQ(jpeg_size(r.body), std::make_pair(360, 240));   // the clip's pixels are square
  r = Get("/api/frame?path=rec/a.ts&at=00:00:01.000&programme=2&width=1920");
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(jpeg_size(r.body), std::make_pair(1920, 1080));  // capped at the largest picture
  EXPECT_EQ(Get("/api/frame?path=rec/a.ts&at=p:100&programme=9").status, 422);

  const Json timeline = Get("/api/timeline?path=rec/a.ts&programme=2&count=5&width=200").json();
  const Json scan = Poll("/api/scan?path=rec/a.ts&programme=2").json();
  ASSERT_TRUE(timeline["pictures"].is_array()) << timeline.dump();
  EXPECT_GE(timeline["pictures"].size(), 3u);
  int64_t last = -1;
  for (const Json& p : timeline["pictures"]) {
    const int64_t packet = p["packet"];
    EXPECT_GT(packet, last);
    last = packet;
    bool isHeader = false;
    for (const Json& h : scan["headers"]) isHeader = isHeader || h["packet"] == packet;
    EXPECT_TRUE(isHeader) << packet;
    const Reply picture = Get(p["url"]);
    EXPECT_EQ(picture.status, 200) << p.dump();
    EXPECT_EQ(jpeg_size(picture.body), std::make_pair(200, 132));
  }
}

// Polls a cut until it has ended; its last view.
Json wait_for_cut(const std::function<Reply(const std::string&)>& get, const std::string& id) {
  Json view;
  for (int i = 0; i < 600; ++i) {
    view = get("/api/cuts/" + id).json();
    if (view["state"] != "queued" && view["state"] != "running") break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return view;
}

TEST_F(ServeApi, CutWritesWhatKerfCutWrites) {
  ASSERT_NO_FATAL_FAILURE(Start());
  auto get = [this](const std::string& target) { return Get(target); };
  struct Case {
    const char* what;
    std::string body;
    std::vector<std::string> kerfArgs;   // with -o OUT appended
    std::vector<std::string> outputs;    // names beneath rec/ (kerf's: the same beneath the folder)
  };
  const Case cases[] = {
      {"one programme, snapped, joined",
       R"({"path":"rec/a.ts","programme":2,"snap":true,"join":true,"ranges":[{"start":"00:00:04.000","end":"00:00:05.000"},{"start":"p:100","end":"00:00:02.000"}],"output":"rec/sub/joined.ts"})",
       {"--programme", "2", "--snap", "--join", "--range", "00:00:04.000-00:00:05.000", "--range", "p:100-00:00:02.000"},
       {"sub/joined.ts"}},
      {"whole recording, stretches apart, service id",
       R"({"path":"rec/a.ts","service":"0400","ranges":[{"end":"p:3E8"},{"start":"00:00:06.000"}],"output":"rec/part_%d.ts"})",
       {"--service", "0400", "--range", "-p:3E8", "--range", "00:00:06.000-"},
       {"part_1.ts", "part_2.ts"}},
  };
  for (const Case& c : cases) {
    const Reply started = Post("/api/cuts", c.body);
    ASSERT_EQ(started.status, 202) << c.what << ": " << started.body;
    const Json done = wait_for_cut(get, started.json()["id"]);
    ASSERT_EQ(done["state"], "done") << c.what << ": " << done.dump();
    EXPECT_EQ(done["percent"], 100);
    ASSERT_EQ(done["outcome"]["outputs"].size(), c.outputs.size()) << done.dump();
    std::vector<std::string> args = {"cut", root_ + "/a.ts"};
    args.insert(args.end(), c.kerfArgs.begin(), c.kerfArgs.end());
    const std::string pattern = c.outputs.size() > 1 ? "kerf_%d.ts" : "kerf.ts";
    args.insert(args.end(), {"-o", dir_.File(pattern)});
    int status = -1;
    kerf_output(dir_, args, &status);
    ASSERT_EQ(status, 0) << c.what;
    for (size_t i = 0; i < c.outputs.size(); ++i) {
      const std::string kerfs = dir_.File(c.outputs.size() > 1 ? "kerf_" + std::to_string(i + 1) + ".ts" : "kerf.ts");
      EXPECT_EQ(tsb::ReadFile(root_ + "/" + c.outputs[i]), tsb::ReadFile(kerfs)) << c.what << " " << c.outputs[i];
      EXPECT_EQ(done["outcome"]["outputs"][i]["path"], "rec/" + c.outputs[i]);
      EXPECT_EQ(done["outcome"]["outputs"][i]["bytes"], fs::file_size(kerfs));
    }
  }
  // An existing output is replaced only when asked, and a finished job tells its end as an event.
  const std::string again = cases[0].body.substr(0, cases[0].body.size() - 1);
  EXPECT_EQ(Post("/api/cuts", again + "}").code(), "exists");
  const Reply replaced = Post("/api/cuts", again + R"(,"overwrite":true})");
  ASSERT_EQ(replaced.status, 202) << replaced.body;
  const std::string id = replaced.json()["id"];
  EXPECT_EQ(wait_for_cut(get, id)["state"], "done");
  const Reply events = Get("/api/cuts/" + id + "/events");
  EXPECT_EQ(events.headers.find("Content-Type")->second, "text/event-stream");
  EXPECT_EQ(events.body.rfind("event: end\ndata: {", 0), 0u) << events.body;
  EXPECT_NE(events.body.find("\"state\":\"done\""), std::string::npos) << events.body;
}

// Two roots of the same folder name: the second is named rec-2; a cut may read in one and write in
// the other, and paths of one never reach into the other.
TEST_F(ServeApi, SeveralRootsAreNamedApartAndCutsCrossThem) {
  const std::string second = dir_.File("other/rec");
  fs::create_directories(second);
  tsb::WriteFile(second + "/b.ts", *recording_);
  ASSERT_NO_FATAL_FAILURE(Start({"--root", second}));
  EXPECT_EQ(Get("/api/files?path=").json()["folders"], Json::parse(R"([{"name":"rec"},{"name":"rec-2"}])"));
  EXPECT_EQ(Get("/api/files?path=rec-2").json()["recordings"][0]["name"], "b.ts");
  EXPECT_EQ(Get("/api/info?path=rec/b.ts").code(), "not_found");
  EXPECT_EQ(Get("/api/info?path=" + enc("rec-2/../rec/a.ts")).code(), "bad_path");
  EXPECT_EQ(Get("/api/frame?path=rec-2/b.ts&at=p:100").status, 200);
  const Reply started = Post("/api/cuts", R"({"path":"rec/a.ts","ranges":[{"end":"p:3E8"}],"output":"rec-2/from-a.ts"})");
  ASSERT_EQ(started.status, 202) << started.body;
  const Json done = wait_for_cut([this](const std::string& t) { return Get(t); }, started.json()["id"]);
  ASSERT_EQ(done["state"], "done") << done.dump();
  EXPECT_EQ(done["outcome"]["outputs"][0]["path"], "rec-2/from-a.ts");
  EXPECT_EQ(fs::file_size(second + "/from-a.ts"), 1001u * 188);
  EXPECT_EQ(Post("/api/cuts", R"({"path":"rec-2/b.ts","ranges":[{}],"output":"rec-2/b.ts","overwrite":true})").code(),
            "output_is_input");
}

TEST_F(ServeApi, QueuedAndStoppedCutsLeaveNothing) {
  // A long cut: 1000 short stretches joined, each a run of the engine of its own.
  std::string ranges;
  for (int i = 0; i < 1000; ++i) {
    char range[64];
    std::snprintf(range, sizeof range, R"(%s{"start":"p:%X","end":"p:%X"})", i ? "," : "", i * 20, i * 20 + 9);
    ranges += range;
  }
  ASSERT_NO_FATAL_FAILURE(Start({"--jobs", "1"}));
  auto get = [this](const std::string& target) { return Get(target); };
  const Reply first = Post("/api/cuts", R"({"path":"rec/a.ts","join":true,"output":"rec/sub/long.ts","ranges":[)" + ranges + "]}");
  const Reply second = Post("/api/cuts", R"({"path":"rec/a.ts","ranges":[{"end":"p:3E8"}],"output":"rec/sub/short.ts"})");
  const Reply third = Post("/api/cuts", R"({"path":"rec/a.ts","ranges":[{"end":"p:3E8"}],"output":"rec/sub/never.ts"})");
  ASSERT_EQ(first.status, 202) << first.body;
  ASSERT_EQ(second.status, 202) << second.body;
  ASSERT_EQ(third.status, 202) << third.body;
  EXPECT_EQ(second.json()["state"], "queued");
  EXPECT_EQ(second.json()["queuePosition"], 1);
  EXPECT_EQ(third.json()["queuePosition"], 2);
  // Pictures and lists are answered while the cut runs.
  EXPECT_EQ(Get("/api/frame?path=rec/a.ts&at=p:100").status, 200);
  EXPECT_EQ(Get("/api/files?path=rec").status, 200);
  // The queued third leaves the queue at once; the running first stops.
  const std::string thirdId = third.json()["id"], firstId = first.json()["id"];
  EXPECT_EQ(call(server_->port, "DELETE", "/api/cuts/" + thirdId, Bearer()).json()["state"], "stopped");
  EXPECT_EQ(Get("/api/cuts/" + std::string(second.json()["id"])).json()["queuePosition"], 1);
  EXPECT_EQ(call(server_->port, "DELETE", "/api/cuts/" + firstId, Bearer()).status, 200);
  EXPECT_EQ(wait_for_cut(get, firstId)["state"], "stopped");
  EXPECT_EQ(wait_for_cut(get, second.json()["id"])["state"], "done");
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(root_ + "/sub")) left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"short.ts"});   // no half file, no temporary part
  EXPECT_EQ(Get("/api/cuts/999").code(), "no_such_cut");
}
}  // namespace
