#pragma once

#include "platform/file_stamp.h"

// File services the editor needs beyond reading and writing a document.
namespace platform {

bool fileExists(const char* name);
// True when the file is gone afterwards.
bool removeFile(const char* name);

}  // namespace platform
