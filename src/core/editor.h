#pragma once

#include <climits>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/char_rule.h"
#include "core/stack.h"
#include "core/text_line.h"
#include "core/undo_history.h"
#include "platform/console.h"
#include "platform/file_stamp.h"
#include "platform/file_system.h"

namespace files {
struct WriteResult;
}
class FileSource;
class ClipboardStore;
class Keyboard;
class Screen;
struct SearchState;

extern const int defaultAutoIndent;

// The one open document with its cursor, view, selection mark and flags. Every command of
// the editor is a member operation of it that returns 1 when it did something, else 0
// (toggleAutoIndent alone returns the new auto-indent state instead).
class Editor {
 public:
  Editor();
  ~Editor();
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  // ---- text buffer (text_buffer.cpp) ----
  Stack<TextLine> linesAbove;   // top: the line just above the cursor line
  Stack<TextLine> linesBelow;   // top: the line just below the cursor line
  Stack<CharCell> charsBefore;  // top: the byte just before the cursor
  Stack<CharCell> charsAfter;   // top: the byte at the cursor; terminator cells at the bottom

  int32_t cursorLine = 0;
  int32_t cursorColumn = 0;
  int32_t lineCount = 1;
  int32_t topLine = 0;
  int32_t leftColumn = 0;
  int32_t markLine = 0;
  int32_t markColumn = 0;
  int32_t lineEnding = 0;  // index into LineEndings given to new line breaks
  int32_t tabWidth = 8;
  // What a character of the text is, chosen by the display mode (core/char_rule.h); columns
  // (cursor, mark, view) are the columns the display gives the characters.
  TextUnit textUnit = TextUnit::Byte;

  std::unique_ptr<char[]> fileName;      // NUL-terminated, "" when unnamed
  std::unique_ptr<char[]> autosaveName;  // null when there is no autosave
  // The copy this run wrote under autosaveName (exists is false while there is none): the
  // only file there that the autosave replaces or the end removes.
  platform::FileStamp autosaveStamp;
  // This run's claim on autosaveName, so that no other Slate autosaves under it.
  platform::NameLock autosaveLock;
  // Set while autosaveName is an old copy the user opened (r at the start-up question),
  // which this run has not written yet: kept until an autosave or a save of this run
  // replaces or removes it.
  int32_t autosaveAdopted = 0;
  // The undo step that put the adopted copy's text in place of the file's (0 when the copy
  // equals the file): while it is undone, the copy is not replaced (files::keepUndoneCopy).
  uint64_t adoptedStep = 0;
  // Set once the autosave had to go to a folder of the user's own (see fallbackFolders), where
  // the next start does not look for it.
  int32_t autosaveElsewhere = 0;
  // The old copy to open once the document is loaded (r at the start-up question); "" for
  // none.
  std::string copyToOpen;
  // Copies of the document left by a save that was cut short, which the user has opened:
  // removed once a save of this run has written the document.
  std::vector<std::string> copiesToRemove;
  // The undo step that put the first of them in place of the file's text (0: none).
  uint64_t copiesStep = 0;
  // The document's file as it was when read or last written (exists is false when there was
  // none), so that a save can tell whether another program has changed it since.
  platform::FileStamp fileStamp;
  // Set when the named file exists but could not be read: a save then asks for a name, so
  // that the unread file is never replaced unasked.
  int32_t fileUnread = 0;

  int32_t selectionActive = 0;
  int32_t selectionDirty = 1;
  int32_t textDirty = 1;
  // The text rows were last drawn with the cursor inside a sequence being typed, its line
  // laid out in two pieces (formatCursorLine).
  bool drawnInsideSequence = false;
  // The mark was set with the cursor inside a sequence being typed, its column counted in the
  // line laid out in two pieces: the byte of its line it stands before, -1 otherwise, and the
  // place it was given then (a mark put elsewhere since is not this one).
  int32_t markSequenceByte = -1;
  int32_t markSequenceLine = 0;
  int32_t markSequenceColumn = 0;
  int32_t changed = 0;
  int32_t autosavePending = 0;
  int32_t modified = 0;
  int32_t quitRequested = 0;
  int32_t autoIndent = 1;

  // Set when the terminal has gone away: the editor ends at once, keeping its work in the
  // autosave file.
  int32_t hangUp = 0;
  // Set from packCursorLine to unpackLine, and while joining lines: a line of the text is then
  // held by the code at work and by none of the places a copy of the document is written from.
  int32_t lineAway = 0;
  // Set while the text is being replaced by a copy read from disk: the document is then
  // neither, and the copy still holds the work.
  int32_t openingCopy = 0;

