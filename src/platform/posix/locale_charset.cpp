#include "platform/posix/locale_charset.h"

#include <langinfo.h>
#include <strings.h>

#include <clocale>
#include <string>

namespace terminal {

bool localeUsesUtf8() {
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = current ? current : "C";
  bool utf8 = false;
  if (std::setlocale(LC_CTYPE, "")) {
    const char* codeset = nl_langinfo(CODESET);
    utf8 = codeset && (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0);
  }
  std::setlocale(LC_CTYPE, saved.c_str());
  return utf8;
}

}  // namespace terminal
