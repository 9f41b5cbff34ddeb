// The desktop's own opening of a document, one per system (used by shell_open).
#pragma once
#include <cstdint>

void desktop_open(uintptr_t owner, const char* path);
