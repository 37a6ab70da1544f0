#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "core/char_rule.h"
#include "core/stack.h"
#include "core/text_line.h"

class Editor;

// The kind of key a command came from, for joining keys into one undo step: a run of typed
// characters, or of Backspaces, on one line with nothing else between is one step.
enum class EditRun : uint8_t { None, Typing, Backspace };

// The history can hold at least this many bytes, more when the document is larger, but never
// more than the ceiling: a quarter of the machine's memory unless set (0 until first asked).
extern size_t undoHistoryFloor;
extern size_t undoHistoryCeiling;

// The changes made to the document, as steps that can be taken back and made again. A step
// is what one command changed: the bytes it removed and inserted, the lines it broke and
// joined, the line records it took out or rebuilt. Records taken out of the document are
// kept as they are (a loaded line keeps pointing into the load arena), never copied.
//
// The text buffer's changing operations record here as they change; the after-command step
// closes the step. Positions are a line index and a byte offset in the line's text.
class UndoHistory {
 public:
  UndoHistory() = default;
  ~UndoHistory();
  UndoHistory(const UndoHistory&) = delete;
  UndoHistory& operator=(const UndoHistory&) = delete;

  // ---- recording ----
  // What the next command is, when it is one that may continue the last step.
  void nextCommandIs(EditRun run) { run_.command = run; }
  // n bytes inserted at the offset; a byte typed right after the one before adds to the same
  // insertion.
  void insertedBytes(const Editor& e, int32_t line, int32_t offset, const char* bytes, size_t n);
  // n cells taken out at the offset, in document order, or the other way round (lastFirst:
  // the cells of the stack after the cursor, whose top is the first byte).
  void erasedCells(const Editor& e, int32_t line, int32_t offset, const CharCell* cells, size_t n,
                   bool lastFirst);
  void brokeLine(const Editor& e, int32_t line, int32_t offset, const char* ending, int32_t n);
  void joinedLine(const Editor& e, int32_t line, int32_t offset, const char* ending, int32_t n);
  // The record of a whole line taken out (the one at `line`, terminator included); the
  // history owns it from now on.
  void removedLine(const Editor& e, int32_t line, TextLine record);
  // n whole lines from `line` on, in document order, taken over the same way.
  void removedLines(const Editor& e, int32_t line, const TextLine* records, size_t n);
  // A line rebuilt in place; the history takes the old record over and answers true, or
  // answers false (the step is too large to keep) and the caller disposes of it.
  bool rebuiltLine(Editor& e, int32_t line, TextLine old);
  // Ends the command that has run: closes its step, or ends a run when it changed nothing.
  void endCommand(Editor& e);

  // ---- saved state ----
  // The document now equals the file.
  void markSaved();
  bool atSavedState() const { return savedAt_ == static_cast<int64_t>(done_); }

  // ---- steps by name ----
  // The step last done (0 when there is none), and whether a step so named is still done: not
  // undone since, and not dropped from the history.
  uint64_t lastDoneStep() const { return done_ > 0 ? steps_[done_ - 1].id : 0; }
  bool stepDone(uint64_t id) const;

  // ---- taking back ----
  bool canUndo() const { return done_ > 0; }
  bool canRedo() const { return done_ < steps_.size(); }
  void undoStep(Editor& e);
  void redoStep(Editor& e);

  // Forgets every step, giving back what they hold; the document as it now is counts as saved.
  void clear();
  // The lines after a large file's uncounted run, now at line `run`, were renumbered by delta
  // (its lines read or counted).
  void shiftLines(int32_t run, int32_t delta);
  // Calls f with every line record the history holds.
  void forEachLine(const std::function<void(const TextLine&)>& f) const;
  // Bytes the history holds: its records, and the line texts they keep, except the file's
  // bytes as loaded (the document had those from the start).
  size_t memory() const { return memory_; }

