#pragma once

#include <functional>
#include <thread>

namespace platform {

// A thread for work beside the editor's own: the signals the console handles are never
// delivered to it, so that their handlers run only on the thread that started the console
// and never beside it (two handlers at once could take the terminal twice). A thread the
// system refuses (its limit on processes or memory reached) gives one that is not joinable,
// and the work is not done.
std::thread startWorkerThread(std::function<void()> work);

}  // namespace platform
