// The undo history: recording the changes as the text buffer makes them, and making them
// again backwards or forwards.
#include "core/undo_history.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/editor.h"
#include "platform/memory_size.h"

size_t undoHistoryFloor = size_t{64} << 20;
size_t undoHistoryCeiling = 0;

namespace {

// The text bytes the history keeps alive by holding a line record: its own text, or arena
// text made by editing; the file's bytes as loaded cost nothing new.
size_t keptBytes(const Editor& e, const TextLine& line) {
  if (line.text == nullptr || e.inLoadedText(line)) return 0;
  return static_cast<size_t>(line.size());
}

size_t historyCeiling() {
  if (undoHistoryCeiling == 0) {
    const uint64_t quarter = platform::physicalMemory() / 4;
    undoHistoryCeiling =
        quarter == 0 || quarter > SIZE_MAX ? SIZE_MAX : static_cast<size_t>(quarter);
  }
  return undoHistoryCeiling;
}

// What the history may hold for a document of this size.
size_t historyCap(size_t documentBytes) {
  return std::min(std::max(undoHistoryFloor, documentBytes), historyCeiling());
}

// The document's size in bytes, terminators included.
size_t documentSize(const Editor& e) {
  size_t total = e.charsBefore.count() + e.charsAfter.count();
  for (size_t i = 0; i < e.linesAbove.count(); ++i)
    total += static_cast<size_t>(e.linesAbove.data()[i].size());
  for (size_t i = 0; i < e.linesBelow.count(); ++i)
    total += static_cast<size_t>(e.linesBelow.data()[i].size());
  return total;
}

// Puts the cursor before byte `offset` of line `line`.
void goToByte(Editor& e, int32_t line, int32_t offset) {
  if (line != e.cursorLine) e.goToPosition(line, 0);
  size_t here = e.charsBefore.count();
  const size_t goal = static_cast<size_t>(offset);
  if (here > goal && goal == 0) {
    e.moveLineStart();
    return;
  }
  if (here > goal) {
    e.shiftLeft(here - goal);
  } else if (here < goal) {
    e.shiftRight(std::min(goal - here, e.bytesAfter().size));
  }
}

// Puts the cursor at a column of a line counted in the given unit, which F8 may have changed
// since (the byte under the cursor is what stays); false when the line cannot be entered.
bool goToColumn(Editor& e, int32_t line, int32_t column, TextUnit unit) {
  if (unit == e.textUnit) return e.goToPosition(line, column) != 0;
  if (!e.goToPosition(line, 0)) return false;
  int32_t reached = 0;
  const size_t offset = bytesBeforeColumn(unit, e.tabWidth, e.bytesAfter(), column, reached);
  goToByte(e, line, static_cast<int32_t>(offset));
  return true;
}

inline void appendBytes(Stack<char>& to, const char* bytes, size_t n) {
  if (n == 1)
    to.push(*bytes);  // a typed byte
  else if (n > 0)
    std::memcpy(to.extend(n), bytes, n);
}

// Appends the cells' bytes, from the first cell on or from the last one back.
void appendCells(Stack<char>& bytes, const CharCell* cells, size_t n, bool backwards) {
  char* out = bytes.extend(n);
  if (backwards) {
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>(cells[n - 1 - i].ch);
  } else {
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>(cells[i].ch);
  }
}

}  // namespace

UndoHistory::~UndoHistory() {
  clear();
}

// ---- recording ----

void UndoHistory::openStep(const Editor& e) {
  dropRedoSteps();
  steps_.emplace_back();
  Step& step = steps_.back();
  step.id = ++lastId_;
  step.run = run_.command;
  step.beforeLine = run_.restKnown ? run_.restLine : e.cursorLine;
  step.beforeColumn = run_.restKnown ? run_.restColumn : e.cursorColumn;
  step.unit = e.textUnit;
  ++done_;
  run_.recording = true;
  run_.continuable = false;
}