  // Set by typing and pasting, which put the bytes where the cursor is even when they join
  // the character after it; every other command leaves the cursor on a character's start.
  int32_t typedText = 0;
  // Set by moves over whole characters (Left, Right, the word moves), which keep the cursor
  // on a character's start as long as the command changes no text.
  int32_t steppedByCharacter = 0;

  // The array the cursor line was unpacked from. Packing an unchanged cursor line hands it
  // back instead of building a new one, so walking through a file allocates nothing.
  TextLine cursorOrigin = kBottomLine;

  // Blocks of loaded text that lines point into without owning them.
  std::vector<ArenaBlock> textArena;
  // The rest of the newest arena block, where lines rebuilt in bulk (by a replacement) get
  // their bytes; the block size doubles up to a limit as the document asks for more.
  char* arenaNext = nullptr;
  size_t arenaRoom = 0;
  size_t arenaBlockSize = 0;
  // Blocks (indexes into textArena) that no line points into any more, to be filled again
  // before new memory is taken; only a pass that rebuilds lines fills and empties this.
  std::vector<size_t> arenaSpare;

  // The changes that can be taken back and made again.
  UndoHistory undoHistory;

  // ---- a large file's text not read yet (file_runs.cpp) ----
  // Set for a document opened from a large file: the parts not yet read stay there as runs
  // in the line stacks, and are read, a piece at a time, when the cursor or the view comes
  // near. Null for every other document, which is held whole.
  std::unique_ptr<FileSource> source;
  std::deque<FileRun> runs;  // the runs' descriptions; records point at them
  // The file's last run while its lines are not counted: it then stands for one line in the
  // numbering, and only lines lie after it (the file's last lines, once the cursor or the
  // view went there). As its lines are read or counted, the numbers after it shift.
  FileRun* tailRun = nullptr;
  // Called while a command waits for the line count, with what is done of what; answers
  // whether to go on waiting (a key stops the wait). Null: wait to the end.
  std::function<bool(const char* what, uint64_t done, uint64_t total)> waitProgress;
  // Called now and then during long work that keys do not stop (a save), with what is done
  // of what, from done == 0 at its start. Null: nothing is shown.
  std::function<void(const char* what, uint64_t done, uint64_t total)> workProgress;

