#include <signal.h>

#include <system_error>

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
  std::thread thread;
  try {
    thread = std::thread(std::move(work));
  } catch (const std::system_error&) {
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return thread;
}

}  // namespace platform
