// What both systems share of starting programs: the handler and observer tests put in front.
#include <utility>

#include "platform/process_hooks.h"

namespace {

StartProcessHandler& handler() {
  static StartProcessHandler h;
  return h;
}

WatchedStartObserver& observer() {
  static WatchedStartObserver o;
  return o;
}

}  // namespace

void set_start_process_handler(StartProcessHandler h) { handler() = std::move(h); }
void set_watched_start_observer(WatchedStartObserver o) { observer() = std::move(o); }
const StartProcessHandler& start_process_handler() { return handler(); }
const WatchedStartObserver& watched_start_observer() { return observer(); }
