// The CLI run as a child process against the simulated device on a pseudo-terminal: the real
// serial path, the real exit codes and the texts on stdout and stderr.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "child_process.h"
#include "jobs/job_texts.h"
#include "jobs/settings_file.h"
#include "link/link_texts.h"
#include "sim/device_model.h"

namespace qv::cli {
namespace {

namespace fs = std::filesystem;
using test::ChildOptions;
using test::ChildResult;
using test::RunChild;

constexpr const char* kCli = QV_CLI_PATH;
constexpr const char* kDevsim = QV_DEVSIM_PATH;

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A firmware image of `pages` whole pages (byte i of page p is p + i) and its trailer.
std::vector<uint8_t> MakeRom(size_t pages, uint8_t type, uint16_t version, uint32_t load) {
  std::vector<uint8_t> rom;
  for (size_t p = 0; p < pages; ++p) {
    for (size_t i = 0; i < 1024; ++i)
      rom.push_back(static_cast<uint8_t>(p + i));
  }
  rom.push_back(type);
  rom.push_back(static_cast<uint8_t>(version));
  rom.push_back(static_cast<uint8_t>(version >> 8));
  for (int s = 0; s < 32; s += 8)
    rom.push_back(static_cast<uint8_t>(load >> s));
  return rom;
}

class CliEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("qv-cli-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    device_.Stop();
    fs::remove_all(dir_);
  }

  // Starts quorvane-devsim with the options and takes its pty from its first line.
  void StartDevice(std::vector<std::string> options = {}) {
    device_.Stop();
    std::vector<std::string> args = {kDevsim, "--log"};
    args.insert(args.end(), options.begin(), options.end());
    // A fresh file, so the first line read is this device's and not the one before it.
    std::string out = (dir_ / "devsim.out").string();
    fs::remove(out);
    ASSERT_TRUE(device_.Start(args, out, (dir_ / "devsim.log").string()));
    std::string line = test::FirstLineOf(out, 5000);
    ASSERT_TRUE(line.starts_with("pty: ")) << line;
    pty_ = line.substr(5);
  }
  const std::string& Pty() const { return pty_; }

  // The requests the device has received so far, one log line each ("#N cmd=C payload=...").
  std::vector<std::string> Requests() const {
    std::ifstream log(dir_ / "devsim.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) {
      if (line.starts_with("#")) lines.push_back(line);
    }
    return lines;
  }
  std::vector<std::string> RequestsFor(int command) const {
    std::vector<std::string> lines;
    for (const auto& line : Requests()) {
      if (line.find(" cmd=" + std::to_string(command) + " ") != std::string::npos) {
        lines.push_back(line);
      }
    }
    return lines;
  }

  // The CLI in the test's folder.
  ChildResult Cli(std::vector<std::string> args, ChildOptions options = {}) {
    std::vector<std::string> argv = {options.args.empty() ? kCli : options.args[0]};
    argv.insert(argv.end(), args.begin(), args.end());
    options.args = argv;
    if (options.working_dir.empty()) options.working_dir = dir_.string();
    return RunChild(options);
  }
  // The CLI on the simulated device's pty.
  ChildResult OnDevice(std::vector<std::string> args, ChildOptions options = {}) {
    std::vector<std::string> all = {"--device", Pty(), "--connect-timeout", "5"};
    all.insert(all.end(), args.begin(), args.end());
    return Cli(all, std::move(options));
  }

