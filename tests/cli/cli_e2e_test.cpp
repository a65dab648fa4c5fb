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
#include "sim/pty_device.h"

namespace qv::cli {
namespace {

namespace fs = std::filesystem;
using test::ChildOptions;
using test::ChildResult;
using test::RunChild;

constexpr const char* kCli = QV_CLI_PATH;

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
    if (device_)
      device_->Stop();
    fs::remove_all(dir_);
  }

  // Starts the simulated device; `setup` adjusts it first.
  void StartDevice(const std::function<void(sim::SimDevice&)>& setup = {}) {
    sim::SimDevice device;
    if (setup)
      setup(device);
    device_ = std::make_unique<sim::PtyDevice>(std::move(device));
    ASSERT_FALSE(device_->Start());
  }
  std::string Pty() const { return device_->SlavePath(); }

  // The CLI on the simulated device's pty, in the test's folder.
  ChildResult Cli(std::vector<std::string> args, ChildOptions options = {}) {
    std::vector<std::string> argv = {options.args.empty() ? kCli : options.args[0]};
    argv.insert(argv.end(), args.begin(), args.end());
    options.args = argv;
    if (options.working_dir.empty())
      options.working_dir = dir_.string();
    return RunChild(options);
  }
  ChildResult OnDevice(std::vector<std::string> args, ChildOptions options = {}) {
    std::vector<std::string> all = {"--device", Pty(), "--connect-timeout", "5"};
    all.insert(all.end(), args.begin(), args.end());
    return Cli(all, std::move(options));
  }

  uint32_t Requests() {
    return device_->With([](sim::SimDevice& d) { return d.Model().RequestCount(); });
  }

  fs::path dir_;
  std::unique_ptr<sim::PtyDevice> device_;
};

TEST_F(CliEndToEnd, IdentifyPrintsTypeAndVersionInFixedWidthLowercaseHex) {
  StartDevice([](sim::SimDevice& d) {
    d.Model().type = 0x07;
    d.Model().version = 0x0ABC;
  });
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
  StartDevice([](sim::SimDevice& d) { d.Plan().Add(sim::FaultRule(sim::FaultKind::kSilent)); });
  ChildResult r = Cli({"--device", Pty(), "--connect-timeout", "1", "identify"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(std::string(texts::kNoLink) + "\n"), std::string::npos) << r.err;
  // One attempt (three tries of 100 ms), the pause cut at the limit, one more attempt.
  EXPECT_GE(r.wall_ms, 1000);
  EXPECT_LT(r.wall_ms, 2500);
  EXPECT_EQ(Requests(), 6u);
}

TEST_F(CliEndToEnd, BusyDeviceGivesItsOwnText) {
  StartDevice([](sim::SimDevice& d) { d.Plan().Add(sim::FaultRule(sim::FaultKind::kBusy)); });
  ChildResult r = Cli({"--device", Pty(), "--connect-timeout", "0.5", "identify"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find(texts::kBusy), std::string::npos) << r.err;
}

TEST_F(CliEndToEnd, CtrlCDuringTheConnectionPauseCancelsAtOnce) {
  StartDevice([](sim::SimDevice& d) { d.Plan().Add(sim::FaultRule(sim::FaultKind::kSilent)); });
  ChildOptions options;
  options.interrupt_after_ms = 800;  // inside the 3000 ms pause after the first attempt
  ChildResult r = Cli({"--device", Pty(), "--connect-timeout", "0", "identify"}, options);
  EXPECT_EQ(r.exit_code, 130);
  EXPECT_LT(r.wall_ms, 800 + 600);
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
  EXPECT_EQ(Requests(), 0u);
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
  device_->With([](sim::SimDevice& d) {
    EXPECT_EQ(d.Model().program_log, (std::vector<uint32_t>{0x8000, 0x8400, 0x8800}));
    EXPECT_EQ(d.Model().program_memory.at(0x8400)[5], 6);
    EXPECT_TRUE(d.Model().upload_finished);
  });
}

TEST_F(CliEndToEnd, UploadOfAnImageForAnotherVersionFailsBeforeAnyPage) {
  StartDevice();
  WriteFile(dir_ / "fw.rom", MakeRom(2, 0x21, 0x0406, 0x8000));
  ChildResult r = OnDevice({"upload", "fw.rom"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find(std::string(texts::kTypeMismatch) + "\n"), std::string::npos) << r.err;
  device_->With([](sim::SimDevice& d) { EXPECT_EQ(d.Model().CountOf(20), 0u); });
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
  EXPECT_EQ(Requests(), 0u);
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
  device_->With([&](sim::SimDevice& d) {
    EXPECT_TRUE(std::equal(file.image.begin(), file.image.end(), d.Model().settings.begin() + 32));
  });
}

TEST_F(CliEndToEnd, BackupThatTimesOutLeavesNoFile) {
  StartDevice([](sim::SimDevice& d) { d.Plan().Add(sim::FaultRule(sim::FaultKind::kSilent)); });
  ChildResult r =
      Cli({"--device", Pty(), "--connect-timeout", "0.3", "backup", "--output", "out.prmz"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find(texts::kNoLink), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "out.prmz"));
}

TEST_F(CliEndToEnd, RestoreWithYesWritesTheSavedAreasBack) {
  StartDevice();
  // A backup of the device as it is, with one byte of area 1 changed since.
  ASSERT_EQ(OnDevice({"backup", "--output", "saved.prmz"}).exit_code, 0);
  size_t first_area = device_->With([](sim::SimDevice& d) {
    size_t start = d.Model().DefaultAreas().at(0).start;
    d.Model().settings[start] ^= 0xFF;
    d.Model().store_log.clear();
    return start;
  });
  ChildResult r = OnDevice({"restore", "saved.prmz", "--yes"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, std::string(texts::kSettingsWritten) + "\n");
  EXPECT_EQ(r.err.find(texts::kReplugPrompt), std::string::npos) << "--yes asks nothing";
  device_->With([&](sim::SimDevice& d) {
    EXPECT_EQ(d.Model().store_log.size(), d.Model().DefaultAreas().size());
    EXPECT_EQ(d.Model().settings[first_area], sim::DeviceModel::DefaultSettingsByte(first_area));
  });
}

TEST_F(CliEndToEnd, RestoreAsksOnTheTerminalAndDrawsABar) {
  StartDevice();
  ASSERT_EQ(OnDevice({"backup", "--output", "saved.prmz"}).exit_code, 0);
  uint32_t before = Requests();

  ChildOptions no;
  no.terminal = true;
  no.input = "n\n";
  ChildResult declined = OnDevice({"restore", "saved.prmz"}, no);
  EXPECT_EQ(declined.exit_code, 1);
  EXPECT_NE(declined.err.find(texts::kReplugPrompt), std::string::npos) << declined.err;
  EXPECT_EQ(Requests(), before) << "No sends nothing";

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