// The step the running command records into. A command's first change continues the last
// step when both come from the same run of keys and the change carries on where the last
// one ended (`extends` says whether it does); otherwise it opens a step of its own.
UndoHistory::Step* UndoHistory::stepFor(const Editor& e, bool extends) {
  run_.growing = false;  // whatever is recorded now follows the insertion
  run_.extendedOnly = false;
  if (replaying_ || declining_) return nullptr;
  if (run_.recording) return &steps_.back();
  if (extends && done_ == steps_.size() && !steps_.empty() && continuesRun(steps_.back())) {
    run_.recording = true;
    run_.continuable = false;
    return &steps_.back();
  }
  openStep(e);
  return &steps_.back();
}

// The step with a new, empty insertion at its end.
UndoHistory::Step& UndoHistory::newInsertion(const Editor& e, int32_t line, int32_t offset) {
  Step* step = stepFor(e, false);
  step->edits.push_back(Edit{Kind::Insert, false, 0, {0, 0}, line, offset, step->bytes.count(), 0});
  return *step;
}

// Whether bytes inserted here carry on the insertion the last step ends in: within one
// command, or as a typed byte after the one before (growing is cleared as soon as the last
// step stops taking more of its run, so it needs no other test).
bool UndoHistory::extendsInsertion(int32_t line, int32_t offset) const {
  return run_.growing && line == run_.line && offset == run_.end &&
         (run_.recording || run_.command == EditRun::Typing);
}

void UndoHistory::insertedBytes(const Editor& e, int32_t line, int32_t offset, const char* bytes,
                                size_t n) {
  if (replaying_ || declining_) return;
  const bool extends = extendsInsertion(line, offset);
  if (extends && !run_.recording) run_.extendedOnly = true;
  Step& step = extends ? steps_.back() : newInsertion(e, line, offset);
  run_.recording = true;
  run_.continuable = false;
  step.edits.back().count += n;
  appendBytes(step.bytes, bytes, n);
  run_.growing = true;
  run_.line = line;
  run_.end = offset + static_cast<int32_t>(n);
}

void UndoHistory::erasedCells(const Editor& e, int32_t line, int32_t offset, const CharCell* cells,
                              size_t n, bool lastFirst) {
  if (replaying_ || declining_) return;
  // An erase just before the last one (a Backspace after a Backspace) or at the same place
  // (a Delete after a Delete) continues it.
  bool extends = false, backward = false;
  if (!steps_.empty() && done_ == steps_.size() && !steps_.back().edits.empty()) {
    const Edit& edit = steps_.back().edits.back();
    if (edit.kind == Kind::Erase && edit.line == line &&
        edit.first + edit.count == steps_.back().bytes.count()) {
      backward =
          offset + static_cast<int64_t>(n) == edit.offset && (edit.backward || edit.count == 1);
      extends = backward || (offset == edit.offset && !edit.backward);
    }
  }
  Step* step = stepFor(e, extends);
  if (step == nullptr) return;
  // The step found is the one looked at unless a new one was opened, which has no edits.
  if (extends && !step->edits.empty()) {
    Edit& edit = step->edits.back();
    edit.count += n;
    if (backward) {
      edit.backward = true;
      edit.offset = offset;
      appendCells(step->bytes, cells, n, !lastFirst);
      return;
    }
  } else {
    step->edits.push_back(
        Edit{Kind::Erase, false, 0, {0, 0}, line, offset, step->bytes.count(), n});
  }
  appendCells(step->bytes, cells, n, lastFirst);
}

void UndoHistory::brokeLine(const Editor& e, int32_t line, int32_t offset, const char* ending,
                            int32_t n) {
  recordTerminator(e, Kind::Break, line, offset, ending, n);
}

void UndoHistory::joinedLine(const Editor& e, int32_t line, int32_t offset, const char* ending,
                             int32_t n) {
  recordTerminator(e, Kind::Join, line, offset, ending, n);
}

// A line broken or joined at the offset, with the terminator put in or taken out.
void UndoHistory::recordTerminator(const Editor& e, Kind kind, int32_t line, int32_t offset,
                                   const char* ending, int32_t n) {
  Step* step = stepFor(e, false);
  if (step == nullptr) return;
  Edit edit{kind, false, static_cast<uint8_t>(n), {0, 0}, line, offset, 0, 0};
  std::memcpy(edit.ending, ending, static_cast<size_t>(n));
  step->edits.push_back(edit);
}

