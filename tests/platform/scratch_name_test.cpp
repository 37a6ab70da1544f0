#include "platform/scratch_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using platform::parseScratchName;
using platform::scratchPrefix;

TEST(ScratchName, OnlyNamesOfThisMachineWithAFreshSuffixAndAKnownKindAreOurs) {
  const std::string host = platform::hostTag();
  ASSERT_EQ(host.size(), 8u);
  const std::string prefix = scratchPrefix("doc.txt", host, 4242);
  EXPECT_EQ(prefix, ".doc.txt.slate-" + host + "-4242-");

  const platform::ScratchName ours = parseScratchName(prefix + "aB3xY9.part", host);
  EXPECT_EQ(ours.pid, 4242u);
  EXPECT_EQ(ours.stem, prefix + "aB3xY9");
  EXPECT_EQ(ours.kind, ".part");
  for (const std::string& other : std::vector<std::string>{
           prefix + "aB3x!9.tmp", prefix + "aB3xY9.txt", prefix + "aB3xY9",
           "doc.txt.slate-" + host + "-4242-aB3xY9.tmp", ".doc.slate-0000abcd-1-aB3xY9.tmp",
           ".doc.slate-" + host + "--aB3xY9.tmp", ".doc.slate-" + host + "-99999999999-aB3xY9.tmp"})
    EXPECT_EQ(parseScratchName(other, host).pid, 0u) << other;

  // A long name is cut short so that the scratch name stays within a name's limit.
  EXPECT_EQ(scratchPrefix(std::string(300, 'n'), host, 1).size(), 1 + 180 + 15 + 1 + 2u);
  // Two long names alike in their first part still have scratch names of their own: the next
  // start never offers one file's interrupted save as the other's.
  EXPECT_NE(scratchPrefix(std::string(200, 'n') + "1", host, 1),
            scratchPrefix(std::string(200, 'n') + "2", host, 1));
}
