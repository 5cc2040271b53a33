// OvFileName: component splits of drive-letter, UNC and POSIX paths, and
// the failures with their trace lines.
#include <gtest/gtest.h>

#include <unistd.h>
#include <functional>
#include <string>

#include "foundation/ov_alloc.h"
#include "foundation/ov_exception.h"
#include "foundation/ov_file_name.h"

OvException caught(const std::function<void()>& f);

namespace {

std::string parts(const OvFileName& f) {
  return std::string(f.GetDrive()) + "|" + f.GetDirectory() + "|" + f.GetFileName() + "|" +
         f.GetExtension();
}

TEST(OvFileName, SplitsFullPaths) {
  char cwd[4096];
  std::string here = getcwd(cwd, sizeof cwd);
  for (char& c : here) c = c == '/' ? '\\' : c;
  const std::pair<const char*, std::string> cases[] = {
      {"D:file.txt", "D:||file|.txt"},
      {"d:\\a.b.c  ", "d:|\\|a.b|.c"},
      {"\\\\srv\\share\\dir\\f.txt", "\\\\srv\\share|\\dir\\|f|.txt"},
      {"/opt/x.1/prog.exe", "|\\opt\\x.1\\|prog|.exe"},
      {"/opt/caf\xC3\xA9 ", "|\\opt\\|caf\xC3\xA9|"},  // only the blank is stripped
      {"/a/./b/../../c.txt", "|\\|c|.txt"},
      {"/../../etc/.profile", "|\\etc\\||.profile"},
      {"", "|||"},
      {"./build/tessel", "|" + here + "\\build\\|tessel|"}};
  for (auto& c : cases) EXPECT_EQ(parts(OvFileName(c.first)), c.second) << c.first;
}

TEST(OvFileName, FailuresCarryTheirTraces) {
  OvFileName name, longDrive;
  longDrive.SetDrive("\\\\a-server-with-a-rather-long-name\\share");
  const struct {
    std::function<void()> call;
    const char *message, *trace;
  } cases[] = {
      {[&] { name.Set(nullptr); }, "Null pointer", "Set() of OvFileName"},
      {[] { OvFileName bad("\\\\srv"); }, "Invalid UNC name",
       "Set() of OvFileName\r\nConstructor of OvFileName"},
      {[&] { name.Set("\\\\srv\\s\\f"); }, "Invalid UNC name", "Set() of OvFileName"},
      {[&] { name.Set("\\\\srv\\f"); }, "Start position is longer than string",
       "Find() of OvString\r\nSet() of OvFileName"},
      {[&] {
         OvFailAllocationAfter(0);
         name = longDrive;
       },
       "Out of memory - tried to allocate 73 bytes.",
       "OvCopyString of OvAlloc\r\ncopy() of OvString\r\nSetDrive() of OvFileName\r\nCopy of "
       "OvFilename\r\n"
       "Assignment operator of OvFileName"}};
  for (auto& c : cases) {
    OvException e = caught(c.call);
    EXPECT_STREQ(e.GetMessage(), c.message);
    EXPECT_STREQ(e.GetTrace(), c.trace);
  }
}

}  // namespace
