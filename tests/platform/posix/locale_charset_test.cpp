#include "platform/posix/locale_charset.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

TEST(LocaleCharset, Utf8WhereTheLocalesCharacterSetIsUtf8) {
  const char* names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  std::string saved[3];
  for (int i = 0; i < 3; ++i) saved[i] = std::getenv(names[i]) ? std::getenv(names[i]) : "";
  auto set = [&](const char* lcAll, const char* lcCtype, const char* lang) {
    const char* values[] = {lcAll, lcCtype, lang};
    for (int i = 0; i < 3; ++i) setenv(names[i], values[i], 1);  // "" counts as unset
    return terminal::localeUsesUtf8();
  };
  const std::string before = std::setlocale(LC_CTYPE, nullptr);
  EXPECT_TRUE(set("", "", "C.UTF-8"));
  EXPECT_TRUE(set("", "C.UTF-8", "C"));
  EXPECT_FALSE(set("C", "C.UTF-8", "C.UTF-8")) << "LC_ALL decides";
  EXPECT_FALSE(set("", "", "POSIX"));
  // Locales that are not installed: their names tell.
  EXPECT_TRUE(set("", "", "xx_NOWHERE.utf8@euro"));
  EXPECT_FALSE(set("", "xx_NOWHERE.ISO-8859-1", "C.UTF-8"));
  EXPECT_EQ(std::setlocale(LC_CTYPE, nullptr), before) << "the program's locale is kept";
  for (int i = 0; i < 3; ++i) {
    if (saved[i].empty())
      unsetenv(names[i]);
    else
      setenv(names[i], saved[i].c_str(), 1);
  }
}
