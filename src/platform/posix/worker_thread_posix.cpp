#include <signal.h>

#include "platform/worker_thread.h"

namespace platform {

std::thread startWorkerThread(std::function<void()> work) {
  // A new thread starts with its creator's mask: every signal is held for it, but those a
  // fault of its own raises, which go on to the fatal handler.
  sigset_t held;
  sigfillset(&held);
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT}) sigdelset(&held, sig);
  sigset_t before;
  pthread_sigmask(SIG_BLOCK, &held, &before);
  std::thread thread(std::move(work));
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return thread;
}

}  // namespace platform