  TextLine runRecord(const FileRun& run);
  // Splits the run on top of a line stack so that a line of the file lies on top: the
  // lines at the run's start (below the cursor) or end (above it). False, with a message,
  // when the file no longer holds those bytes; true when the top is a line already.
  // runLine: the run's line number, when the run is not next to the cursor line.
  bool ensureTopLine(Stack<TextLine>& lines, bool below, int32_t runLine = -1);
  // Makes the `above` records above and `below` records below the cursor line lines.
  void ensureWindow(size_t above, size_t below);
  // Whether every line of the document is counted, so line numbers reach the end.
  bool countKnown() const { return tailRun == nullptr || tailRun->counted; }
  // Where the uncounted last run lies: above the cursor (else below), the records between it
  // and the cursor line, and its line number. False when every line is counted.
  bool locateTail(bool& above, size_t& depth, int32_t& line) const;
  // Whether the cursor's line number is the line's place in the file: not past an uncounted
  // last run.
  bool rowExact() const;
  // The cursor's line in the file, estimated from the lines counted so far, when not exact;
  // -1 when nothing is counted yet.
  int64_t estimatedRow() const;
  // The lines after `line` moved by delta (and the document with them): the cursor, the view,
  // the mark and the undo history keep pointing at the same text.
  void shiftLinesAfter(int32_t line, int32_t delta);
  // Makes the line `index` (0-based) reachable by number before the count is done: waits,
  // with progress, until the count has passed it and splits the last run there. False when
  // stopped or failed.
  bool reachLine(int32_t index);
  // Takes the line count in once the counting has finished, and says when another program
  // has cut the file short or written more to it.
  void pollCount();
  // Counts the uncounted last run's lines (the count must have passed it, or waits for it)
  // and numbers the lines after it anew. False, with a message, when it cannot.
  bool takeTailCount();
  int64_t fileSizeSeen = -1;  // the large file's size when last looked at
  // Set once the file was found changed; the view's own reads then say it no more.
  bool fileChangeReported = false;
  bool viewReading = false;
  bool countTooLarge = false;  // more lines than the numbering holds
  // Waits for the line count (see waitProgress); false when stopped or failed.
  bool finishCount();
  // Bytes of lines read from a large file since the far ones were last turned back into runs.
  size_t bytesReadSinceFold = 0;
  // Once enough text was read, turns the unedited lines far from the cursor back into runs
  // of the file and gives back their memory (see run_folding.cpp).
  void foldFarLines();
  // Where a line lies in the large file, with its bytes there; false when it is not the
  // file's bytes as read (edited, or from a file read whole).
  bool fileBytesOf(const TextLine& line, uint64_t& offset, uint64_t& bytes) const;
  // One pause while the count runs: its progress shown (false when a key stopped it), then a
  // short sleep.
  bool pauseForCount();
  // Splits the uncounted last run at s, a line start in it, so that the part before s is
  // counted; firstLine is then the document line that starts at s. False when stopped.
  bool splitTailAt(uint64_t s, int32_t& firstLine);
  // Where a byte of the file that a run record holds lies in the document: its line and byte
  // column. first is the record's first line. False, with a message, when the file cannot
  // be read or the wait for the count was stopped.
  bool placeOfOffset(const TextLine& record, int64_t first, uint64_t offset, int32_t& line,
                     int32_t& byteColumn);
  // Whether a run lies among the records of the `lines` lines just above the cursor line.
  bool runAbove(int32_t lines) const;
  // Says that the file no longer holds what was read from it.
  void reportFileChanged();
  // After a save that wrote the document over the very file its runs are read from (in
  // place), the runs are read from where the save put their bytes: name is that file, which
  // is opened again. False when it cannot be (the runs then read as changed).
  bool reanchorRuns(const char* name);
  // What the commands work through besides the document: the console's two sides, the
  // texts searched for last and the clipboard. Whoever runs the editor owns them and sets
  // them before the first command that needs them.
  Screen* screen = nullptr;
  Keyboard* keyboard = nullptr;
  SearchState* searchState = nullptr;
  ClipboardStore* clipboard = nullptr;

  // One line waiting to be shown in place of the status text at the next redraw.
  std::unique_ptr<char[]> pendingMessage;

  void afterCommand(bool extendSelection);
  // Moves a mark that an edit with Shift held left inside a character (UTF-8 text) to where
  // the selection's edge lies.
  void keepMarkOnCharacter();
  void keepMarkFromSequence();
  // The line `line` when its text is held among the records next to the cursor line; null
  // for the cursor line, a line inside a large file's unread run, or one too far to look.
  const TextLine* heldLine(int32_t line) const;

