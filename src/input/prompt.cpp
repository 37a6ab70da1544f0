#include "input/prompt.h"

#include <cstring>

#include "input/keyboard.h"
#include "input/prompt_answer.h"
#include "platform/key_codes.h"
#include "screen/screen.h"

Answer askQuestion(Screen& screen, Keyboard& keyboard, const char* question, bool orOpen) {
  screen.showMessage(question);
  for (;;) {
    const console::PromptInput in = keyboard.readPromptInput();
    if (in.resized) {
      screen.followResize();
      screen.showMessage(question);
      continue;
    }
    // A key without a character is no answer, and neither is pasted text: "no" pasted by
    // mistake must not discard the work.
    if (in.key != 0 || in.pasted) continue;
    if (in.ch < 0) return Answer::Gone;
    const int c = in.ch | 0x20;
    if (c == 'y') return Answer::Yes;
    if (c == 'n') return Answer::No;
    if (c == 'r' && orOpen) return Answer::Open;
  }
}

bool regexAvailable() {
#ifdef SLATE_HAVE_PCRE2
  return true;
#else
  return false;
#endif
}

std::string promptText(const char* prompt, const SearchOptions* options) {
  std::string text = prompt;
  if (!options || !(options->ignoreCase || options->regex)) return text;
  std::string tail;
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, ": ") == 0) {
    tail = ": ";
    text.resize(text.size() - 2);
  }
  text += " [";
  if (options->ignoreCase) text += "ignore case";
  if (options->ignoreCase && options->regex) text += ", ";
  if (options->regex) text += "regex";
  return text + "]" + tail;
}

std::string promptKeysText(const PromptRequest& request, size_t columns) {
  std::string text;
  for (const PromptKeyHelp& key : PromptKeys) {
    if (!key.hint || (key.searchOnly && !request.options)) continue;
    if (key.needsRegex && !regexAvailable()) continue;
    std::string next = text.empty() ? key.hint : text + "  " + key.hint;
    if (next.size() > columns) break;
    text = next;
  }
  return text;
}

namespace {

// An open prompt: the answer, the walk through earlier answers, and what the screen shows.
class OpenPrompt {
 public:
  OpenPrompt(Screen& screen, const PromptRequest& request, const PromptHistory& history)
      : screen_(screen),
        request_(request),
        answer_(request.initial, screen.shownUnit()),
        walk_(history.answers(request.kind)) {}

  void show() {
    // A terminal resized while the prompt is open: the prompt goes to the new last rows.
    screen_.followResize();
    screen_.showKeysRow(note_.empty() ? promptKeysText(request_, screen_.columns) : note_);
    note_.clear();
    const std::string prompt = promptText(request_.prompt, request_.options);
    const size_t columns = static_cast<size_t>(screen_.columns);
    const size_t room = prompt.size() < columns ? columns - prompt.size() : 0;
    const size_t first = answer_.firstShown(room);
    // The status line shows what fits of the line, cut by its cells.
    size_t caret = prompt.size() + answer_.columns(first, answer_.cursor());
    if (caret > columns - 1) caret = columns - 1;
    screen_.writePromptLine(prompt, answer_.text().substr(first), static_cast<int>(caret));
  }

  // Takes one key without a character.
  void key(uint16_t code, uint32_t controlKeyState) {
    const bool shift = (controlKeyState & console::SHIFT_PRESSED) != 0;
    const bool ctrl =
        (controlKeyState & (console::LEFT_CTRL_PRESSED | console::RIGHT_CTRL_PRESSED)) != 0;
    std::string shown;
    switch (code) {
      case vk::Left:
        answer_.left();
        break;
      case vk::Right:
        answer_.right();
        break;
      case vk::Home:
        answer_.home();
        break;
      case vk::End:
        answer_.end();
        break;
      case vk::Delete:
        if (shift)
          answer_.clear();
        else if (ctrl)
          answer_.deleteToEnd();
        else
          answer_.deleteAtCursor();
        break;
      case vk::Up:
        if (walk_.older(answer_.text(), shown)) answer_.replace(shown);
        break;
      case vk::Down:
        if (walk_.newer(answer_.text(), shown)) answer_.replace(shown);
        break;
      case vk::F6:
        if (request_.options) request_.options->ignoreCase = !request_.options->ignoreCase;
        break;
      case vk::F7:
        if (!request_.options) break;
        if (regexAvailable())
          request_.options->regex = !request_.options->regex;
        else
          note_ = "Regular expressions are not available in this build";
        break;
      default:
        break;  // swallowed
    }
  }

  PromptAnswer& answer() { return answer_; }

 private:
  Screen& screen_;
  const PromptRequest& request_;
  PromptAnswer answer_;
  HistoryWalk walk_;
  std::string note_;  // shown once on the keys row instead of the keys
};

std::unique_ptr<char[]> copyOf(const std::string& text) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace

std::unique_ptr<char[]> promptString(Screen& screen, Keyboard& keyboard,
                                     const PromptRequest& request) {
  OpenPrompt prompt(screen, request, keyboard.promptHistory);
  // A byte the full answer does not take changes nothing: the prompt is not drawn again for
  // it, so that a paste of megabytes is passed over at once.
  for (bool changed = true;;) {
    if (changed) prompt.show();
    changed = true;
    const console::PromptInput in = keyboard.readPromptInput();
    if (in.resized) {
      continue;
    } else if (in.key != 0) {
      prompt.key(in.key, in.controlKeyState);
    } else if (in.ch < 0) {
      return copyOf("");  // the input has gone
    } else if (in.ch == 13) {
      break;
    } else if (in.ch == 8) {
      prompt.answer().backspace();
    } else {
      changed = prompt.answer().type(static_cast<char>(in.ch));
    }
  }
  keyboard.promptHistory.remember(request.kind, prompt.answer().text());
  return copyOf(prompt.answer().text());
}
