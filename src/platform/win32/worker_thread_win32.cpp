#include "platform/worker_thread.h"

namespace platform {

std::thread startWorkerThread(std::function<void()> work) {
  return std::thread(std::move(work));
}

}  // namespace platform
