// The handler and observer that tests put in front of program starts (process.h), shared by the
// Windows and POSIX implementations.
#pragma once
#include "platform/process.h"

const StartProcessHandler& start_process_handler();
const WatchedStartObserver& watched_start_observer();
