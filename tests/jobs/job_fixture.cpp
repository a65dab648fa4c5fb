#include "job_fixture.h"

#include <fstream>

namespace qv::test {

RecordingProgress::~RecordingProgress() {
  bool open = ui_.link && ui_.link->PortOpen;
  ui_.events.push_back(open ? "destroy(port open)" : "destroy(port closed)");
  ui_.progress = nullptr;
}
void RecordingProgress::SetLabel(const std::string& text) {
  ui_.events.push_back("label:" + text);
}
void RecordingProgress::SetGauge(int percent) {
  ui_.events.push_back("gauge:" + std::to_string(percent));
}
void RecordingProgress::ShowGauge(bool visible) {
  ui_.events.push_back(visible ? "show_gauge:1" : "show_gauge:0");
}
void RecordingProgress::ShowCancel(bool visible) {
  cancel_visible_ = visible;
  ui_.events.push_back(visible ? "cancel:1" : "cancel:0");
}

std::vector<int> ScriptedJobUI::Gauges() const {
  std::vector<int> out;
  for (const auto& e : events) {
    if (e.rfind("gauge:", 0) == 0) out.push_back(std::stoi(e.substr(6)));
  }
  return out;
}

Events ScriptedJobUI::Shown() const {
  Events out;
  for (const auto& e : events) {
    if (e.rfind("error:", 0) == 0 || e.rfind("info:", 0) == 0 || e.rfind("ask:", 0) == 0) {
      out.push_back(e);
    }
  }
  return out;
}

JobTest::JobTest() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("qv-jobs-") + info->test_suite_name() + "-" + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  folder = std::filesystem::temp_directory_path() / name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  old_folder = std::filesystem::current_path();
  std::filesystem::current_path(folder);

  link = std::make_unique<TKV_RS>(dev.Platform(), ui, dev.clock, pump);
  ui.link = link.get();
  ctx = std::make_unique<JobContext>(
      JobContext{*link, ui, dev.clock,
                 [this] {
                   ++find_calls;
                   return find_result;
                 },
                 fields, guard, [] { return LocalDateTime{2026, 2, 3, 9, 5, 59}; }});
}

JobTest::~JobTest() {
  std::filesystem::current_path(old_folder);
  std::filesystem::remove_all(folder);
}

std::filesystem::path JobTest::ChooseFile(const std::string& name,
                                          const std::vector<uint8_t>& bytes) {
  std::filesystem::path path = folder / name;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ui.file = path;
  return path;
}

}  // namespace qv::test