void UndoHistory::removedLine(const Editor& e, int32_t line, TextLine record) {
  Step* step = stepFor(e, false);
  if (step == nullptr) {
    releaseText(record);
    return;
  }
  step->arenaLines |= !record.ownsText;
  step->ownedBytes += keptBytes(e, record);
  if (!step->edits.empty()) {
    Edit& last = step->edits.back();
    // Lines taken out one after another upwards (the lines inside a selection) make one edit,
    // their records held last first.
    if (last.kind == Kind::RemoveLine && last.first + last.count == step->lines.count() &&
        line + 1 == last.line && (last.backward || last.count == 1)) {
      last.backward = true;
      last.line = line;
      ++last.count;
      step->lines.push(record);
      return;
    }
  }
  step->edits.push_back(Edit{Kind::RemoveLine, false, 0, {0, 0}, line, 0, step->lines.count(), 1});
  step->lines.push(record);
}

void UndoHistory::removedLines(const Editor& e, int32_t line, const TextLine* records, size_t n) {
  Step* step = stepFor(e, false);
  if (step == nullptr) {
    for (size_t i = 0; i < n; ++i) {
      TextLine record = records[i];
      releaseText(record);
    }
    return;
  }
  step->edits.push_back(Edit{Kind::RemoveLine, false, 0, {0, 0}, line, 0, step->lines.count(), n});
  TextLine* slot = step->lines.extend(n);
  std::copy(records, records + n, slot);
  for (size_t i = 0; i < n; ++i) {
    step->arenaLines |= !records[i].ownsText;
    step->ownedBytes += keptBytes(e, records[i]);
  }
}

bool UndoHistory::rebuiltLine(Editor& e, int32_t line, TextLine old) {
  Step* step = stepFor(e, false);
  if (step == nullptr) return false;
  step->arenaLines |= !old.ownsText;
  step->ownedBytes += keptBytes(e, old);
  Edit* last = step->edits.empty() ? nullptr : &step->edits.back();
  if (last != nullptr && last->kind == Kind::Rebuild &&
      last->first + last->count == step->lines.count()) {
    ++last->count;
  } else {
    step->edits.push_back(Edit{Kind::Rebuild, false, 0, {0, 0}, line, 0, step->lines.count(), 1});
  }
  step->lines.push(old);
  step->rebuiltAt.push(line);
  // A step that already holds more than any history may is given up at once: the lines
  // still to be rebuilt can then leave their memory to the ones that follow.
  if ((step->lines.count() & 0xffff) == 0) {
    const size_t records = step->lines.count() * (sizeof(TextLine) + sizeof(int32_t));
    if (records > historyCap(documentSize(e))) declining_ = true;
  }
  return true;
}

bool UndoHistory::continuesRun(const Step& last) const {
  return run_.continuable && last.run == run_.command && run_.command != EditRun::None &&
         !atSavedState();
}

void UndoHistory::remeasure(Step& step) {
  step.measuredCapacity = step.bytes.capacity();
  const size_t now = measure(step);
  memory_ = memory_ - step.memory + now;
  step.memory = now;
}

void UndoHistory::endCommand(Editor& e) {
  const EditRun run = run_.command;
  run_.command = EditRun::None;
  if (replaying_) {
    replaying_ = false;
    run_.continuable = false;
  } else if (run_.recording || declining_) {
    closeStep(e, run);
  } else if (e.changed) {
    // A change that left the bytes as they were (a text replaced by itself) is a step all
    // the same, so that the document counts as changed until it is undone.
    openStep(e);
    run_.recording = false;
    Step& step = steps_.back();
    step.afterLine = e.cursorLine;
    step.afterColumn = e.cursorColumn;
    remeasure(step);
  } else {
    run_.continuable = false;  // a move or any other command ends a run of typing
  }
  if (!run_.continuable) endRun();
  if (pendingArenaRelease_) {  // only now: a command may be walking the arena's blocks
    pendingArenaRelease_ = false;
    e.releaseUnusedArena();
  }
  run_.restLine = e.cursorLine;
  run_.restColumn = e.cursorColumn;
  run_.restKnown = true;
}

