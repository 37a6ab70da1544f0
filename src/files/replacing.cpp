#include "files/replacing.h"

namespace files {

Replacing whatReplacing(const platform::FileStamp& known, const platform::FileStamp& now,
                        bool ownName) {
  // The document's file deleted since, or a link to it turned to a file that does not exist.
  if (!now.exists && known.exists && ownName) return Replacing::ChangedFile;
  if (!now.exists || !now.regular) return Replacing::Nothing;
  if (known.sameFile(now)) return known == now ? Replacing::SeenFile : Replacing::ChangedFile;
  // Under the document's own name: a file that appeared since, or another file put in its
  // place (a link turned elsewhere, a file renamed over it).
  return ownName ? Replacing::ChangedFile : Replacing::OtherFile;
}

}  // namespace files