  void initBuffer();
  void freeBuffer();
  // n bytes of arena text for a line that will not own it.
  char* arenaAllocate(size_t n);
  // Whether a line's text lies in the file's bytes as loaded (which the document held from
  // the start, so keeping them costs nothing new).
  bool inLoadedText(const TextLine& line) const;
  // The arena block a line's text lies in; null for a line that owns its text.
  const ArenaBlock* blockHolding(const TextLine& line) const;
  mutable size_t lastLineBlock = 0;  // where the last line asked about lay
  // Gives back the arena blocks that no line points into any more.
  void releaseUnusedArena();
  int insertByte(uint8_t ch);
  int splitLine(bool indent);
  TextLine packCursorLine();
  void unpackLine(TextLine line, int32_t goal);
  int goToPosition(int32_t line, int32_t column);
  // goToPosition for a caller that has packed the cursor line into current already (the
  // searches, which scan the lines where they lie). False when a large file's text there
  // cannot be read any more; the cursor then stays on current.
  bool enterLine(TextLine current, int32_t line, int32_t column);
  bool hasLineAbove() const { return !linesAbove.empty(); }
  bool hasLineBelow() const { return !linesBelow.empty(); }
  // ---- the cursor line by character (cursor_line.cpp) ----
  // The bytes before the cursor and the line's text from the cursor on, in document order.
  ByteView bytesBefore() const;
  ByteView bytesAfter() const;
  // The character just before the cursor and the one at it (0 bytes at either end); a tab
  // before the cursor takes its span, one at the cursor 1. A command that goes back over
  // many characters passes what it has read so far in `characters`.
  CharStep charBefore(CharactersBefore* characters = nullptr) const;
  CharStep charAt() const;
  // The columns of the character at the cursor, or `most` when it takes more (a long one that
  // shows as glyphs is not read to its end).
  int32_t charAtWidthUpTo(int32_t most) const;
  // The bytes of the character just before the cursor and of the one at it (0 at either end).
  size_t charBeforeSize() const;
  size_t charAtSize() const;
  // Whether the character before / at the cursor belongs to words (false at either end).
  bool isWordBefore(const CharStep& before) const;  // before: charBefore()
  bool wordAtCursor() const;
  // From a character start `start` of charsBefore at `column`, back over the character that
  // ends there: start and column become its start's; returns its columns (a tab: its span).
  int32_t stepBackOverCharacter(size_t& start, int64_t& column) const;
  // Puts n cells from the top of charsAfter onto charsBefore, or back, keeping cursorColumn
  // (and the spans of the tabs before the cursor) right.
  void shiftRight(size_t n);
  void shiftLeft(size_t n);
  // Moves the cursor, standing on a boundary, over the one character after / before it.
  void stepRight(const CharStep& step);
  void stepLeft(const CharStep& step);
  // Takes the top n cells of charsBefore away, keeping cursorColumn right.
  void dropBefore(size_t n, bool oneCharacter = false);
  int32_t lastCharacterWidth(size_t n) const;
  // The column and tab spans of charsBefore worked out again from cell `from` (a settled
  // character start) at `column`; returns the cursor's column.
  int32_t layOutFrom(size_t from, int32_t column);
  // The same for the cells below `to` (a settled character start), those from `to` up taken
  // as not there yet; returns the column at `to`.
  int32_t layOutUpTo(size_t from, size_t to, int32_t column);
  // Where a change of the cells from `pos` up cannot reach: a character start at or before
  // pos, and its column.
  void settledStart(size_t pos, size_t& start, int32_t& column) const;
  // Moves a cursor that stands inside a character to the character's start; after typing,
  // to its end (the typed bytes joined what follows), unless a UTF-8 sequence being typed
  // is not complete yet.
  void keepCursorOnCharacter();
  void keepTypedCursorOnCharacter();
  // How many bytes of the character around the cursor lie before it and after it, when the
  // cursor stands inside one (0 and 0 when it stands on a boundary).
  void characterAroundCursor(size_t& back, size_t& ahead) const;
  // Whether typing a character's bytes one by one left the cursor inside it (UTF-8 text).
  bool insidePartialSequence() const;
  // Takes another unit of text: the cursor keeps its byte (moved to its character's start),
  // its column is counted again.
  void setTextUnit(TextUnit unit);

  // The one-line transfer: make the neighbouring line the cursor line at the goal column.
  int transferDown(int32_t goal);
  int transferUp(int32_t goal);

  // ---- changes to the text (text_buffer.cpp): each is recorded for undo and sets changed ----
  // A byte before the cursor, or at it (the cursor staying before it).
  void addByte(uint8_t ch);
  void addByteAfter(uint8_t ch);
  // n bytes before the cursor, or n of the line's text from the cursor on.
  void eraseBefore(size_t n, bool oneCharacter = false);
  void eraseAfter(size_t n);
  // Breaks the cursor line at the cursor; the part before it gets this terminator.
  void breakLine(const char* ending, int32_t length);
  // At the end of the cursor line's text: the line below joins it. 0 when there is none.
  int joinLineBelow();
  // The cursor line, terminator and all, when a line follows; that line takes its place,
  // unpacked at the goal column.
  void removeCursorLine(int32_t goal);
  // The n lines just above the cursor line.
  void removeLinesAbove(size_t n);
  // The document now equals its file: undoing back to here leaves it unmodified.
  void markTextSaved();

  // ---- movement (motion/) ----
  int moveLeft();
  int moveLeftOver(const CharStep& step);  // step: charBefore()
  int moveRight();
  int moveLineStart();
  int moveLineEnd();
  int moveWordLeft();
  int moveWordRight();
  int moveUp();
  int moveDown();
  int pageUp();
  int pageDown();
  int moveDocumentStart();
  int moveDocumentEnd();
  // To line `line` at column `column`, both counted from 1 (the status line's line and
  // column plus one); a line past the end is the last line, a column past the line's end is
  // its end, and a column inside a tab or a wide character lands after it. The view is
  // centred on the line when the line lies outside it.
  int goToLineNumber(int32_t line, int32_t column);
  int goToLine();  // asks "go to line: "

  // ---- typing (edit/typing.cpp) ----
  int insertChar(uint8_t ch);
  int newLine();
  int insertTab();
  int transposeChars();

