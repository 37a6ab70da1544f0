#pragma once

#include <cstdint>
#include <string>

// The names the file replacers give their scratch files beside a file they save:
// ".<file>.slate-<machine>-<process>-<six characters><kind>". The machine and the process in
// the name let a later run tell its own leftovers from those of other machines sharing the
// folder and of processes still alive.
namespace platform {

// The name of this machine, as the system tells it ("" when it cannot).
std::string machineName();
// Eight hex digits for this machine.
std::string hostTag();
// How the scratch names of one process for a file of that base name begin (a long base name
// is cut short, ending in a digest of the whole, to leave room for the rest within a name's
// limit).
std::string scratchPrefix(const std::string& baseName, const std::string& host, uint32_t pid);

// What a scratch name given on this machine says: the process that made it (0 when the name
// is none of ours) and the kind (".tmp", ".part", ".new", ".old").
struct ScratchName {
  uint32_t pid = 0;
  std::string stem;  // the name without its kind
  std::string kind;
};
ScratchName parseScratchName(const std::string& name, const std::string& host);

}  // namespace platform