// The running command recorded into the last step: the step ends here for now, and stays open
// to the next command of the same run.
void UndoHistory::closeStep(Editor& e, EditRun run) {
  const bool extendedOnly = run_.extendedOnly;
  run_.recording = false;
  run_.extendedOnly = false;
  Step& step = steps_.back();
  step.afterLine = e.cursorLine;
  step.afterColumn = e.cursorColumn;
  run_.continuable = run != EditRun::None && !declining_;
  if (!run_.continuable) {
    step.bytes.trim();
    step.edits.shrink_to_fit();
  }
  // Bytes added to the last insertion change the step's size only when they took more room.
  if (extendedOnly && step.bytes.capacity() == step.measuredCapacity) return;
  remeasure(step);
  if (memory_ > std::min(undoHistoryFloor, historyCeiling()) || declining_) limit(e);
}

// A run that has just ended gives back the room it kept for more.
void UndoHistory::endRun() {
  run_.growing = false;
  if (run_.recording || steps_.empty() || done_ != steps_.size()) return;
  Step& step = steps_.back();
  if (step.bytes.capacity() > step.bytes.count() + 16 ||
      step.edits.capacity() > step.edits.size()) {
    step.bytes.trim();
    step.edits.shrink_to_fit();
    remeasure(step);
  }
}

size_t UndoHistory::measure(const Step& step) {
  return sizeof(Step) + step.edits.capacity() * sizeof(Edit) + step.bytes.capacity() +
         step.lines.capacity() * sizeof(TextLine) + step.rebuiltAt.capacity() * sizeof(int32_t) +
         step.ownedBytes;
}

// The texts that the step's line records keep, after they changed places.
void UndoHistory::countOwnedBytes(const Editor& e, Step& step) {
  step.ownedBytes = 0;
  for (size_t i = 0; i < step.lines.count(); ++i)
    step.ownedBytes += keptBytes(e, step.lines.data()[i]);
}

void UndoHistory::release(Step& step) {
  for (size_t i = 0; i < step.lines.count(); ++i) releaseText(step.lines.data()[i]);
  step.lines.clear();
}

// Keeps the history within the larger of the floor and the document's size, and under the
// ceiling: the oldest steps go first; a step larger than that by itself empties the history.
void UndoHistory::limit(Editor& e) {
  if (memory_ <= std::min(undoHistoryFloor, historyCeiling()) && !declining_) return;
  // Measuring walks every line; between measures the document's size is taken as it was,
  // unless the history has outgrown that.
  if (declining_ || memory_ > documentSize_ || ++closesSinceMeasure_ > 256) {
    documentSize_ = documentSize(e);
    closesSinceMeasure_ = 0;
  }
  const size_t cap = historyCap(documentSize_);
  if (declining_ || steps_.back().memory > cap) {
    declining_ = false;
    const bool arena =
        std::any_of(steps_.begin(), steps_.end(), [](const Step& s) { return s.arenaLines; });
    clear();
    savedAt_ = -1;
    if (arena) e.releaseUnusedArena();
    e.setPendingMessage("This change cannot be undone");
    return;
  }
  if (memory_ <= cap) return;
  bool arena = false;
  while (memory_ > cap && steps_.size() > 1) {
    arena |= steps_.front().arenaLines;
    dropOldestStep();
  }
  if (arena) e.releaseUnusedArena();
  if (!droppedShown_) {
    droppedShown_ = true;
    e.setPendingMessage("Oldest undo steps dropped");
  }
}

// The run's line is known in the document as it is; each step's lines are in the document as
// it was then, which the lines each edit added or took out before the run tell. An edit never
// touches the run's own line (it is not text), so whether an edit lies before the run can be
// told from either side of it.
int32_t UndoHistory::shiftEdit(Edit& edit, Step& step, int32_t run, bool forward, int32_t delta) {
  if (edit.kind == Kind::Rebuild) {
    for (size_t i = 0; i < edit.count; ++i)
      if (step.rebuiltAt.data()[edit.first + i] > run)
        step.rebuiltAt.data()[edit.first + i] += delta;
  }
  int32_t added = 0;  // lines after the edit's line that it added
  if (edit.kind == Kind::Break) added = 1;
  if (edit.kind == Kind::Join) added = -1;
  if (edit.kind == Kind::RemoveLine) added = -static_cast<int32_t>(edit.count);
  // After a removal just before the run, the run stands at the removed lines' first.
  const bool before = forward || edit.kind != Kind::RemoveLine ? edit.line < run : edit.line <= run;
  if (!before) {
    edit.line += delta;
    return run;
  }
  return forward ? run + added : run - added;
}

