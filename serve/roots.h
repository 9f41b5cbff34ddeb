// The folders kerf serve may touch. A request names a path as "ROOT/rest": ROOT is a root's name
// (its folder's own name, made unique with "-2", "-3"...), rest is resolved beneath that root by
// the kernel, so nothing outside the roots is read, listed or written.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "common/raw_file.h"
#include "platform/beneath.h"
#include "serve/api_error.h"

struct Root {
  std::string name;
  std::string path;   // the full path given on the command line
  RawFile folder;     // open for the server's whole run
};

// A request path resolved: its root and the rest (empty for the root itself).
struct Located {
  const Root* root = nullptr;
  size_t rootIndex = 0;
  std::string rest;
};

class Roots {
 public:
  // Adds the folder at path; false with error set when it is no readable folder.
  bool Add(const std::string& path, std::string& error);
  size_t size() const { return roots_.size(); }
  const Root& at(size_t i) const { return *roots_[i]; }

  // Checks the path's spelling and finds its root. An empty path names no root (the list of
  // roots); allowEmpty says whether that is acceptable here.
  ApiError Locate(const std::string& path, bool allowEmpty, Located& where) const;
  // Opens a regular file (a recording) / a folder of a located path.
  ApiError OpenFile(const Located& where, RawFile& file) const;
  ApiError OpenFolder(const Located& where, const std::string& rest, RawFile& folder) const;

 private:
  std::vector<std::unique_ptr<Root>> roots_;
};

// The API's answer to a failed resolution of path.
ApiError beneath_api_error(BeneathError error, const std::string& path);
