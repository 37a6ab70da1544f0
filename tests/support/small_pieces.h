#pragma once

#include <cstddef>
#include <cstdint>

#include "core/editor.h"
#include "core/file_source.h"
#include "files/load_save.h"

// Opens every file as a large one, with small blocks and pieces, while it lives; lines far
// from the cursor are folded back into runs after `fold` bytes read, keeping `keep` records
// on each side.
struct SmallPieces {
  SmallPieces(size_t block, size_t piece, size_t fold = SIZE_MAX, size_t keep = 0) {
    files::largeFileSize = 1;
    FileSource::blockBytes = block;
    runPieceSize = piece;
    foldAfterBytes = fold;
    foldKeepRecords = keep;
    foldLeastLines = 2;
  }
  ~SmallPieces() {
    files::largeFileSize = savedThreshold;
    FileSource::blockBytes = savedBlock;
    runPieceSize = savedPiece;
    foldAfterBytes = savedFold[0];
    foldKeepRecords = savedFold[1];
    foldLeastLines = savedFold[2];
  }
  SmallPieces(const SmallPieces&) = delete;
  SmallPieces& operator=(const SmallPieces&) = delete;
  uint64_t savedThreshold = files::largeFileSize;
  size_t savedBlock = FileSource::blockBytes;
  size_t savedPiece = runPieceSize;
  size_t savedFold[3] = {foldAfterBytes, foldKeepRecords, foldLeastLines};
};
