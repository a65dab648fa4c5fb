#include <gtest/gtest.h>

#include "fake_views.h"
#include "shell/app_error.h"
#include "shell/progress_form.h"

namespace qv {
namespace {

struct Dialog {
  Dialog() {
    auto owned = std::make_unique<test::FakeProgressView>();
    view = owned.get();
    form = std::make_unique<TProgressForm>(std::move(owned));
  }
  test::FakeProgressView* view;
  std::unique_ptr<TProgressForm> form;
};

TEST(ProgressForm, ShownBoundAndNotCancelledAtCreation) {
  Dialog d;
  EXPECT_TRUE(d.view->shown) << "bound before it is shown";
  EXPECT_FALSE(d.form->Cancelled());
  d.form->SetLabel("Чтение настроек...");
  d.form->SetGauge(37);
  d.form->ShowGauge(false);
  EXPECT_EQ(d.view->label, "Чтение настроек...");
  EXPECT_EQ(d.view->gauge, 37);
  EXPECT_FALSE(d.view->gauge_visible);
}

TEST(ProgressForm, CancelCountsOnlyWhileTheButtonIsVisible) {
  struct Case {
    const char* name;
    bool hide_first;
    bool use_esc;
    bool cancelled;
  };
  const Case cases[] = {
      {"click while visible", false, false, true},
      {"Esc while visible", false, true, true},
      {"click after the button was hidden", true, false, false},
      {"Esc after the button was hidden", true, true, false},
  };
  for (const auto& c : cases) {
    Dialog d;
    if (c.hide_first) d.form->ShowCancel(false);
    EXPECT_EQ(d.view->cancel_visible, !c.hide_first) << c.name;
    if (c.use_esc) {
      d.view->events->EscapePressed();
    } else {
      d.view->events->BitBtn1Click();
    }
    EXPECT_EQ(d.form->Cancelled(), c.cancelled) << c.name;
    d.form->ShowCancel(true);
    EXPECT_EQ(d.form->Cancelled(), c.cancelled) << c.name << ": never reset";
  }
}

TEST(ApplicationError, CaptionFromTheExecutableName) {
  struct Case {
    const char* path;
    const char* title;
  };
  const Case cases[] = {
      {"/opt/qv/QUORVANE.EXE", "Quorvane"},
      {"/opt/qv/quorvane", "quorvane"},
      {"C:/Tools/HolTek.Service.exe", "Holtek"},
      {"/opt/КВАРЦ.exe", "Кварц"},
  };
  for (const auto& c : cases) {
    std::u8string utf8(reinterpret_cast<const char8_t*>(c.path));
    EXPECT_EQ(ApplicationTitle(std::filesystem::path(utf8)), c.title) << c.path;
  }
}

TEST(ApplicationError, AFullStopAfterALastCharacterAboveIt) {
  struct Case {
    const char* message;
    const char* text;
  };
  const Case cases[] = {
      {"File not found", "File not found."},
      {"I/O error 5", "I/O error 5."},
      {"Не вижу МК", "Не вижу МК."},
      {"Done.", "Done."},
      {"(COM3)", "(COM3)"},
      {"Нет свободного COM-порта!", "Нет свободного COM-порта!"},
      {"a-", "a-"},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TopLevelErrorText(c.message), c.text) << c.message;
}

}  // namespace
}  // namespace qv
