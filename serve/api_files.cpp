// GET /api/files: a folder's sub-folders and recordings; the roots themselves for the empty path.
#include <memory>

#include "serve/api_state.h"

namespace {

bool is_recording(const std::string& name) {
  auto ends = [&](const char* suffix) {
    const std::string s = suffix;
    if (name.size() <= s.size()) return false;
    for (size_t i = 0; i < s.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(name[name.size() - s.size() + i])) != s[i]) return false;
    return true;
  };
  return ends(".ts") || ends(".m2ts");
}

}  // namespace

void HandleFiles(Api::State& state, const HttpRequest& request, HttpResponse& response) {
  std::string path;
  Located where;
  if (ApiError e = text_param(request, "path", path)) return Api::Fail(e, response);
  if (ApiError e = state.roots.Locate(path, true, where)) return Api::Fail(e, response);
  Json folders = Json::array(), recordings = Json::array();
  if (!where.root) {
    for (size_t i = 0; i < state.roots.size(); ++i) folders.push_back({{"name", state.roots.at(i).name}});
    return answer_json({{"path", ""}, {"folders", folders}, {"recordings", recordings}}, response);
  }
  std::vector<BeneathEntry> entries;
  BeneathError error = BeneathError::None;
  if (!beneath_list(where.root->folder.get(), where.rest, entries, error))
    return Api::Fail(beneath_api_error(error, path), response);
  for (const BeneathEntry& entry : entries) {
    const int64_t modifiedMs = entry.modifiedNs / 1000000;
    if (entry.folder) {
      folders.push_back({{"name", entry.name}, {"modifiedMs", modifiedMs}});
      continue;
    }
    if (!is_recording(entry.name)) continue;
    Json item = {{"name", entry.name}, {"size", entry.size}, {"modifiedMs", modifiedMs}};
    const FileKey key{where.rootIndex, where.rest.empty() ? entry.name : where.rest + "/" + entry.name, entry.size,
                      entry.modifiedNs};
    RecordingPtr facts;
    if (!state.recordings.Get(key, facts)) {
      item["pending"] = true;
    } else {
      item["measured"] = facts->opened && facts->rec.measured;
      item["totalMs"] = facts->rec.m.totalMs;
      // The events on air and, in the same order, the channels they are on.
      Json names = Json::array(), channels = Json::array();
      for (const Programme& p : facts->analysis.structure.programmes) {
        names.push_back(p.eventName);
        channels.push_back(p.serviceName);
      }
      item["programmes"] = names;
      item["channels"] = channels;
    }
    recordings.push_back(item);
  }
  answer_json({{"path", path}, {"folders", folders}, {"recordings", recordings}}, response);
}
