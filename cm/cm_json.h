// The commercial finder's proposal as a JSON value: what `kerf cm --json` prints and what kerf
// serve answers for the same request, built here once for both.
#pragma once
#include <string>

#include "cm/cm_plan.h"
#include "common/json.h"

// file names the recording as the front end shows it; status is the command line's exit status.
Json CmJson(const std::string& file, const CmRequest& request, const CmResult& result, int status);
