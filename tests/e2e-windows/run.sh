#!/usr/bin/env bash
# End to end on Windows: slate.exe runs under wine in a tmux pane, is driven by keys, and is
# checked on the screen and on disk.
#
# Usage: tests/e2e-windows/run.sh BUILD_DIR
# The caller sets up wine (WINEPREFIX, WINEDEBUG, a running wineserver); KEEP=1 keeps the
# work folder for a look afterwards. Prints one line per check and ends with
# "e2e-windows: N passed, N failed"; exits 1 when any check failed.
set -euo pipefail

build=$(cd "$1" && pwd)
exe="$build/slate.exe"
wine=${WINE:-wine} # the caller picks the loader: the 64-bit one where 32-bit programs cannot run
[ -f "$exe" ] || { echo "e2e-windows: no $exe" >&2; exit 1; }
work=$(mktemp -d "$build/e2e-windows.XXXXXX")
socket="slate-e2e-windows-$$"
passed=0
failed=0

tm() { tmux -L "$socket" "$@"; }
cleanup() {
  tm kill-server 2>/dev/null || true
  [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

screen() { tm capture-pane -p -t e2e; }
screenWithAttributes() { tm capture-pane -p -e -t e2e; }
row() { screen | sed -n "$(($1 + 1))p"; }
cursor() { tm display -p -t e2e '#{cursor_x},#{cursor_y}'; }
keys() { tm send-keys -t e2e "$@"; }
hexKeys() { tm send-keys -t e2e -H "$@"; }

pass() {
  passed=$((passed + 1))
  echo "  ok    $1"
}
fail() {
  failed=$((failed + 1))
  echo "  FAIL  $1"
  echo "--- screen ---"
  screen | sed 's/^/  | /'
  echo "--------------"
}
check() {  # name, then a command that succeeds when the check holds
  local name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}

# Waits up to 30 s for a text on the screen (wine can be slow to start on a busy machine).
waitFor() {
  local text=$1
  for _ in $(seq 300); do
    screen | grep -qF -- "$text" && return 0
    sleep 0.1
  done
  return 1
}
# Waits up to 30 s for a file to appear.
waitForFile() {
  for _ in $(seq 300); do
    [ -s "$1" ] && return 0
    sleep 0.1
  done
  return 1
}
# The status line shows this, after each key of a step has been handled.
expectStatus() {
  check "$1: status '$2'" waitFor "$2"
}
rowIs() { [ "$(row "$1")" = "$2" ]; }
fileIs() { cmp -s "$1" <(printf "$2"); }
screenIsBlank() { [ -z "$(screen | tr -d ' \n')" ] && ! screenWithAttributes | grep -q $'\e\['; }
cursorAt() { [ "$(cursor)" = "$1" ]; }
exitStatusIs() { waitForFile "$1" && [ "$(cat "$1")" = "$2" ]; }
noFile() { [ ! -e "$1" ]; }

# A pane of 80 x 25 with a silent shell in which Ctrl+Z and Ctrl+S reach the program as keys.
tm -f /dev/null new-session -d -s e2e -x 80 -y 25 -c "$work" "bash --norc --noprofile"
tm set -s escape-time 10
keys "PS1=''; stty -isig -ixon" Enter
keys "clear" Enter
sleep 0.3

echo "e2e-windows: $exe"

# ---- an editing session: load, move, select, type, save, leave ----
printf 'one two\r\nthree\r\n' >"$work/doc.txt"
keys "$wine '$exe' doc.txt; echo \$? > exit1" Enter
expectStatus "start" "<Sep 07 1996>  R 0  C 0  doc.txt"
if [ "$failed" -gt 0 ]; then  # the program never came up: nothing after this can pass
  echo "e2e-windows: $passed passed, $failed failed"
  exit 1
fi
check "start: the document is shown" eval 'rowIs 0 "one two" && rowIs 1 "three" && rowIs 2 ""'
check "start: the status line is black on cyan" eval \
  'screenWithAttributes | sed -n 25p | grep -qF $'"'"'\e[30m\e[46m<Sep 07 1996>'"'"
check "start: the cursor is at the top left" cursorAt "0,0"

keys C-Right
expectStatus "Ctrl+Right" "R 0  C 4"
keys X
expectStatus "typing" "* R 0  C 5"
check "typing: the letter is in the text" rowIs 0 "one Xtwo"
hexKeys 1b 5b 46 # End
expectStatus "End" "R 0  C 8"
keys "!"
check "typing at the line end" waitFor "one Xtwo!"
keys Down
expectStatus "Down" "R 1  C 5"
hexKeys 1b 5b 48 # Home
expectStatus "Home" "R 1  C 0"
keys Y Right
expectStatus "Right" "R 1  C 2"
check "the cursor stands on the screen where the status says" cursorAt "2,1"
keys S-Right S-Right
expectStatus "Shift+Right" "R 1  C 4"
check "Shift+Right: the selection is highlighted" eval \
  'screenWithAttributes | sed -n 2p | grep -qF $'"'"'Yt\e[90m\e[107mhr'"'"
keys C-Left
expectStatus "Ctrl+Left" "R 1  C 0"
check "Ctrl+Left: the selection is gone" eval '! screenWithAttributes | sed -n 2p | grep -q 107m'
keys S-Down
expectStatus "Shift+Down" "R 2  C 0"
check "Shift+Down: the whole line is highlighted" eval \
  'screenWithAttributes | sed -n 2p | grep -qF $'"'"'\e[90m\e[107mYthree'"'"
keys Up Down
keys n e w Enter e n d Enter
expectStatus "Enter" "R 4  C 0"
check "Enter: the lines are broken" eval 'rowIs 2 "new" && rowIs 3 "end" && rowIs 4 ""'
keys F2
expectStatus "F2" "<Sep 07 1996>  R 4  C 0  doc.txt"
check "F2: every line is written with its CR LF" fileIs "$work/doc.txt" \
  'one Xtwo!\r\nYthree\r\nnew\r\nend\r\n'
keys M-x
check "Alt+X: the editor ends with status 0" exitStatusIs "$work/exit1" 0
check "Alt+X: the console is left blank" screenIsBlank
check "Alt+X: the cursor is at the top left" cursorAt "0,0"
check "Alt+X: the autosave file is gone" noFile "$work/doc.txt.autosave"

# ---- leaving with unsaved changes: the question, answered through character reads ----
keys "clear; $wine '$exe' doc.txt; echo \$? > exit2" Enter
expectStatus "second start" "<Sep 07 1996>  R 0  C 0  doc.txt"
keys Z M-x
check "Alt+X with changes: the question" waitFor "Save changes? (Y/n)"
keys q Enter Space
sleep 0.5
check "the question ignores other keys" eval '[ ! -e "$work/exit2" ] && waitFor "Save changes? (Y/n)"'
keys y
check "answered y: the editor ends with status 0" exitStatusIs "$work/exit2" 0
check "answered y: the file is saved" fileIs "$work/doc.txt" 'Zone Xtwo!\r\nYthree\r\nnew\r\nend\r\n'

# ---- the clipboard from one run to the next ----
keys "clear; $wine '$exe' doc.txt; echo \$? > exit3" Enter
expectStatus "copying run" "<Sep 07 1996>  R 0  C 0  doc.txt"
keys S-Down C-IC
expectStatus "Shift+Down, Ctrl+Insert" "R 1  C 0"
keys M-x
check "copying run: ends with status 0" exitStatusIs "$work/exit3" 0
keys "clear; $wine '$exe' pasted.txt; echo \$? > exit4" Enter
expectStatus "pasting run" "<Sep 07 1996>  R 0  C 0  pasted.txt"
keys S-IC
expectStatus "Shift+Insert" "* R 1  C 0"
check "Shift+Insert: the other run's line is pasted" rowIs 0 "Zone Xtwo!"
keys F2 M-x
check "pasting run: ends with status 0" exitStatusIs "$work/exit4" 0
check "pasting run: the line is saved with the new file's LF" fileIs "$work/pasted.txt" \
  'Zone Xtwo!\n'

# ---- a name outside ASCII: shown as given, and typed at a prompt names the file shown ----
printf 'one\n' >"$work/café.txt"
keys "clear; $wine '$exe' café.txt; echo \$? > exit8" Enter
expectStatus "name outside ASCII" "<Sep 07 1996>  R 0  C 0  café.txt"
keys x F12 BSpace BSpace BSpace BSpace BSpace BSpace BSpace BSpace "né.txt" Enter
expectStatus "F12 né.txt" "Saved né.txt"
keys M-x
check "name outside ASCII: ends with status 0" exitStatusIs "$work/exit8" 0
check "F12 né.txt: the file has that name" fileIs "$work/né.txt" 'xone\n'

# ---- the extra keys (F1, F4, F9, Shift+F9) and prompt keys arrive as virtual-key codes ----
keys "clear; $wine '$exe' doc.txt; echo \$? > exit6" Enter
expectStatus "extra keys run" "<Sep 07 1996>  R 0  C 0  doc.txt"
keys F4
check "F4: the question" waitFor "go to line:"
check "F4: the prompt's keys above it" waitFor "Shift+Del clear"
keys 1 2 Left BSpace Enter  # Left moves within the answer: Backspace takes the 1
expectStatus "F4 2" "<Sep 07 1996>  R 1  C 0  doc.txt"
keys Q
expectStatus "typing" "* R 1  C 1"
keys F9
expectStatus "F9 undoes" "<Sep 07 1996>  R 1  C 0  doc.txt"
check "F9: the text is as it was" rowIs 1 "Ythree"
keys S-F9
expectStatus "Shift+F9 redoes" "* R 1  C 1"
keys F9 F1
check "F1: the help page" waitFor "every key"
keys x
expectStatus "a key closes the help page" "<Sep 07 1996>  R 1  C 0  doc.txt"
keys F5 F7
check "F7 in a search prompt: says there are no regular expressions" \
  waitFor "Regular expressions are not available in this build"
keys Enter
expectStatus "an empty search answer searches nothing" "<Sep 07 1996>  R 1  C 0  doc.txt"
keys M-x
check "undone to the saved text: Alt+X asks nothing" exitStatusIs "$work/exit6" 0
check "the file is untouched" fileIs "$work/doc.txt" 'Zone Xtwo!\r\nYthree\r\nnew\r\nend\r\n'

# ---- a console event (the window closed, Ctrl+Break, Ctrl+C sent by another program) ----
# The test program starts slate.exe on this console and sends Ctrl+C to the console when told:
# as at a hang-up, the modified document goes to its autosave file and Slate ends.
keys "clear; $wine '$build/slate_tests.exe' --gtest_also_run_disabled_tests" \
  " --gtest_filter=WindowsConsole.DISABLED_ConsoleEventDriver; echo \$? > exit7" Enter
expectStatus "console event run" "<Sep 07 1996>  R 0  C 0  doc.txt"
keys W
expectStatus "typing" "* R 0  C 1"
touch "$work/send-event"
check "console event: Slate ends with status 0" exitStatusIs "$work/slate-status" 0
check "console event: the work is in the autosave file" fileIs "$work/doc.txt.autosave" \
  'WZone Xtwo!\r\nYthree\r\nnew\r\nend\r\n'
check "console event: the file is untouched" fileIs "$work/doc.txt" \
  'Zone Xtwo!\r\nYthree\r\nnew\r\nend\r\n'
check "console event: the test program's driver passed" exitStatusIs "$work/exit7" 0
rm -f "$work/doc.txt.autosave"

# ---- not on a console ----
keys "clear; $wine '$exe' doc.txt | cat; echo \${PIPESTATUS[0]} > exit5" Enter
check "output not a console: status 2" exitStatusIs "$work/exit5" 2
check "output not a console: one line says so" waitFor "slate: standard output is not a console"
check "output not a console: the file is untouched" fileIs "$work/doc.txt" \
  'Zone Xtwo!\r\nYthree\r\nnew\r\nend\r\n'

echo "e2e-windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
