#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

// Small steps the POSIX file code shares: error texts, syncs that survive interruptions,
// byte copies between open files, and the parts of paths its scratch files' names take.
namespace platform {

// A write past the file size limit fails with EFBIG rather than ending the process, and a
// SIGXFSZ sent from outside loses nothing when ignored.
void ignoreFileSizeSignal();
std::string errorText(int error);
// fsync, retried when a signal interrupts it.
int syncRetrying(int fd);
// Copies from the position of one file to the position of another until the end of the first.
bool copyBytes(int from, int to, std::string& reason);
// Makes the names in a directory lasting. A directory this user may not open cannot be synced,
// and a file system that cannot sync one is no failure.
bool syncDirectory(const std::string& directory, std::string& reason);
// Six characters that make a scratch name fresh.
std::string randomSuffix();
// The directory part of a path ("" for a bare name) and the rest.
std::string directoryOf(const std::string& path);
std::string baseNameOf(const std::string& path);
// The directory with its slash, "" for none.
std::string pathPrefix(const std::string& directory);

}  // namespace platform