  fs::path dir_;
  test::BackgroundProcess device_;
  std::string pty_;
};

TEST_F(CliEndToEnd, IdentifyPrintsTypeAndVersionInFixedWidthLowercaseHex) {
  StartDevice({"--type", "7", "--version", "0x0ABC"});
  ChildResult r = OnDevice({"identify"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "type=0x07 version=0x0abc\n");
}

TEST_F(CliEndToEnd, IdentifyOfTheDefaultDevice) {
  StartDevice();
  ChildResult r = OnDevice({"identify"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "type=0x21 version=0x0405\n");
  EXPECT_EQ(r.err, std::string(texts::kConnecting) + "\n");
}

TEST_F(CliEndToEnd, ConnectTimeoutEndsWithTheLastFailure) {
  StartDevice({"--fault", "silent"});
  ChildResult r = Cli({"--device", Pty(), "--connect-timeout", "1", "identify"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(std::string(texts::kNoLink) + "\n"), std::string::npos) << r.err;
  // One attempt (three tries of 100 ms), the pause cut at the limit, one more attempt.
  EXPECT_GE(r.wall_ms, 1000);
  EXPECT_LT(r.wall_ms, 2500);
  EXPECT_EQ(Requests().size(), 6u);
}

TEST_F(CliEndToEnd, BusyDeviceGivesItsOwnText) {
  StartDevice({"--fault", "busy"});
  ChildResult r = Cli({"--device", Pty(), "--connect-timeout", "0.5", "identify"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find(texts::kBusy), std::string::npos) << r.err;
}

TEST_F(CliEndToEnd, CtrlCDuringTheConnectionPauseCancelsAtOnce) {
  StartDevice({"--fault", "silent"});
  ChildOptions options;
  options.interrupt_after_ms = 800;  // inside the 3000 ms pause after the first attempt
  ChildResult r = Cli({"--device", Pty(), "--connect-timeout", "0", "identify"}, options);
  EXPECT_EQ(r.exit_code, 130);
  EXPECT_LT(r.wall_ms, 800 + 1000);
  EXPECT_EQ(r.err.find(texts::kNoLink), std::string::npos) << "a cancel shows no failure";
}

TEST_F(CliEndToEnd, DeviceThatCannotBeOpened) {
  ChildResult r = Cli({"--device", (dir_ / "no-such-tty").string(), "identify"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("cannot open the device " + (dir_ / "no-such-tty").string() +
                       ": No such file or directory"),
            std::string::npos)
      << r.err;
}

TEST_F(CliEndToEnd, AutomaticSearchIsTheDefaultAndSaysWhenTheDeviceIsNotThere) {
  // No device of ours is plugged into the machine that runs the tests.
  ChildResult r = Cli({"identify"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(r.err.ends_with("Не вижу МК.\n")) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST_F(CliEndToEnd, BadCommandLinesShowUsageAndSendNothing) {
  StartDevice();
  const std::vector<std::vector<std::string>> lines = {
      {"--device", Pty(), "frobnicate"},
      {"--device", Pty(), "--port", "2", "identify"},
      {"--device", Pty(), "upload"},
      {"--device", Pty(), "--connect-timeout", "soon", "identify"},
  };
  for (const auto& line : lines) {
    SCOPED_TRACE(testing::PrintToString(line));
    ChildResult r = Cli(line);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Usage: quorvane-cli"), std::string::npos) << r.err;
  }
  EXPECT_TRUE(Requests().empty());
}

TEST_F(CliEndToEnd, UploadProgramsEveryPageAndReportsOnStdout) {
  StartDevice();
  WriteFile(dir_ / "fw.rom", MakeRom(3, 0x21, 0x0405, 0x8000));
  ChildResult r = OnDevice({"upload", "fw.rom"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, std::string(texts::kUploadDone) + "\n");
  // Progress goes to stderr as plain lines, since stderr is no terminal here.
  EXPECT_NE(r.err.find("Загрузка прошивки... 33%\nЗагрузка прошивки... 67%\n"
                       "Загрузка прошивки... 100%\n"),
            std::string::npos)
      << r.err;
  // The three pages programmed at their addresses, low byte first, then the closing sequence.
  std::vector<std::string> pages = RequestsFor(20);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_NE(pages[0].find("payload=4: 00 80 00 00 "), std::string::npos) << pages[0];
  EXPECT_NE(pages[2].find("payload=4: 00 88 00 00 "), std::string::npos) << pages[2];
  EXPECT_EQ(RequestsFor(10).size(), 3u * 32);
  EXPECT_EQ(RequestsFor(6).size(), 1u);
}

TEST_F(CliEndToEnd, UploadOfAnImageForAnotherVersionFailsBeforeAnyPage) {
  StartDevice();
  WriteFile(dir_ / "fw.rom", MakeRom(2, 0x21, 0x0406, 0x8000));
  ChildResult r = OnDevice({"upload", "fw.rom"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find(std::string(texts::kTypeMismatch) + "\n"), std::string::npos) << r.err;
  EXPECT_TRUE(RequestsFor(10).empty());
  EXPECT_TRUE(RequestsFor(20).empty());
}

TEST_F(CliEndToEnd, InputFilesRefusedBeforeThePortIsOpened) {
  StartDevice();
  WriteFile(dir_ / "short.rom", {0x21, 0x05, 0x04});
  WriteFile(dir_ / "short.prmz", std::vector<uint8_t>(61, 0));
  struct Case {
    std::vector<std::string> args;
    std::string text;
  };
  const std::vector<Case> cases = {
      {{"upload", "short.rom"}, texts::kFirmwareFileDamaged},
      {{"restore", "short.prmz", "--yes"}, texts::kSettingsFileDamaged},
      {{"upload", "missing.rom"}, std::string(texts::kCannotReadFile) + "missing.rom"},
      {{"backup", "--output", "no-folder/x.prmz"}, "no-folder"},
      // Without --yes and without a terminal the re-plug question cannot be asked.
      {{"restore", "short.prmz"}, "needs a terminal"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    ChildResult r = OnDevice(c.args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
  }
  EXPECT_TRUE(Requests().empty());
}

TEST_F(CliEndToEnd, BackupWritesTheDatedFileInTheCurrentFolder) {
  StartDevice();
  ChildResult r = OnDevice({"backup"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  ASSERT_TRUE(r.out.starts_with(texts::kSavedToFile)) << r.out;
  std::string name = r.out.substr(std::string(texts::kSavedToFile).size());
  name.pop_back();  // the line end
  EXPECT_EQ(name.size(), std::string("2026_02_03_09_05.prmz").size()) << name;
  SettingsFile file = DecodeSettingsFile(ReadFile(dir_ / name));
  EXPECT_EQ(file.version, 0x0405);
  // Blocks 1 to 127 exactly as the device holds them.
  auto settings = sim::DeviceModel::DefaultSettings();
  EXPECT_TRUE(std::equal(file.image.begin(), file.image.end(), settings.begin() + 32));
  EXPECT_EQ(RequestsFor(5).size(), 127u);
}

TEST_F(CliEndToEnd, BackupThatTimesOutLeavesNoFile) {
  StartDevice({"--fault", "silent"});
  ChildResult r =
      Cli({"--device", Pty(), "--connect-timeout", "0.3", "backup", "--output", "out.prmz"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find(texts::kNoLink), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "out.prmz"));
}

TEST_F(CliEndToEnd, RestoreWithYesWritesTheSavedAreasBack) {
  StartDevice();
  ASSERT_EQ(OnDevice({"backup", "--output", "saved.prmz"}).exit_code, 0);
  // The device again, with the first byte of area 1 changed since the backup.
  auto changed = sim::DeviceModel::DefaultSettings();
  size_t first_area = sim::DeviceModel::DefaultAreas().at(0).start;
  changed[first_area] ^= 0xFF;
  WriteFile(dir_ / "changed.img", std::vector<uint8_t>(changed.begin(), changed.end()));
  StartDevice({"--settings", (dir_ / "changed.img").string(), "--settings-out",
               (dir_ / "after.img").string()});

  ChildResult r = OnDevice({"restore", "saved.prmz", "--yes"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, std::string(texts::kSettingsWritten) + "\n");
  EXPECT_EQ(r.err.find(texts::kReplugPrompt), std::string::npos) << "--yes asks nothing";
  EXPECT_EQ(RequestsFor(7).size(), sim::DeviceModel::DefaultAreas().size());
  std::vector<uint8_t> after = ReadFile(dir_ / "after.img");
  ASSERT_EQ(after.size(), changed.size());
  EXPECT_EQ(after[first_area], sim::DeviceModel::DefaultSettingsByte(first_area));
}

TEST_F(CliEndToEnd, RestoreAsksOnTheTerminalAndDrawsABar) {
  StartDevice();
  ASSERT_EQ(OnDevice({"backup", "--output", "saved.prmz"}).exit_code, 0);
  size_t before = Requests().size();

  ChildOptions no;
  no.terminal = true;
  no.input = "n\n";
  ChildResult declined = OnDevice({"restore", "saved.prmz"}, no);
  EXPECT_EQ(declined.exit_code, 1);
  EXPECT_NE(declined.err.find(texts::kReplugPrompt), std::string::npos) << declined.err;
  EXPECT_EQ(Requests().size(), before) << "No sends nothing";

  ChildOptions yes;
  yes.terminal = true;
  yes.input = "y\n";
  ChildResult r = OnDevice({"restore", "saved.prmz"}, yes);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, std::string(texts::kSettingsWritten) + "\n");
  // On a terminal the progress is one line redrawn in place, with a bar.
  EXPECT_NE(r.err.find("\rЗапись настроек... [##############################] 100%"),
            std::string::npos)
      << r.err;
}

TEST_F(CliEndToEnd, InfoDescribesBothFileKindsWithoutADevice) {
  WriteFile(dir_ / "fw.rom", MakeRom(3, 0x21, 0x0405, 0x8000));
  ChildResult rom = Cli({"info", "fw.rom"});
  EXPECT_EQ(rom.exit_code, 0) << rom.err;
  EXPECT_EQ(rom.out, "type=0x21 version=0x0405 load_address=0x00008000 pages=3 size=3079\n");

  std::vector<uint8_t> image(kSettingsImageBytes, 0);
  image[0] = 1;
  image[1] = 0x05;
  image[4] = 0x40;
  image[6] = 12;
  WriteFile(dir_ / "s.prmz", EncodeSettingsFile(0x0405, image));
  ChildResult prmz = Cli({"info", "s.prmz"});
  EXPECT_EQ(prmz.exit_code, 0) << prmz.err;
  EXPECT_EQ(prmz.out,
            "version=0x0405 size=4066 count=1 firmware=0x05\narea=1 start=0x0040 length=12\n");

  EXPECT_EQ(Cli({"info", "notes.txt"}).exit_code, 2);
}

TEST_F(CliEndToEnd, PortTableFromTheIniBesideTheExecutable) {
  StartDevice();
  // A copy of the program with the main program's ini beside it, which maps COM3 to the pty.
  fs::path bin = dir_ / "bin";
  fs::create_directories(bin);
  fs::copy_file(kCli, bin / "quorvane-cli");
  std::ofstream(bin / "quorvane.ini") << "[Ports]\r\nCOM3=" << Pty() << "\r\n";
  auto ini_before = ReadFile(bin / "quorvane.ini");
  ChildOptions options;
  options.args = {(bin / "quorvane-cli").string()};

  ChildResult ports = Cli({"ports"}, options);
  EXPECT_EQ(ports.exit_code, 0) << ports.err;
  EXPECT_NE(ports.out.find("COM3\t" + Pty() + "\t-\n"), std::string::npos) << ports.out;
  EXPECT_TRUE(ports.out.ends_with("auto\tnone\n")) << ports.out;

  ChildResult id = Cli({"--port", "3", "--connect-timeout", "5", "identify"}, options);
  EXPECT_EQ(id.exit_code, 0) << id.err;
  EXPECT_EQ(id.out, "type=0x21 version=0x0405\n");
  EXPECT_EQ(ReadFile(bin / "quorvane.ini"), ini_before) << "the ini file is only read";
}

}  // namespace
}  // namespace qv::cli
