// The threaded browser build's view of the engine's think/think.h. That header gives every
// browser build one thread (MaxThreads is 1 under __EMSCRIPTEN__): a page that is not
// cross-origin isolated has no shared memory to give a thread. The threaded variant, built
// with emscripten's -pthread for a page that is, reads the header with __EMSCRIPTEN__ set
// aside, so that it gets the native count of threads. Everything the header includes comes in
// first, with the macro in place, so that the system's headers still see the browser they
// were made for; only the header's own lines read it unset. build.sh puts this directory
// ahead of the sources' root, so that every "think/think.h" of the threaded build comes here.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "movegen/genmoves.h"
#include "movemake/hash.h"
#include "think/sortmoves.h"

#ifndef __EMSCRIPTEN_PTHREADS__
#error "web/threads is for the threaded build, compiled with -pthread"
#endif

#pragma push_macro("__EMSCRIPTEN__")
#undef __EMSCRIPTEN__
#include_next "think/think.h"
#pragma pop_macro("__EMSCRIPTEN__")
