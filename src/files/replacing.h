#pragma once

#include "platform/file_stamp.h"

namespace files {

// What writing the document under a name would replace.
enum class Replacing {
  Nothing,      // no file of that name (or no plain file, which the save refuses anyway)
  SeenFile,     // the document's own file, as it was when read or last written
  ChangedFile,  // the document's own file, changed or replaced since then by someone else
  OtherFile,    // a file this document never came from
};

// known: the document's file when it was read or last written; now: what the name denotes
// now; ownName: the name is the document's own.
Replacing whatReplacing(const platform::FileStamp& known, const platform::FileStamp& now,
                        bool ownName);

}  // namespace files
