#include <gtest/gtest.h>

#include "link/link_texts.h"
#include "port/port_chooser.h"
#include "support/link_fixture.h"

namespace qv {
namespace {

// Answers the chooser as a user would: pick an entry (or leave it) and press OK or Cancel.
struct ScriptedChooser : TKV_RS232_SetNumDlg {
  bool ShowModal(const std::vector<std::string>& e, int& selected) override {
    shown++;
    entries = e;
    initial = selected;
    if (pick >= 0) selected = pick;
    return ok;
  }
  int pick = -1;
  bool ok = true;
  int shown = 0;
  int initial = -2;
  std::vector<std::string> entries;
};

TEST(PortChooser, OffersPresentPortsWithTheCurrentSelected) {
  struct Case {
    const char* name;
    int pick;
    bool ok;
    int port_after;
  };
  const Case cases[] = {
      {"OK without a change", -1, true, 4},
      {"COM1 and OK", 0, true, 1},
      {"Cancel", 0, false, 4},
  };
  for (const auto& c : cases) {
    test::LinkFixture f({1, 4});
    ScriptedChooser chooser;
    chooser.pick = c.pick;
    chooser.ok = c.ok;
    f.link->SetChooser(&chooser);
    f.link->OpenPort(4);
    f.link->SetActive(false);
    int opens_before = f.Line(4).opens;
    f.link->SelectPort();
    EXPECT_EQ(chooser.entries, (std::vector<std::string>{"COM1", "COM4"})) << c.name;
    EXPECT_EQ(chooser.initial, 1) << c.name;
    EXPECT_EQ(f.link->PortNumber, c.port_after) << c.name;
    EXPECT_TRUE(f.Line(c.port_after).is_open) << c.name << ": reopened under the new number";
    if (c.port_after == 4) {
      EXPECT_EQ(f.Line(4).opens, opens_before + 1) << c.name;
    }
  }
}

TEST(PortChooser, TwoDigitPortsConvertBack) {
  test::LinkFixture f({12});
  ScriptedChooser chooser;
  chooser.pick = 0;
  f.link->SetChooser(&chooser);
  f.link->PortNumber = 0;
  f.link->SelectPort();
  EXPECT_EQ(chooser.entries, (std::vector<std::string>{"COM12"}));
  EXPECT_EQ(chooser.initial, -1) << "a port number that is not present selects nothing";
  EXPECT_EQ(f.link->PortNumber, 12);
}

TEST(PortChooser, OkWithNothingSelectedKeepsThePort) {
  test::LinkFixture f({2, 3});
  ScriptedChooser chooser;
  f.link->SetChooser(&chooser);
  f.link->PortNumber = 9;
  f.link->SelectPort();
  EXPECT_EQ(f.link->PortNumber, 2) << "9 kept, then OpenPort falls back to the lowest present";
}

TEST(PortChooser, NoPortShowsOnlyTheMessage) {
  test::LinkFixture f({5});
  ScriptedChooser chooser;
  f.link->SetChooser(&chooser);
  f.platform.RemovePort(5);
  f.link->SelectPort();
  EXPECT_EQ(chooser.shown, 0);
  EXPECT_EQ(f.messages.Errors(), (std::vector<std::string>{texts::kNoFreePort}));
  EXPECT_EQ(f.link->PortNumber, 5);
}

}  // namespace
}  // namespace qv
