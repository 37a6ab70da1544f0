#include "platform/console.h"

#include <vector>

namespace console {

void Console::writeOutputText(const TextCell* cells, uint32_t count, Coord start) {
  std::vector<uint8_t> bytes(count);
  for (uint32_t i = 0; i < count; ++i)
    bytes[i] = cells[i].length > 0 ? static_cast<uint8_t>(cells[i].bytes[0]) : ' ';
  writeOutputCharacter(bytes.data(), count, start);
}

}  // namespace console
