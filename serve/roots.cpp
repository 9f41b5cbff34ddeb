// Roots and the resolution of request paths beneath them.
#include "serve/roots.h"

#include "serve/guard.h"

bool Roots::Add(const std::string& path, std::string& error) {
  RawFile folder(beneath_open_root(path.c_str()));
  if (!folder.ok()) {
    error = path + ": not a folder that can be read";
    return false;
  }
  std::string base = path;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  base = base.substr(base.rfind('/') + 1);
  if (base.empty()) base = "root";
  std::string name = base;
  for (int n = 2;; ++n) {
    bool taken = false;
    for (const auto& r : roots_) taken = taken || r->name == name;
    if (!taken) break;
    name = base + "-" + std::to_string(n);
  }
  auto root = std::make_unique<Root>();
  root->name = name;
  root->path = path;
  root->folder = std::move(folder);
  roots_.push_back(std::move(root));
  return true;
}

ApiError Roots::Locate(const std::string& path, bool allowEmpty, Located& where) const {
  std::string why;
  if (!request_path_ok(path, why)) return {400, "bad_path", why};
  if (path.empty()) {
    if (allowEmpty) return {};
    return {400, "bad_path", "name a recording: ROOT/folder/name.ts"};
  }
  const size_t slash = path.find('/');
  const std::string name = path.substr(0, slash);
  for (size_t i = 0; i < roots_.size(); ++i) {
    if (roots_[i]->name != name) continue;
    where.root = roots_[i].get();
    where.rootIndex = i;
    where.rest = slash == std::string::npos ? "" : path.substr(slash + 1);
    return {};
  }
  return {404, "no_such_root", "no root is called " + name};
}

ApiError Roots::OpenFile(const Located& where, RawFile& file) const {
  BeneathError error = BeneathError::None;
  if (where.rest.empty()) return beneath_api_error(BeneathError::WrongKind, where.root->name);
  file = RawFile(beneath_open(where.root->folder.get(), where.rest, BeneathOpen::ReadFile, error));
  return file.ok() ? ApiError{} : beneath_api_error(error, where.root->name + "/" + where.rest);
}

ApiError Roots::OpenFolder(const Located& where, const std::string& rest, RawFile& folder) const {
  BeneathError error = BeneathError::None;
  folder = RawFile(beneath_open(where.root->folder.get(), rest, BeneathOpen::Folder, error));
  return folder.ok() ? ApiError{} : beneath_api_error(error, where.root->name + (rest.empty() ? "" : "/" + rest));
}

ApiError beneath_api_error(BeneathError error, const std::string& path) {
  switch (error) {
    case BeneathError::Outside: return {403, "outside_root", path + " leads out of its root"};
    case BeneathError::NotFound: return {404, "not_found", path + " does not exist"};
    case BeneathError::WrongKind: return {400, "wrong_kind", path + " is not a file of that kind (a folder where a file was asked, or the other way round)"};
    case BeneathError::Exists: return {409, "exists", path + " exists already"};
    case BeneathError::Denied: return {403, "denied", path + ": the system refuses access"};
    default: return {500, "failed", path + ": the system failed"};
  }
}
