#include "search/run_search.h"

#include <cstring>

#include "core/editor.h"
#include "core/file_source.h"

namespace {

// A needle with a line break in it never lies inside one line.
bool fitsInLine(const Needle& needle) {
  const size_t n = static_cast<size_t>(needle.length);
  return std::memchr(needle.bytes, '\n', n) == nullptr &&
         std::memchr(needle.bytes, '\r', n) == nullptr;
}

// Scans the run, calling found with each occurrence; the scan's result (see FileSource::scan).
int scanRun(Editor& e, const FileRun& run, const Needle& needle, bool forward,
            const std::function<bool(uint64_t)>& found) {
  const uint64_t total = run.bytes;
  const int result = e.source->scan(
      run.offset, run.offset + run.bytes, needle.bytes, static_cast<size_t>(needle.length), forward,
      found, [&e, total](uint64_t looked) {
        return !e.waitProgress || e.waitProgress("Searching", looked, total);
      });
  if (result == -1) e.setPendingMessage("Search stopped");
  if (result == -2) e.reportFileChanged();
  return result;
}

}  // namespace

RunHit findInRun(Editor& e, const TextLine& record, int64_t first, const Needle& needle,
                 bool forward) {
  RunHit hit;
  if (!fitsInLine(needle)) return hit;
  uint64_t at = 0;
  const int result = scanRun(e, runOf(record), needle, forward, [&at](uint64_t offset) {
    at = offset;
    return false;
  });
  if (result < 0) {
    hit.stopped = true;
  } else if (result == 1 && !e.placeOfOffset(record, first, at, hit.line, hit.byteColumn)) {
    hit.line = -1;
    hit.stopped = true;
  }
  return hit;
}

int64_t countInRun(Editor& e, const TextLine& record, const Needle& needle) {
  if (!fitsInLine(needle)) return 0;
  int64_t count = 0;
  uint64_t free = 0;  // where the next occurrence may begin
  const int result = scanRun(e, runOf(record), needle, true, [&](uint64_t offset) {
    if (offset >= free) {
      ++count;
      free = offset + static_cast<uint64_t>(needle.length);
    }
    return true;
  });
  return result < 0 ? -1 : count;
}

bool enterHit(Editor& e, TextLine current, const RunHit& hit) {
  if (!e.enterLine(current, hit.line, 0)) return false;
  for (int32_t i = 0; i < hit.byteColumn && e.moveRight(); ++i) {
  }
  return true;
}
