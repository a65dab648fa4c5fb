#include "apps/cli/commands.h"

#include <cstdio>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "apps/cli/device_path.h"
#include "apps/cli/file_info.h"
#include "apps/cli/ports_listing.h"
#include "apps/cli/terminal_ui.h"
#include "common/exception.h"
#include "common/ini_file.h"
#include "jobs/connection.h"
#include "jobs/file_io.h"
#include "jobs/firmware_image.h"
#include "jobs/firmware_upload.h"
#include "jobs/job_session.h"
#include "jobs/settings_backup.h"
#include "jobs/settings_file.h"
#include "jobs/settings_restore.h"
#include "link/KV_RS232.h"
#include "link/link_texts.h"
#include "platform/device_registry.h"
#include "platform/message_pump.h"
#include "platform/port_table.h"
#include "shell/device_discovery.h"

namespace qv::cli {
namespace {

void Problem(Environment& env, const std::string& text) {
  env.err << "quorvane-cli: " << text << '\n' << std::flush;
}

std::string PortName(int n) {
  return "COM" + std::to_string(n);
}

// The main program's ini file, only read; a missing file reads as empty.
TIniFile ReadIni(const Environment& env) {
  return TIniFile(env.ini_path);
}

// Why the device at path cannot be opened now, or nothing when it can.
std::optional<std::string> WhyNotOpenable(const std::string& path) {
  std::error_code ec;
  if (platform::OpenSerialDevice(path, ec)) return std::nullopt;
  return ec.message();
}

// The serial ports the command works with and the port it uses.
struct Target {
  std::unique_ptr<platform::TableSerialPlatform> platform;
  int port = 0;  // 0: the automatic search finds it
  std::unique_ptr<platform::DeviceRegistry> registry;
};

// Resolves --device, --port or --auto; nothing after the problem has been written.
std::optional<Target> ChooseTarget(const Options& options, Environment& env) {
  Target target;
  switch (options.port_choice) {
    case PortChoice::kDevice: {
      std::string path = DevicePathFromArgument(options.device_path, ThisSystemPathStyle());
      if (auto why = WhyNotOpenable(path)) {
        Problem(env, "cannot open the device " + path + ": " + *why);
        return std::nullopt;
      }
      target.platform =
          std::make_unique<platform::TableSerialPlatform>(platform::PortTable::SinglePath(path));
      target.port = 1;
      return target;
    }
    case PortChoice::kNumber: {
      TIniFile ini = ReadIni(env);
      auto table = platform::PortTable::ForThisSystem(&ini);
      const std::string& path = table.Path(options.port_number);
      std::string name = PortName(options.port_number);
      if (path.empty()) {
        Problem(env, name + " has no device path on this system");
        return std::nullopt;
      }
      if (auto why = WhyNotOpenable(path)) {
        Problem(env, "cannot open " + name + " (" + path + "): " + *why);
        return std::nullopt;
      }
      target.platform = std::make_unique<platform::TableSerialPlatform>(std::move(table));
      target.port = options.port_number;
      return target;
    }
    case PortChoice::kAuto: {
      if (!env.make_registry) {
        Problem(env,
                "automatic device search is not available in this build; name the port with "
                "--device PATH or --port N");
        return std::nullopt;
      }
      TIniFile ini = ReadIni(env);
      target.platform =
          std::make_unique<platform::TableSerialPlatform>(platform::PortTable::ForThisSystem(&ini));
      target.registry = env.make_registry();
      return target;
    }
  }
  return std::nullopt;
}

// The link and the terminal user interface of one command that talks to the device.
class DeviceSession {
 public:
  DeviceSession(Environment& env, const Options& options, Target target)
      : env_(env),
        cancel_(env.clock, env.interrupted, options.connect_timeout_ms),
        clock_(env.clock, cancel_),
        ui_({env.out, env.err, env.in, env.stderr_is_terminal}, cancel_),
        target_(std::move(target)),
        link_(*target_.platform, ui_, clock_, pump_) {
    if (env.on_phase) cancel_.SetPhaseListener(env.on_phase);
    if (target_.port != 0) link_.PortNumber = target_.port;
  }

  TKV_RS& Link() { return link_; }
  TerminalUI& UI() { return ui_; }
  ConnectionCancel& Cancel() { return cancel_; }
  platform::Clock& Clock() { return clock_; }

  // The jobs' first step. A named port needs no search, only to be there still; --auto runs the
  // main window's search.
  bool FindDevicePort() {
    if (target_.registry) return qv::FindDevicePort(true, link_, *target_.registry, instances_);
    if (link_.IsPresent(target_.port)) return true;
    Problem(env_, target_.platform->DevicePath(target_.port) + " cannot be opened any more");
    return false;
  }

