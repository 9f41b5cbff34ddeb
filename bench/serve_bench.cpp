// kerf serve under load, on the loopback: the time of a 360-wide picture of a 1440x1080 recording
// while a cut of another recording runs, a 100-picture timeline of a long recording, a cut through
// the API against `kerf cut` of the same plan, 50 clients asking for pictures at once, and the
// server's resident memory throughout. Usage:
//   serve_bench KERF FOLDER HD.ts LONG.ts     (both recordings inside FOLDER, the server's root)
#include <httplib.h>

#include "common/json.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Server {
  pid_t pid = -1;
  int port = 0;
  std::string token;
};

Server start(const std::string& kerf, const std::string& folder) {
  Server s;
  const std::string out = folder + "/serve-out.txt";
  std::vector<std::string> args = {kerf, "serve", "--root", folder, "--listen", "127.0.0.1:0", "--token-file", folder + "/token"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn(&s.pid, argv[0], &actions, nullptr, argv.data(), environ);
  for (int i = 0; i < 100 && s.port == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::string text = slurp(out);
    const size_t at = text.find("open http://127.0.0.1:");
    if (at == std::string::npos || text.find('\n', at) == std::string::npos) continue;
    s.port = std::stoi(text.substr(at + 22));
    s.token = text.substr(text.find("token=", at) + 6, 64);
  }
  return s;
}

// Resident memory of the process now and at its peak, in MiB.
std::pair<double, double> resident_mib(pid_t pid) {
  const std::string status = slurp("/proc/" + std::to_string(pid) + "/status");
  auto field = [&](const char* name) {
    const size_t at = status.find(name);
    return at == std::string::npos ? 0.0 : std::stod(status.substr(at + std::string(name).size())) / 1024;
  };
  return {field("VmRSS:"), field("VmHWM:")};
}

struct Client {
  httplib::Client http;
  httplib::Headers headers;
  Client(const Server& s) : http("127.0.0.1", s.port) {
    http.set_read_timeout(600, 0);
    headers = {{"Authorization", "Bearer " + s.token}, {"Host", "127.0.0.1:" + std::to_string(s.port)}};
  }
  int Get(const std::string& target, std::string* body = nullptr) {
    auto r = http.Get(target, headers);
    if (r && body) *body = r->body;
    return r ? r->status : 0;
  }
  std::string Post(const std::string& target, const std::string& body) {
    auto r = http.Post(target, headers, body, "application/json");
    return r ? r->body : "";
  }
};

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

// Waits for a cut; its final view.
Json wait_cut(Client& c, const std::string& id) {
  for (;;) {
    std::string body;
    c.Get("/api/cuts/" + id, &body);
    const Json v = Json::parse(body, nullptr, false);
    if (!v.is_object() || (v["state"] != "queued" && v["state"] != "running")) return v;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// CPU time (user and system) the process has used, in milliseconds.
double cpu_ms(pid_t pid) {
  std::istringstream stat(slurp("/proc/" + std::to_string(pid) + "/stat"));
  std::string field;
  double ticks = 0;
  for (int i = 1; i <= 15 && stat >> field; ++i)
    if (i == 14 || i == 15) ticks += std::stod(field);
  return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// CPU time (user and system) that ended children have used, in milliseconds.
double children_cpu_ms() {
  rusage use{};
  getrusage(RUSAGE_CHILDREN, &use);
  return (double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1000.0 +
          double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1000.0);
}

// Waits (at most 60 s) until the server's background work has ended: under 20 ms of CPU in 500 ms.
void wait_quiet(pid_t pid) {
  for (int i = 0; i < 120; ++i) {
    const double before = cpu_ms(pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (cpu_ms(pid) - before < 20) return;
  }
}

// One line per goal: the figure, the bound and whether it holds.
void goal(const char* what, double value, double bound, const char* unit) {
  std::printf("GOAL %-48s %10.3f %-3s (bound %g) %s\n", what, value, unit, bound, value <= bound ? "met" : "NOT MET");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: serve_bench KERF FOLDER HD.ts LONG.ts\n");
    return 2;
  }
  const std::string kerf = argv[1], folder = argv[2], hd = argv[3], longRec = argv[4];
  const std::string root = folder.substr(folder.rfind('/') + 1);
  Server server = start(kerf, folder);
  if (server.port == 0) return std::fprintf(stderr, "the server did not start\n"), 1;
  Client c(server);
  std::atomic<bool> done{false};
  std::atomic<double> peak{0};
  std::thread watch([&] {
    while (!done) {
      peak = std::max(peak.load(), resident_mib(server.pid).first);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  // 0. The server's own CPU time per picture, alone (no cut, before anything is read in the
  // background): less sensitive to other programs than the wall time.
  {
    c.Get("/api/frame?path=" + root + "/" + hd + "&at=p:0&width=360");   // measures the recording
    std::vector<double> alone;
    const double before = cpu_ms(server.pid);
    for (int i = 0; i < 100; ++i) {
      char at[32];
      std::snprintf(at, sizeof at, "p:%X", 1000 + i * 13000);
      const auto t = Clock::now();
      if (c.Get("/api/frame?path=" + root + "/" + hd + "&at=" + at + "&width=360") == 200) alone.push_back(ms_since(t));
    }
    std::printf("picture 360 wide of %s alone: %zu answered, median %.1f ms, p95 %.1f ms, server CPU %.2f ms a picture\n",
                hd.c_str(), alone.size(), percentile(alone, 0.5), percentile(alone, 0.95), (cpu_ms(server.pid) - before) / 100);
  }
  std::string body;
  c.Get("/api/info?path=" + root + "/" + hd, &body);
  const int32_t hdMs = Json::parse(body)["totalMs"];
  c.Get("/api/info?path=" + root + "/" + longRec, &body);
  const int32_t longMs = Json::parse(body)["totalMs"];

  // 1. Pictures while a cut of the long recording runs.
  const Json started = Json::parse(c.Post("/api/cuts", R"({"path":")" + root + "/" + longRec +
                                                           R"(","programme":2,"ranges":[{}],"output":")" + root + R"(/bg-cut.ts","overwrite":true})"));
  std::vector<double> times;
  for (int i = 0; i < 200; ++i) {
    char at[32];
    const int32_t ms = int32_t(int64_t(hdMs) * (i * 37 % 200) / 200);
    std::snprintf(at, sizeof at, "%02d:%02d:%02d.%03d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    const auto t = Clock::now();
    const int status = c.Get("/api/frame?path=" + root + "/" + hd + "&at=" + at + "&width=360");
    if (status == 200) times.push_back(ms_since(t));
  }
  std::string cutState;
  c.Get("/api/cuts/" + std::string(started["id"]), &body);
  cutState = Json::parse(body)["state"];
  wait_cut(c, started["id"]);
  std::printf("picture 360 wide of %s, cut %s meanwhile: %zu answered, median %.1f ms, p95 %.1f ms\n", hd.c_str(),
              cutState.c_str(), times.size(), percentile(times, 0.5), percentile(times, 0.95));
  goal("picture 360 wide during a cut, median", percentile(times, 0.5), 15, "ms");
  goal("picture 360 wide during a cut, 95th percentile", percentile(times, 0.95), 40, "ms");

  // 2. A 100-picture timeline of the long recording (its pages were just read by the cut).
  auto t = Clock::now();
  c.Get("/api/timeline?path=" + root + "/" + longRec + "&count=100", &body);
  const Json timeline = Json::parse(body, nullptr, false);
  const double positions = ms_since(t);
  std::atomic<int> failed{0};
  {
    std::vector<std::thread> fetchers;
    std::atomic<size_t> next{0};
    for (int k = 0; k < 4; ++k)
      fetchers.emplace_back([&] {
        Client mine(server);
        for (size_t i = next++; i < timeline["pictures"].size(); i = next++)
          if (mine.Get(timeline["pictures"][i]["url"].get<std::string>()) != 200) ++failed;
      });
    for (auto& f : fetchers) f.join();
  }
  const double timelineMs = ms_since(t);
  std::printf("timeline of %s (%d ms long): %zu positions in %.0f ms, with their pictures %.0f ms, %d failed\n",
              longRec.c_str(), int(longMs), timeline["pictures"].size(), positions, timelineMs, failed.load());
  goal("100-picture timeline of the long recording", failed ? 1e9 : timelineMs, 1500, "ms");

  // 3. A cut through the API against kerf cut of the same plan, alternated, three of each, each
  // measured alike: the server's background work (the scans the earlier requests asked for) over,
  // and no cut's unwritten output left for the next one to wait behind (sync before each).
  std::vector<double> apiTimes, cliTimes, apiCpu, cliCpu;
  std::string apiState;
  wait_quiet(server.pid);
  for (int round = 0; round < 3; ++round) {
    if (std::system("sync") != 0) apiState += " (sync failed)";
    double cpu = cpu_ms(server.pid);
    t = Clock::now();
    const Json api = Json::parse(c.Post("/api/cuts", R"({"path":")" + root + "/" + longRec +
                                                         R"(","programme":1,"ranges":[{}],"output":")" + root + R"(/api-cut.ts","overwrite":true})"));
    apiState = wait_cut(c, api["id"])["state"];
    apiTimes.push_back(ms_since(t));
    apiCpu.push_back(cpu_ms(server.pid) - cpu);
    if (std::system("sync") != 0) apiState += " (sync failed)";
    cpu = children_cpu_ms();
    t = Clock::now();
    const std::string line = "'" + kerf + "' cut '" + folder + "/" + longRec + "' --programme 1 -o '" + folder +
                             "/cli-cut.ts' --force > /dev/null 2>&1";
    if (std::system(line.c_str()) != 0) apiState += " (kerf cut failed)";
    cliTimes.push_back(ms_since(t));
    cliCpu.push_back(children_cpu_ms() - cpu);
    std::printf("cut round %d: API %.0f ms (server CPU %.0f ms), kerf cut %.0f ms (CPU %.0f ms)\n", round + 1,
                apiTimes.back(), apiCpu.back(), cliTimes.back(), cliCpu.back());
  }
  std::printf("cut of programme 1 of %s, medians of 3: API %.0f ms (%s), kerf cut %.0f ms: %.3fx; "
              "CPU time (user+system) API %.0f ms, kerf cut %.0f ms: %.3fx\n",
              longRec.c_str(), percentile(apiTimes, 0.5), apiState.c_str(), percentile(cliTimes, 0.5),
              percentile(apiTimes, 0.5) / percentile(cliTimes, 0.5), percentile(apiCpu, 0.5), percentile(cliCpu, 0.5),
              percentile(apiCpu, 0.5) / percentile(cliCpu, 0.5));
  goal("cut through the API / kerf cut", apiState == "done" ? percentile(apiTimes, 0.5) / percentile(cliTimes, 0.5) : 1e9, 1.05, "x");

  // 4. 50 clients asking for pictures at once.
  std::atomic<int> errors{0}, answered{0};
  t = Clock::now();
  {
    std::vector<std::thread> clients;
    for (int k = 0; k < 50; ++k)
      clients.emplace_back([&, k] {
        Client mine(server);
        for (int i = 0; i < 4; ++i) {
          const std::string at = "p:" + std::to_string(1000 + 4000 * ((k * 4 + i) % 40));
          if (mine.Get("/api/frame?path=" + root + "/" + hd + "&at=" + at) == 200) ++answered; else ++errors;
        }
      });
    for (auto& k : clients) k.join();
  }
  std::printf("50 clients x 4 pictures: %d answered, %d errors, %.0f ms\n", answered.load(), errors.load(), ms_since(t));
  goal("50 clients x 4 pictures, errors", errors.load(), 0, "");
  done = true;
  watch.join();
  const auto [now, hwm] = resident_mib(server.pid);
  std::printf("server resident memory: peak sampled %.0f MiB, peak (VmHWM) %.0f MiB, now %.0f MiB\n", peak.load(), hwm, now);
  goal("server resident memory, peak (VmHWM)", hwm, 255.99, "MiB");
  std::printf("load average at the end: %s", slurp("/proc/loadavg").c_str());
  kill(server.pid, SIGTERM);
  int status = 0;
  waitpid(server.pid, &status, 0);
  return 0;
}
