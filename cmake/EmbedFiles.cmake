# Turns the page's files into one C++ source, so that kerf serve carries its page inside the
# program: each file becomes a byte array with its address, content type and entity tag (the
# start of its SHA-256). Run at build time:
#   cmake -DDIR=web-folder -DOUT=file.cpp -P EmbedFiles.cmake
# The file is rewritten only when its text changes, so an unchanged page compiles nothing.
file(GLOB names RELATIVE ${DIR} ${DIR}/*)
list(SORT names)
set(arrays "")
set(table "")
set(index 0)
foreach(name IN LISTS names)
  if(IS_DIRECTORY ${DIR}/${name})
    continue()
  endif()
  get_filename_component(ext ${name} LAST_EXT)
  string(TOLOWER "${ext}" ext)
  if(ext STREQUAL ".html")
    set(type "text/html; charset=utf-8")
  elseif(ext STREQUAL ".js")
    set(type "text/javascript; charset=utf-8")
  elseif(ext STREQUAL ".css")
    set(type "text/css; charset=utf-8")
  elseif(ext STREQUAL ".svg")
    set(type "image/svg+xml")
  elseif(ext STREQUAL ".png")
    set(type "image/png")
  elseif(ext STREQUAL ".ico")
    set(type "image/x-icon")
  else()
    message(FATAL_ERROR "${DIR}/${name}: no content type is known for ${ext}")
  endif()
  file(READ ${DIR}/${name} hex HEX)
  file(SHA256 ${DIR}/${name} sum)
  string(SUBSTRING "${sum}" 0 20 tag)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  # 32 bytes a line, each as 0xNN.
  string(REGEX REPLACE "([0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f])"
         "\\1\n" hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char kFile${index}[] = {\n${bytes}0};\n")
  string(APPEND table "    {\"/${name}\", \"${type}\", \"\\\"${tag}\\\"\", kFile${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
if(index EQUAL 0)
  message(FATAL_ERROR "${DIR} holds no files")
endif()
file(WRITE ${OUT}.new
  "// Made by cmake/EmbedFiles.cmake from the page's folder; not to be edited.\n"
  "#include \"serve/web_files.h\"\n\nnamespace {\n${arrays}}  // namespace\n\n"
  "const WebFile kWebFiles[] = {\n${table}};\nconst size_t kWebFileCount = ${index};\n")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