void UndoHistory::shiftLines(int32_t run, int32_t delta) {
  auto shift = [delta](int32_t& n, int32_t at) {
    if (n > at) n += delta;
  };
  int32_t at = run;  // the steps that can be undone, newest first, each taken back
  for (size_t s = done_; s-- > 0;) {
    Step& step = steps_[s];
    shift(step.afterLine, at);
    for (size_t i = step.edits.size(); i-- > 0;)
      at = shiftEdit(step.edits[i], step, at, false, delta);
    shift(step.beforeLine, at);
  }
  at = run;  // the steps that can be made again, in order
  for (size_t s = done_; s < steps_.size(); ++s) {
    Step& step = steps_[s];
    shift(step.beforeLine, at);
    for (Edit& edit : step.edits) at = shiftEdit(edit, step, at, true, delta);
    shift(step.afterLine, at);
  }
  shift(run_.line, run);
  shift(run_.restLine, run);
}

void UndoHistory::dropOldestStep() {
  Step& step = steps_.front();
  memory_ -= step.memory;
  release(step);
  steps_.pop_front();
  --done_;
  savedAt_ = savedAt_ > 0 ? savedAt_ - 1 : -1;
}

// A new change after some undos: the steps that could have been made again go.
void UndoHistory::dropRedoSteps() {
  bool arena = false;
  while (steps_.size() > done_) {
    Step& step = steps_.back();
    arena |= step.arenaLines;
    memory_ -= step.memory;
    release(step);
    steps_.pop_back();
  }
  if (savedAt_ > static_cast<int64_t>(done_)) savedAt_ = -1;
  if (arena) pendingArenaRelease_ = true;
}

void UndoHistory::markSaved() {
  savedAt_ = static_cast<int64_t>(done_);
  run_.continuable = false;
  run_.growing = false;
}

void UndoHistory::clear() {
  for (Step& step : steps_) release(step);
  steps_.clear();
  done_ = 0;
  savedAt_ = 0;
  memory_ = 0;
  run_ = Run{};
  replaying_ = declining_ = false;
  closesSinceMeasure_ = SIZE_MAX;
}

void UndoHistory::forEachLine(const std::function<void(const TextLine&)>& f) const {
  for (const Step& step : steps_)
    for (size_t i = 0; i < step.lines.count(); ++i) f(step.lines.data()[i]);
}

// ---- taking back ----

// Makes one edit again (forward) or takes it back.
void UndoHistory::apply(Editor& e, Step& step, Edit& edit, bool forward) {
  switch (edit.kind) {
    case Kind::Insert:
    case Kind::Erase:
      if ((edit.kind == Kind::Insert) == forward)
        putBytesBack(e, step, edit);
      else
        takeBytesOut(e, edit);
      break;
    case Kind::Break:
    case Kind::Join:
      goToByte(e, edit.line, edit.offset);
      if ((edit.kind == Kind::Break) == forward)
        e.breakLine(edit.ending, edit.endingSize);
      else
        e.joinLineBelow();
      break;
    case Kind::RemoveLine:
      if (forward)
        takeLinesOut(e, step, edit);
      else
        putLinesBack(e, step, edit);
      break;
    case Kind::Rebuild:
      swapRebuilt(e, step, edit);
      break;
  }
  e.changed = 1;
}

// The bytes of an insertion made again, or of an erasure taken back.
void UndoHistory::putBytesBack(Editor& e, const Step& step, const Edit& edit) {
  goToByte(e, edit.line, edit.offset);
  const char* bytes = step.bytes.data() + edit.first;
  if (edit.backward) {
    for (size_t i = edit.count; i-- > 0;) e.insertByte(static_cast<uint8_t>(bytes[i]));
  } else {
    for (size_t i = 0; i < edit.count; ++i) e.insertByte(static_cast<uint8_t>(bytes[i]));
  }
  // Bytes a Delete took stand after the cursor again, those a Backspace took before it.
  if (edit.kind == Kind::Erase && !edit.backward) goToByte(e, edit.line, edit.offset);
}

// The bytes of an insertion taken back, or of an erasure made again.
void UndoHistory::takeBytesOut(Editor& e, const Edit& edit) {
  goToByte(e, edit.line, edit.offset + static_cast<int32_t>(edit.count));
  e.dropBefore(edit.count);
}

