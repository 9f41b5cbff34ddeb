// The page kerf serve answers at / and beside it: the files of web/, compiled into the program
// (cmake/EmbedFiles.cmake makes the table), so that one program is all there is to install.
#pragma once
#include <cstddef>
#include <string>

struct WebFile {
  const char* path;          // the address it is answered at, e.g. "/app.js"
  const char* contentType;
  const char* etag;          // quoted, from the content's hash
  const unsigned char* data;
  size_t size;
};

extern const WebFile kWebFiles[];
extern const size_t kWebFileCount;

// The file answered at an address ("/" is /index.html); null when there is none.
const WebFile* find_web_file(const std::string& path);
