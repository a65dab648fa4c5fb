#include <gtest/gtest.h>

#include <functional>

#include "common/exception.h"
#include "common/ini_file.h"
#include "fake_views.h"
#include "shell/mini_file.h"
#include "temp_dir.h"

namespace qv {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(IniFile, WritesLikeTheProfileFunctions) {
  struct Case {
    const char* name;
    std::optional<std::string> before;  // nothing: no file
    std::function<void(TIniFile&)> writes;
    std::string after;
  };
  const Case cases[] = {
      {"the close sequence on the created file", " \r\n",
       [](TIniFile& ini) {
         ini.WriteInteger("RS232", "Port", 3);
         ini.WriteBool("Common", "Auto", false);
         ini.WriteInteger("MainWindow", "State", 0);
         ini.WriteInteger("MainWindow", "Left", -8);
       },
       " \r\n[RS232]\r\nPort=3\r\n[Common]\r\nAuto=0\r\n[MainWindow]\r\nState=0\r\nLeft=-8\r\n"},
      {"no file: created by the first write", std::nullopt,
       [](TIniFile& ini) { ini.WriteBool("Common", "Auto", true); }, "[Common]\r\nAuto=1\r\n"},
      {"replace in place, the file's spelling of names kept, other lines untouched",
       "[common]\r\n; note\r\n  auto = 0 \r\nx=1\r\n\r\n[B]\r\ny=2\r\n",
       [](TIniFile& ini) { ini.WriteBool("Common", "Auto", true); },
       "[common]\r\n; note\r\nauto=1\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
      {"a new key after the section's last line, before its blank lines",
       "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n", [](TIniFile& ini) { ini.WriteInteger("A", "z", 3); },
       "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"},
      {"LF lines and a missing final line end come back as CRLF", "[A]\nx=1\n[B]\ny=2",
       [](TIniFile& ini) { ini.WriteString("C", "q", "v"); },
       "[A]\r\nx=1\r\n[B]\r\ny=2\r\n[C]\r\nq=v\r\n"},
      {"the first of duplicate keys is the one replaced", "[S]\r\nk=1\r\nk=2\r\n",
       [](TIniFile& ini) { ini.WriteInteger("S", "K", 4); }, "[S]\r\nk=4\r\nk=2\r\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    auto path = dir / "q.ini";
    if (c.before) WriteBytes(path, *c.before);
    TIniFile ini(path);
    c.writes(ini);
    EXPECT_EQ(ReadBytes(path), c.after) << c.name;
    EXPECT_FALSE(std::filesystem::exists(dir / "q.ini.tmp")) << c.name;
  }
}

TEST(IniFile, ReadsIntegersAndBooleans) {
  TempDir dir;
  WriteBytes(dir / "q.ini",
             "[S]\r\ndec=12\r\nhex=0x10\r\nneg=-50\r\ntext=abc\r\nblank=\r\nquoted=\"7\"\r\n"
             "spaced =  5  \r\nzero=0\r\n");
  TIniFile ini(dir / "q.ini");
  struct Case {
    const char* key;
    int32_t value;
  };
  const Case cases[] = {{"dec", 12},   {"hex", 16},   {"neg", -50},    {"text", 99}, {"blank", 99},
                        {"quoted", 7}, {"spaced", 5}, {"missing", 99}, {"DEC", 12}};
  for (const auto& c : cases)
    EXPECT_EQ(ini.ReadInteger("S", c.key, 99), c.value) << c.key;
  EXPECT_TRUE(ini.ReadBool("S", "hex", false));
  EXPECT_FALSE(ini.ReadBool("S", "zero", true));
  EXPECT_TRUE(ini.ReadBool("S", "text", true));
  EXPECT_EQ(ini.ReadInteger("s", "dec", 0), 12) << "section names ignore letter case";
}

TEST(IniFile, AValueThatCannotBeWrittenRaisesAndLeavesTheFile) {
  TempDir dir;
  auto path = dir / "q.ini";
  WriteBytes(path, "[A]\r\nx=1\r\n");
  TIniFile ini(path);
  // A folder where the new contents would go makes the write fail, for root as well.
  std::filesystem::create_directories(dir / "q.ini.tmp" / "in-the-way");
  try {
    ini.WriteInteger("A", "x", 2);
    ADD_FAILURE() << "no error raised";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path.string());
  }
  EXPECT_EQ(ReadBytes(path), "[A]\r\nx=1\r\n");
  EXPECT_EQ(ini.ReadInteger("A", "x", 0), 1) << "the failed write is not kept in memory either";
}

TEST(MIniFile, LivesBesideTheExecutableAndStartsAsOneBlankLine) {
  TempDir dir;
  EXPECT_EQ(TMIniFile::PathFor(dir / "quorvane"), dir / "quorvane.ini");
  EXPECT_EQ(TMIniFile::PathFor(dir / "quorvane.exe"), dir / "quorvane.ini");
  EXPECT_EQ(TMIniFile::PathFor(dir / "q.v.exe"), dir / "q.v.ini");

  { TMIniFile ini(dir / "quorvane"); }
  EXPECT_EQ(ReadBytes(dir / "quorvane.ini"), std::string("\x20\x0D\x0A"));

  WriteBytes(dir / "quorvane.ini", "[Common]\r\nAuto=1\r\n");
  TMIniFile ini(dir / "quorvane");
  EXPECT_TRUE(ini.ReadBool("Common", "Auto", false)) << "an existing file is not replaced";
}

TEST(MIniFile, AFileThatCannotBeCreatedRaisesTheInputOutputError) {
  TempDir dir;
  try {
    TMIniFile ini(dir / "no-such-folder" / "quorvane");
    ADD_FAILURE() << "no error raised";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "File not found");
    EXPECT_EQ(e.Code(), std::errc::no_such_file_or_directory);
  }
}

TEST(MIniFile, ReadWindowPlacement) {
  struct Case {
    const char* name;
    std::string section;
    bool sizeable;
    std::vector<std::string> sets;
    test::FakePlacement expected;
  };
  auto placed = [](int state, int left, int top, int width, int height) {
    test::FakePlacement p;
    p.state = state, p.left = left, p.top = top, p.width = width, p.height = height;
    return p;
  };
  const Case cases[] = {
      {"no keys: the current values stay",
       "",
       false,
       {"State", "Left", "Top"},
       placed(0, 200, 150, 826, 288)},
      {"maximised: Left and Top are not read",
       "State=2\r\nLeft=5\r\nTop=6\r\n",
       true,
       {"State"},
       placed(2, 200, 150, 826, 288)},
      {"negative Left and Top become 0",
       "State=0\r\nLeft=-50\r\nTop=-1\r\n",
       false,
       {"State", "Left", "Left", "Top", "Top"},
       placed(0, 0, 0, 826, 288)},
      {"a fixed border: Width and Height are not read",
       "Left=1\r\nTop=2\r\nWidth=50\r\n",
       false,
       {"State", "Left", "Top"},
       placed(0, 1, 2, 826, 288)},
      {"sizeable: negative Width and Height become 100",
       "Width=-5\r\nHeight=-6\r\n",
       true,
       {"State", "Left", "Top", "Width", "Width", "Height", "Height"},
       placed(0, 200, 150, 100, 100)},
      {"values that are no number read as the defaults",
       "State=max\r\nLeft=x\r\n",
       false,
       {"State", "Left", "Top"},
       placed(0, 200, 150, 826, 288)},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteBytes(dir / "q.ini", "[MainWindow]\r\n" + c.section);
    TMIniFile ini(dir / "q");
    test::FakePlacement form;
    form.sizeable = c.sizeable;
    ini.ReadWindowPlacement("MainWindow", form);
    EXPECT_EQ(form.sets, c.sets) << c.name;
    EXPECT_EQ(std::vector<int>({form.state, form.left, form.top, form.width, form.height}),
              std::vector<int>({c.expected.state, c.expected.left, c.expected.top, c.expected.width,
                                c.expected.height}))
        << c.name;
  }
}

TEST(MIniFile, WriteWindowPlacementWritesAllFiveInOrder) {
  TempDir dir;
  TMIniFile ini(dir / "q");
  test::FakePlacement form;
  form.state = 1, form.left = -4, form.top = 7;
  ini.WriteWindowPlacement("MainWindow", form);
  EXPECT_EQ(ReadBytes(dir / "q.ini"),
            " \r\n[MainWindow]\r\nState=1\r\nLeft=-4\r\nTop=7\r\nWidth=826\r\nHeight=288\r\n");
}

}  // namespace
}  // namespace qv
