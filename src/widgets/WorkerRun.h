// Long work of a screen (reading a file, an import) done in a worker thread while the
// window goes on: it repaints, shows how far the work got and takes a stop.
#pragma once

#include <functional>

namespace WorkerRun {
// Runs work in a worker thread and returns when it has ended; meanwhile this thread's
// events go on and tick is called every interval milliseconds.
void run(const std::function<void()>& work, const std::function<void()>& tick = {},
         int interval = 200);
} // namespace WorkerRun
