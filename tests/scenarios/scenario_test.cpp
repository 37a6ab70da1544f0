// Runs every case under tests/scenarios/cases as one test, named after its file:
// build/slate_tests --gtest_filter='*deletion_backspace_joins*' runs one.
#include "scenarios/scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "input/prompt.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCases = fs::path(SLATE_TEST_DATA) / "scenarios" / "cases";

std::vector<std::string> listCases() {
  std::vector<std::string> paths;
  std::error_code ignored;
  for (fs::recursive_directory_iterator it(kCases, ignored), end; it != end;
       it.increment(ignored)) {
    if (it->is_regular_file() && it->path().extension() == ".case")
      paths.push_back(it->path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// cases/deletion/join-crlf.case -> deletion_join_crlf
std::string caseName(const testing::TestParamInfo<std::string>& info) {
  std::string name = fs::path(info.param).lexically_relative(kCases).replace_extension().string();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

class Scenario : public testing::TestWithParam<std::string> {};

TEST_P(Scenario, Plays) {
  scenario::Case c;
  std::string error;
  ASSERT_TRUE(scenario::parseCase(GetParam(), c, error)) << error;
#ifdef _WIN32
  if (c.utf8) GTEST_SKIP() << "the Windows console has no UTF-8 display mode";
  if (c.needsPosix) GTEST_SKIP() << "the case needs links or permission bits";
#endif
  if (c.needsRegex && !regexAvailable()) GTEST_SKIP() << "this build has no regular expressions";
  const std::vector<std::string> failures = scenario::runCase(c);
  std::string report;
  for (const std::string& f : failures) report += "\n  " + f;
  if (!c.pending.empty()) {
    // A case waiting for a command that is not built yet: it must fail until then, and it
    // says so when it starts to pass, so that its pending line is removed.
    if (failures.empty())
      FAIL() << GetParam() << " passes now: remove its pending line (" << c.pending << ")";
    GTEST_SKIP() << "pending: " << c.pending << report;
  }
  EXPECT_TRUE(failures.empty()) << GetParam() << report;
}

INSTANTIATE_TEST_SUITE_P(Cases, Scenario, testing::ValuesIn(listCases()), caseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Scenario);

}  // namespace