 private:
  enum class Kind : uint8_t { Insert, Erase, Break, Join, RemoveLine, Rebuild };
  struct Edit {
    Kind kind;
    // Erase: the bytes are held last first (a run of Backspaces); RemoveLine: the records
    // are held last first (lines taken out upwards).
    bool backward;
    uint8_t endingSize;  // Break, Join: the terminator
    char ending[2];
    int32_t line;
    int32_t offset;
    size_t first;  // into the step's bytes (Insert, Erase) or lines (RemoveLine, Rebuild)
    size_t count;
  };
  struct Step {
    std::vector<Edit> edits;
    Stack<char> bytes;
    Stack<TextLine> lines;                     // lines removed, old records of lines rebuilt
    Stack<int32_t> rebuiltAt;                  // line index of each rebuilt record, in order
    int32_t beforeLine = 0, beforeColumn = 0;  // the cursor before the step
    int32_t afterLine = 0, afterColumn = 0;    // and after it
    TextUnit unit = TextUnit::Byte;            // what those columns count
    EditRun run = EditRun::None;
    uint64_t id = 0;              // steps opened later have larger ones
    bool arenaLines = false;      // some record points into the text arena
    size_t ownedBytes = 0;        // texts the records keep (not the file's bytes as loaded)
    size_t memory = 0;            // as last measured
    size_t measuredCapacity = 0;  // of bytes, when last measured
  };

  // The run of keys being recorded: the running command, how it stands to the last step,
  // and where the insertion that a typed byte would continue ends.
  struct Run {
    EditRun command = EditRun::None;  // the kind of key the running command came from
    bool recording = false;           // the running command has recorded into the last step
    bool extendedOnly = false;        // and only by adding bytes to its last insertion
    bool continuable = false;         // the last step may take the next command of its run
    bool growing = false;             // the last step ends in an insertion a typed byte extends
    int32_t line = 0, end = 0;        // where that insertion ends: its line and offset
    bool restKnown = false;           // restLine and restColumn are the cursor's
    int32_t restLine = 0, restColumn = 0;  // the cursor when the last command ended
  };

  Step* stepFor(const Editor& e, bool extends);
  void openStep(const Editor& e);
  void dropRedoSteps();
  void dropOldestStep();
  int32_t shiftEdit(Edit& edit, Step& step, int32_t run, bool forward, int32_t delta);
  bool continuesRun(const Step& last) const;
  bool extendsInsertion(int32_t line, int32_t offset) const;
  Step& newInsertion(const Editor& e, int32_t line, int32_t offset);
  void recordTerminator(const Editor& e, Kind kind, int32_t line, int32_t offset,
                        const char* ending, int32_t n);
  void closeStep(Editor& e, EditRun run);
  void endRun();
  static size_t measure(const Step& step);
  static void countOwnedBytes(const Editor& e, Step& step);
  void remeasure(Step& step);
  static void release(Step& step);
  void limit(Editor& e);
  void apply(Editor& e, Step& step, Edit& edit, bool forward);
  static void putBytesBack(Editor& e, const Step& step, const Edit& edit);
  static void takeBytesOut(Editor& e, const Edit& edit);
  static void takeLinesOut(Editor& e, Step& step, Edit& edit);
  static void putLinesBack(Editor& e, Step& step, const Edit& edit);
  void swapRebuilt(Editor& e, Step& step, const Edit& edit);

  std::deque<Step> steps_;
  size_t done_ = 0;      // steps_[0, done_) can be undone, the rest redone
  uint64_t lastId_ = 0;  // the id of the step opened last
  int64_t savedAt_ = 0;  // done_ at the saved state, -1 when no step leads back to it
  size_t memory_ = 0;
  Run run_;
  bool replaying_ = false;  // an undo or redo is changing the text: nothing is recorded
  bool declining_ = false;  // the running command's step has outgrown the history
  bool droppedShown_ = false;
  bool pendingArenaRelease_ = false;  // steps holding arena lines went: free unused blocks
  size_t documentSize_ = 0;           // as last measured, for the cap
  size_t closesSinceMeasure_ = SIZE_MAX;
};
