// quorvane-devsim: a simulated device on a pseudo-terminal, to try the tool without hardware and
// to test the real serial path against it.

#include <signal.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "devsim_options.h"
#include "settings_image.h"
#include "sim/pty_device.h"

namespace qv::devsim {
namespace {

void LogRequest(const sim::RequestRecord& r, const sim::WireReply& reply) {
  std::string what;
  if (!r.checksum_ok) {
    what = "bad checksum, no reply";
  } else if (reply.unplug) {
    what = "unplugged" + (reply.replug_ms ? ", back in " + std::to_string(reply.replug_ms) + " ms"
                                          : std::string());
  } else if (reply.bytes.empty()) {
    what = r.executed ? "no reply" : "refused, no reply";
  } else {
    what =
        (r.executed ? "reply " : "refused, reply ") + std::to_string(reply.bytes.size()) + " bytes";
    if (reply.delay_ms) what += " after " + std::to_string(reply.delay_ms) + " ms";
  }
  std::string payload;
  for (size_t i = 0; i < r.payload.size() && i < 8; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", r.payload[i]);
    payload += hex;
  }
  if (r.payload.size() > 8) payload += " ...";
  std::fprintf(stderr, "#%u cmd=%u payload=%zu:%s -> %s\n", r.number, r.command, r.payload.size(),
               payload.c_str(), what.c_str());
}

// Saves the settings memory for --settings-out; a failure is reported, the device goes on.
void SaveSettings(const std::string& path, const sim::DeviceModel::Settings& settings) {
  std::string error;
  if (!WriteSettingsImage(path, settings, error)) {
    std::fprintf(stderr, "quorvane-devsim: %s\n", error.c_str());
  }
}

int Run(Options options) {
  sim::SimDevice device(std::move(options.plan));
  device.Model().type = options.type;
  device.Model().version = options.version;
  device.pacing.baud = options.baud;
  device.command_ms[20] = options.program_ms;
  if (!options.settings_in.empty()) {
    std::string error;
    if (!ReadSettingsImage(options.settings_in, device.Model().settings, error)) {
      std::cerr << "quorvane-devsim: " << error << "\n";
      return 2;
    }
  }

  // SIGINT and SIGTERM are taken by sigwait below; block them before the device thread starts so
  // that it inherits the mask and never takes them itself.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  sim::PtyDevice::Options pty_options;
  pty_options.link_path = options.link_path;
  if (options.log) pty_options.on_request = LogRequest;
  // Without --link a script finds the device again by this line.
  pty_options.on_replug = [](const std::string& path) {
    std::cout << "pty: " << path << std::endl;
  };
  sim::PtyDevice pty(std::move(device), pty_options);
  if (!options.settings_out.empty()) {
    pty.With([&](sim::SimDevice& d) {
      sim::DeviceModel& model = d.Model();
      model.on_store = [&model, path = options.settings_out] {
        SaveSettings(path, model.settings);
      };
    });
  }
  if (std::error_code ec = pty.Start()) {
    std::cerr << "quorvane-devsim: cannot serve a pty: " << ec.message() << "\n";
    return 1;
  }
  std::cout << "pty: " << pty.SlavePath() << std::endl;
  if (!options.link_path.empty()) std::cout << "link: " << options.link_path << std::endl;

  int signal = 0;
  sigwait(&stop_signals, &signal);
  pty.Stop();
  if (!options.settings_out.empty()) {
    pty.With([&](sim::SimDevice& d) { SaveSettings(options.settings_out, d.Model().settings); });
  }
  return 0;
}

}  // namespace
}  // namespace qv::devsim

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  qv::devsim::Options options;
  std::string error;
  if (!qv::devsim::ParseOptions(args, options, error)) {
    std::cerr << "quorvane-devsim: " << error << "\n"
              << "Try 'quorvane-devsim --help'.\n";
    return 2;
  }
  if (options.help) {
    std::cout << qv::devsim::Usage();
    return 0;
  }
  return qv::devsim::Run(std::move(options));
}
