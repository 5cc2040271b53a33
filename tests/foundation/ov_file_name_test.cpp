// OvFileName: component splits of drive-letter, UNC and POSIX paths, the
// normal forms of the setters, composed getters, and the failures with
// their trace lines (including an unreadable current directory).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <string>
#include <unistd.h>

#include "foundation/ov_alloc.h"
#include "foundation/ov_exception.h"
#include "foundation/ov_file_name.h"

OvException caught(const std::function<void()>& f);

namespace {

std::string parts(const OvFileName& f) {
  return std::string(f.GetDrive()) + "|" + f.GetDirectory() + "|" + f.GetFileName() + "|" + f.GetExtension();
}

TEST(OvFileName, SplitsFullPaths) {
  const std::pair<const char*, const char*> cases[] = {
      {"D:\\data\\run.1\\points.csv", "D:|\\data\\run.1\\|points|.csv"},
      {"D:\\data\\run.1\\readme", "D:|\\data\\run.1\\|readme|"},
      {"D:\\rel.2\\tool", "D:|\\rel.2\\|tool|"},
      {"D:file.txt", "D:||file|.txt"},
      {"d:\\a.b.c  ", "d:|\\|a.b|.c"},
      {"\\\\srv\\share\\f.txt", "\\\\srv\\share|\\|f|.txt"},
      {"\\\\srv\\share\\dir\\sub\\f", "\\\\srv\\share|\\dir\\sub\\|f|"},
      {"\\\\srv\\share\\", "\\\\srv\\share|\\||"},
      {"\\x\\y.z", "|\\x\\|y|.z"},
      {"/opt/x.1/prog.exe", "|\\opt\\x.1\\|prog|.exe"},
      {"//x", "|\\|x|"},
      {"/a/./b/../c.txt", "|\\a\\|c|.txt"},
      {"/a//b///", "|\\a\\|b|"},
      {"/../../etc/.profile", "|\\etc\\||.profile"},
      {"/", "|\\||"},
      {"", "|||"},
  };
  for (auto& c : cases) EXPECT_EQ(parts(OvFileName(c.first)), c.second) << c.first;
}

TEST(OvFileName, RelativePathsJoinTheCurrentDirectory) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  std::string directory = cwd;
  for (char& c : directory) c = c == '/' ? '\\' : c;
  if (directory != "\\") directory += "\\";
  EXPECT_EQ(parts(OvFileName("./build/tessel")), "|" + directory + "build\\|tessel|");
  EXPECT_STREQ(OvFileName("../sibling/z.cfg").GetNameAndExtension(), "z.cfg");
}

TEST(OvFileName, SettersKeepNormalForms) {
  const std::pair<std::function<void(OvFileName&)>, const char*> cases[] = {
      {[](OvFileName& f) { f.SetExtension("txt"); }, "|||.txt"},
      {[](OvFileName& f) { f.SetExtension(".txt"); }, "|||.txt"},
      {[](OvFileName& f) { f.SetDrive("D"); }, "D:|||"},
      {[](OvFileName& f) { f.SetDrive("D:"); }, "D:|||"},
      {[](OvFileName& f) { f.SetDrive("\\\\srv\\share"); }, "\\\\srv\\share|||"},
      {[](OvFileName& f) { f.SetDirectory("\\data"); }, "|\\data\\||"},
      {[](OvFileName& f) { f.SetDirectory("\\data\\"); }, "|\\data\\||"},
      {[](OvFileName& f) { f.SetFileName("a.b"); }, "||a.b|"},
      {[](OvFileName& f) { f.SetLocation("  C:\\tmp "); }, "C:|\\tmp\\||"},
      {[](OvFileName& f) { f.Set("D:\\x.y"); f.SetExtension(""); f.SetDrive(""); }, "|\\|x|"},
  };
  for (auto& c : cases) {
    OvFileName name;
    c.first(name);
    EXPECT_EQ(parts(name), c.second);
  }
}

TEST(OvFileName, ComposesAndCopies) {
  OvFileName name("D:\\data\\points.csv");
  EXPECT_STREQ(name.GetFullPath(), "D:\\data\\points.csv");
  EXPECT_STREQ(name.GetLocation(), "D:\\data\\");
  EXPECT_STREQ(name.GetNameAndExtension(), "points.csv");
  OvFileName copy(name);
  OvFileName assigned;
  assigned = name;
  name.SetExtension("txt");
  EXPECT_EQ(parts(copy), "D:|\\data\\|points|.csv");
  EXPECT_EQ(parts(assigned), parts(copy));
  OvFileName posix("/srv/a.b");
  posix.ConvertToAbsolutePath();  // converting an already split path changes nothing
  EXPECT_STREQ(posix.GetFullPath(), "\\srv\\a.b");
}

TEST(OvFileName, FailuresCarryTheirTraces) {
  OvFileName name;
  OvFileName longDrive;
  longDrive.SetDrive("\\\\a-server-with-a-rather-long-name\\share");
  struct Case {
    std::function<void()> call;
    const char* message;
    const char* trace;
  } cases[] = {
      {[&] { name.Set(nullptr); }, "Null pointer", "Set() of OvFileName"},
      {[&] { name.SetDrive(nullptr); }, "Null parameter", "SetDrive() of OvFileName"},
      {[&] { name.SetDirectory(nullptr); }, "Null parameter", "SetDirectory() of OvFileName"},
      {[&] { name.SetFileName(nullptr); }, "Null parameter", "SetFileName() of OvFileName"},
      {[&] { name.SetExtension(nullptr); }, "Null parameter", "SetExtension() of OvFileName"},
      {[] { OvFileName bad("\\\\srv"); }, "Invalid UNC name", "Set() of OvFileName\r\nConstructor of OvFileName"},
      {[&] { name.Set("\\\\srv\\s\\f"); }, "Invalid UNC name", "Set() of OvFileName"},
      {[&] { name.Set("\\\\srv\\f"); }, "Start position is longer than string",
       "Find() of OvString\r\nSet() of OvFileName"},
      {[&] { OvFailAllocationAfter(0); name = longDrive; }, "Out of memory - tried to allocate 73 bytes.",
       "OvCopyString of OvAlloc\r\ncopy() of OvString\r\nSetDrive() of OvFileName\r\nCopy of OvFilename\r\n"
       "Assignment operator of OvFileName"},
  };
  for (auto& c : cases) {
    OvException e = caught(c.call);
    EXPECT_STREQ(e.GetMessage(), c.message);
    EXPECT_STREQ(e.GetTrace(), c.trace);
  }
  EXPECT_STREQ(name.GetFileName(), "f");  // set before the failure, kept
}

TEST(OvFileName, UnreadableCurrentDirectoryIsReported) {
  char pattern[] = "/tmp/ov_file_name_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  int home = open(".", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(home, 0);
  ASSERT_EQ(chdir(pattern), 0);
  ASSERT_EQ(rmdir(pattern), 0);
  OvException e = caught([] { OvFileName relative("points.csv"); });
  OvFileName absolute("/still/fine.txt");
  ASSERT_EQ(fchdir(home), 0);
  close(home);
  EXPECT_EQ(e.GetMessage(), "Could not get full path name -- " + std::string(std::strerror(ENOENT)));
  EXPECT_STREQ(e.GetOrigin(), "OvFileName");
  EXPECT_STREQ(e.GetTrace(), "Set() of OvFileName\r\nConstructor of OvFileName");
  EXPECT_STREQ(absolute.GetFileName(), "fine");
}

}  // namespace