  // ---- deletion (edit/deletion.cpp) ----
  int backspace();
  int deleteForward();
  int deleteToLineStart();
  int deleteToLineEnd();
  int deleteWordLeft();
  int deleteWordRight();
  int deleteLine();
  int deleteCharBefore();
  int deleteCharAt();
  int deleteCharOrJoin();
  int deleteSelection();

  // ---- undo (core/undo_history.cpp) ----
  int undo();
  int redo();

  // ---- key table commands (input/key_map.cpp) ----
  int quit();
  int toggleAutoIndent();

  // ---- files (files/) ----
  int loadDocument();
  int save();
  int saveAs();
  // Writes the document to name, first asking where that would replace a file the user has
  // not seen; on success the document takes the name. ownName: name is the document's own
  // file name. announce: say "Saved NAME (N bytes)".
  int saveUnder(const char* name, bool ownName, bool announce);
  // The one place a save ends well: the document is unmodified and belongs to that file.
  void documentSaved(const char* name, const files::WriteResult& result, bool announce);
  int autosaveNow();
  // Follow mode, for a log still being written: while on, an unmodified document is read
  // again and shows its end whenever its file has grown (file_follow.cpp).
  int toggleFollow();
  // Called now and then while following: true when the document was read again.
  bool followFile();
  bool following = false;

  // ---- search (search/) ----
  int search();
  int replace();
  int searchAgain();
  int findNext();
  int findPrevious();
  int replaceEach();  // asks at each match: y, n, a (all the rest), q

  // ---- clipboard (clipboard/) ----
  int copy();
  int cut();
  int paste();
  // Inserts text as paste does: every line break with the document's terminator, no indent.
  void insertText(const char* text, size_t length);

  // ---- help page (input/help_page.cpp) ----
  int help();

  // ---- rendering (screen/render.cpp) ----
  void redraw();
  void formatRows(int rows, int columns, console::TextCell* grid);
  void formatCursorLine(int columns, console::TextCell* row);
  void formatLine(int columns, console::TextCell* row, const TextLine& line);

  // Shows one line on the status line at the next redraw, in place of the status text.
  void setPendingMessage(const char* text);
  // Switches how the console shows bytes: UTF-8 or code page 437 (screen/display_switch.cpp).
  int toggleDisplayMode();
  // Takes the unit of text that the console's display mode shows.
  void followDisplayMode();
};

void setFileName(Editor& editor, const char* name);

// Adds a block of at least capacity bytes to an arena and returns where its bytes start;
// capacity becomes what the block holds. A large block covers whole large pages from a
// large-page boundary and asks for large pages, so filling it costs a page fault per 2 MB
// instead of one per 4 KB; the bytes skipped for the alignment are never touched.
char* newArenaBlock(std::vector<ArenaBlock>& arena, size_t& capacity);

// Which arena block a line's text lies in, by the blocks' addresses; neighbouring lines
// mostly share a block, so a lookup is usually a comparison or two.
class ArenaIndex {
 public:
  explicit ArenaIndex(const std::vector<ArenaBlock>& arena);
  // The block's index in the arena, or SIZE_MAX for text that lies before every block.
  size_t blockOf(const char* text);

 private:
  std::vector<std::pair<uintptr_t, size_t>> starts_;  // block address, index; by address
  size_t last_ = 0;                                   // in starts_, the last block found
};

// Moves n line records from the top of one stack to the other, nearest first, without
// holding the records twice.
void moveLines(Stack<TextLine>& from, Stack<TextLine>& to, size_t n);

// Bytes of a large file read at a time where the cursor or the view goes (tests make it
// small); a piece grows to hold a longer line.
extern size_t runPieceSize;
// Records kept as they are on each side of the cursor when far lines are folded back into
// runs, the lines read that start a fold, and the fewest lines next to each other that are
// folded (a run costs more than a short line). Tests make them small.
extern size_t foldKeepRecords;
extern size_t foldAfterBytes;
extern size_t foldLeastLines;

// Splits bytes [0, used) of a buffer into line records pointing into it, as the loader does:
// a CR or LF as the last byte is left for the next piece unless atEnd, where a last line
// without terminator gets an LF at data[used]. Returns where the unsplit rest begins, or
// SIZE_MAX when a line is too long to hold.
size_t splitLines(char* data, size_t used, bool atEnd, std::vector<TextLine>& out);