 private:
  Environment& env_;
  ConnectionCancel cancel_;
  InterruptibleClock clock_;
  TerminalUI ui_;
  Target target_;
  platform::NullMessagePump pump_;
  TKV_RS link_;
  std::vector<std::string> instances_;
};

// The exit status after the connection wait stopped without an answer: Ctrl-C, or the time ran
// out, reported with the last attempt's failure.
int ConnectionStopped(DeviceSession& s, const std::string& last_failure) {
  if (s.Cancel().Interrupted()) return kExitCancelled;
  s.UI().ShowError(last_failure.empty() ? texts::kNoLink : last_failure);
  return kExitFailed;
}

int ExitOf(const JobResult& result, DeviceSession& s, Environment& env) {
  switch (result.outcome) {
    case JobOutcome::kDone:
      return kExitOk;
    case JobOutcome::kCancelled:
      if (s.Cancel().Interrupted() || s.Cancel().RanOutOfTime()) {
        return ConnectionStopped(s, result.connect_failure);
      }
      Problem(env, "not confirmed; nothing was sent to the device");
      return kExitFailed;
    case JobOutcome::kRefused:
      return kExitUsage;
    case JobOutcome::kNotFound:
    case JobOutcome::kBusy:
    case JobOutcome::kFailed:
      return kExitFailed;
  }
  return kExitFailed;
}

int RunIdentify(const Options& options, Environment& env) {
  auto target = ChooseTarget(options, env);
  if (!target) return kExitFailed;
  DeviceSession s(env, options, std::move(*target));
  if (!s.FindDevicePort()) return kExitFailed;
  std::string last_failure;
  std::optional<device::Identity> id;
  {
    JobSession session(s.Link());
    ProgressDialog& progress = session.ShowProgress(s.UI());
    id = WaitForDevice(s.Link(), s.UI(), progress, s.Clock(), &last_failure);
  }
  if (!id) return ConnectionStopped(s, last_failure);
  char line[64];
  std::snprintf(line, sizeof line, "type=0x%02x version=0x%04x\n", id->type, id->version);
  env.out << line << std::flush;
  return kExitOk;
}

int RunPorts(Environment& env) {
  TIniFile ini = ReadIni(env);
  platform::TableSerialPlatform serial(platform::PortTable::ForThisSystem(&ini));
  std::unique_ptr<platform::DeviceRegistry> registry;
  if (env.make_registry) registry = env.make_registry();
  PortsReport report = ListPorts(serial, registry.get(), env.clock);
  env.out << FormatPortsListing(report.rows, report.pick) << std::flush;
  return kExitOk;
}

int RunInfo(const Options& options, Environment& env) {
  FileKind kind = KindOfFile(options.file);
  if (kind == FileKind::kUnknown) {
    Problem(env, "info takes a .rom or a .prmz file, not '" + options.file + "'");
    return kExitUsage;
  }
  try {
    std::vector<uint8_t> bytes = ReadWholeFile(options.file);
    env.out << (kind == FileKind::kFirmware ? DescribeFirmwareFile(std::move(bytes))
                                            : DescribeSettingsFile(bytes))
            << std::flush;
    return kExitOk;
  } catch (const Exception& e) {
    env.err << e.what() << '\n' << std::flush;
    return kExitUsage;
  }
}

// Reads and checks the file named on the command line with the jobs' own checks, before any port
// is opened; false after the refusal has been written.
bool InputAccepted(const Options& options, Environment& env) {
  try {
    switch (options.command) {
      case Command::kUpload:
        ParseFirmwareImage(ReadWholeFile(options.file));
        return true;
      case Command::kRestore:
        DecodeSettingsFile(ReadWholeFile(options.file));
        return true;
      case Command::kBackup: {
        if (options.file.empty()) return true;
        std::filesystem::path folder = std::filesystem::path(options.file).parent_path();
        std::error_code ec;
        if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
          Problem(env, "the folder " + folder.string() + " of --output does not exist");
          return false;
        }
        return true;
      }
      default:
        return true;
    }
  } catch (const Exception& e) {
    env.err << e.what() << '\n' << std::flush;
    return false;
  }
}

JobResult RunJobOf(const Options& options, JobContext& ctx) {
  switch (options.command) {
    case Command::kUpload:
      return UploadFirmware(ctx);
    case Command::kBackup:
      return BackupSettings(ctx, options.file.empty()
                                     ? std::nullopt
                                     : std::optional<std::filesystem::path>(options.file));
    default:
      return RestoreSettings(ctx);
  }
}

int RunJob(const Options& options, Environment& env) {
  if (options.command == Command::kRestore && !options.assume_yes && !env.stdin_is_terminal) {
    Problem(env,
            "restore asks to re-plug the device first and needs a terminal for the answer; give "
            "--yes to answer it beforehand");
    return kExitUsage;
  }
  if (!InputAccepted(options, env)) return kExitUsage;
  auto target = ChooseTarget(options, env);
  if (!target) return kExitFailed;
  DeviceSession s(env, options, std::move(*target));
  s.UI().SetAssumeYes(options.assume_yes);
  if (!options.file.empty() && options.command != Command::kBackup) {
    s.UI().SetChosenFile(std::filesystem::path(options.file));
  }
  WindowFields fields;
  JobGuard guard;
  JobContext ctx{s.Link(), s.UI(), s.Clock(), [&s] { return s.FindDevicePort(); }, fields, guard};
  try {
    return ExitOf(RunJobOf(options, ctx), s, env);
  } catch (const Exception& e) {
    // What the desktop program shows in its top-level error box.
    s.UI().ShowError(e.what());
    return kExitFailed;
  }
}

}  // namespace

int RunCommand(const Options& options, Environment& env) {
  try {
    switch (options.command) {
      case Command::kIdentify:
        return RunIdentify(options, env);
      case Command::kPorts:
        return RunPorts(env);
      case Command::kInfo:
        return RunInfo(options, env);
      case Command::kBackup:
      case Command::kUpload:
      case Command::kRestore:
        return RunJob(options, env);
    }
  } catch (const std::exception& e) {
    env.err << e.what() << '\n' << std::flush;
  }
  return kExitFailed;
}

}  // namespace qv::cli
