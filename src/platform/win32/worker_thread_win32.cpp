#include <system_error>

#include "platform/worker_thread.h"

namespace platform {

std::thread startWorkerThread(std::function<void()> work) {
  try {
    return std::thread(std::move(work));
  } catch (const std::system_error&) {
    return std::thread();
  }
}

}  // namespace platform