// Removed lines out of the document again, their records back into the step in document
// order.
void UndoHistory::takeLinesOut(Editor& e, Step& step, Edit& edit) {
  goToByte(e, edit.line, 0);
  // In a large file the lines below may have become runs of it again since (or never been
  // read): the lines taken out and the one that takes their place are read first.
  if (e.source) e.ensureWindow(0, edit.count);
  TextLine* records = step.lines.data() + edit.first;
  records[0] = e.packCursorLine();
  for (size_t i = 1; i < edit.count; ++i) records[i] = e.linesBelow.pop();
  e.unpackLine(e.linesBelow.pop(), 0);
  e.lineCount -= static_cast<int32_t>(edit.count);
  edit.backward = false;
}

// Removed lines back into the document from the step's records.
void UndoHistory::putLinesBack(Editor& e, Step& step, const Edit& edit) {
  goToByte(e, edit.line, 0);
  TextLine* records = step.lines.data() + edit.first;
  e.linesBelow.push(e.packCursorLine());
  for (size_t i = 0; i < edit.count; ++i) {
    // The line that goes nearest the top of the stack is the first in the document.
    const size_t k = edit.backward ? i : edit.count - 1 - i;
    e.linesBelow.push(records[k]);
    records[k] = kBottomLine;
  }
  e.unpackLine(e.linesBelow.pop(), 0);
  e.lineCount += static_cast<int32_t>(edit.count);
}

// The rebuilt lines and their other versions change places: the same for both directions.
void UndoHistory::swapRebuilt(Editor& e, Step& step, const Edit& edit) {
  const int32_t first = step.rebuiltAt.data()[edit.first];
  if (e.source) {  // runs of a large file, many lines to a record, may lie between them
    for (size_t i = edit.first; i < edit.first + edit.count; ++i) {
      e.goToPosition(step.rebuiltAt.data()[i], 0);
      TextLine line = e.packCursorLine();
      std::swap(line, step.lines.data()[i]);
      e.unpackLine(line, 0);
    }
    e.goToPosition(first, 0);
    return;
  }
  e.goToPosition(first, 0);
  TextLine current = e.packCursorLine();
  for (size_t i = edit.first; i < edit.first + edit.count; ++i) {
    const int32_t at = step.rebuiltAt.data()[i];
    TextLine& line =
        at == first ? current : e.linesBelow.fromTop(static_cast<size_t>(at - first - 1));
    std::swap(line, step.lines.data()[i]);
  }
  e.unpackLine(current, 0);
}

void UndoHistory::undoStep(Editor& e) {
  if (run_.recording) endCommand(e);
  Step& step = steps_[done_ - 1];
  replaying_ = true;
  run_.growing = false;
  for (size_t i = step.edits.size(); i-- > 0;) apply(e, step, step.edits[i], false);
  if (!goToColumn(e, step.beforeLine, step.beforeColumn, step.unit) && !step.edits.empty())
    goToByte(e, step.edits.front().line, step.edits.front().offset);
  countOwnedBytes(e, step);
  remeasure(step);
  --done_;
  e.changed = 1;
}

void UndoHistory::redoStep(Editor& e) {
  if (run_.recording) endCommand(e);
  Step& step = steps_[done_];
  replaying_ = true;
  run_.growing = false;
  for (Edit& edit : step.edits) apply(e, step, edit, true);
  goToColumn(e, step.afterLine, step.afterColumn, step.unit);
  countOwnedBytes(e, step);
  remeasure(step);
  ++done_;
  e.changed = 1;
}

// ---- the commands ----

bool UndoHistory::stepDone(uint64_t id) const {
  for (size_t i = 0; i < done_; ++i)
    if (steps_[i].id == id) return true;
  return false;
}

int Editor::undo() {
  if (!undoHistory.canUndo()) {
    setPendingMessage("Nothing to undo");
    return 0;
  }
  undoHistory.undoStep(*this);
  return 1;
}

int Editor::redo() {
  if (!undoHistory.canRedo()) {
    setPendingMessage("Nothing to redo");
    return 0;
  }
  undoHistory.redoStep(*this);
  return 1;
}
