#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "platform/posix/locale_charset.h"

namespace {

// Sets the locale variables for one test and puts them back after it.
class LocaleEnvironment {
 public:
  LocaleEnvironment() {
    for (const char* name : Names) {
      const char* value = std::getenv(name);
      saved_[index(name)] = value ? std::string(value) : Unset;
    }
  }
  ~LocaleEnvironment() {
    for (const char* name : Names) {
      const std::string& value = saved_[index(name)];
      if (value == Unset)
        unsetenv(name);
      else
        setenv(name, value.c_str(), 1);
    }
  }
  void set(const char* lcAll, const char* lcCtype, const char* lang) {
    const char* values[] = {lcAll, lcCtype, lang};
    for (int i = 0; i < 3; ++i) {
      if (values[i])
        setenv(Names[i], values[i], 1);
      else
        unsetenv(Names[i]);
    }
  }

 private:
  static constexpr const char* Names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  static constexpr const char* Unset = "\x01unset";
  static int index(const char* name) {
    for (int i = 0; i < 3; ++i)
      if (std::string(Names[i]) == name) return i;
    return 0;
  }
  std::string saved_[3];
};

}  // namespace

TEST(LocaleCharset, Utf8WhereTheLocalesCharacterSetIsUtf8) {
  LocaleEnvironment environment;
  const std::string before = std::setlocale(LC_CTYPE, nullptr);
  environment.set(nullptr, nullptr, "C.UTF-8");
  EXPECT_TRUE(terminal::localeUsesUtf8());
  environment.set(nullptr, "C.UTF-8", "C");
  EXPECT_TRUE(terminal::localeUsesUtf8());
  environment.set("C", "C.UTF-8", "C.UTF-8");
  EXPECT_FALSE(terminal::localeUsesUtf8()) << "LC_ALL decides";
  environment.set(nullptr, nullptr, "POSIX");
  EXPECT_FALSE(terminal::localeUsesUtf8());
  // Locales that are not installed: their names tell.
  environment.set(nullptr, nullptr, "xx_NOWHERE.utf8@euro");
  EXPECT_TRUE(terminal::localeUsesUtf8());
  environment.set(nullptr, "xx_NOWHERE.ISO-8859-1", "C.UTF-8");
  EXPECT_FALSE(terminal::localeUsesUtf8());
  EXPECT_EQ(std::setlocale(LC_CTYPE, nullptr), before) << "the program's locale is kept";
}
