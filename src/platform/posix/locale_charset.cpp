#include "platform/posix/locale_charset.h"

#include <langinfo.h>
#include <strings.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

namespace terminal {

namespace {

bool namesUtf8(const char* charset) {
  return strcasecmp(charset, "UTF-8") == 0 || strcasecmp(charset, "UTF8") == 0;
}

// The character set a locale name asks for ("en_US.UTF-8@euro" asks for UTF-8), from the
// variable that decides LC_CTYPE; for a locale the system does not have installed.
bool variableNamesUtf8() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    const char* dot = std::strchr(value, '.');
    if (!dot) return false;
    std::string charset(dot + 1);
    charset = charset.substr(0, charset.find('@'));
    return namesUtf8(charset.c_str());
  }
  return false;
}

}  // namespace

bool localeUsesUtf8() {
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = current ? current : "C";
  bool utf8;
  if (std::setlocale(LC_CTYPE, "")) {
    const char* codeset = nl_langinfo(CODESET);
    utf8 = codeset && namesUtf8(codeset);
  } else {
    utf8 = variableNamesUtf8();
  }
  std::setlocale(LC_CTYPE, saved.c_str());
  return utf8;
}

}  // namespace terminal
