#pragma once

namespace terminal {

// True when the character set of the user's locale (LC_ALL, LC_CTYPE, LANG) is UTF-8; for a
// locale that is not installed, when its name says UTF-8. The program's own locale is left as
// it was.
bool localeUsesUtf8();

}  // namespace terminal
