#include <gtest/gtest.h>

#include "common/exception.h"
#include "fake_views.h"
#include "link/link_texts.h"
#include "shell/device_discovery.h"
#include "shell/friendly_name.h"
#include "support/link_fixture.h"

namespace qv {
namespace {

TEST(FriendlyName, PortNumberFromTheMarkers) {
  struct Case {
    const char* name;
    std::optional<int> port;
  };
  const Case cases[] = {
      {"Holtek USB Virtual Serial (COM7)", 7},
      {"Holtek USB Virtual Serial (COM12)", 12},
      {"Holtek (COM123)", 12},
      {"Holtek COM5 (COM7)", 5},
      {"Holtek (COM0)", 0},
      {"Holtek (COM-5)", -5},
      {"USB Serial (COM4)", std::nullopt},
      {"HOLTEK (COM4)", std::nullopt},
      {"Holtek (com4)", std::nullopt},
      {"Holtek USB Virtual Serial", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PortOfFriendlyName(c.name), c.port) << c.name;
}

TEST(FriendlyName, APortTextThatIsNoNumberRaises) {
  struct Case {
    const char* name;
    const char* message;
  };
  const Case cases[] = {
      {"Holtek COM Port (COM3)", "' ' is not a valid integer value"},
      {"Holtek COMx (COM3)", "'x' is not a valid integer value"},
      {"Holtek (COM", "'' is not a valid integer value"},
      {"Holtek COM-", "'-' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    try {
      PortOfFriendlyName(c.name);
      ADD_FAILURE() << c.name << ": no error raised";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), c.message) << c.name;
    }
  }
}

using Entries = std::vector<std::pair<std::string, std::optional<std::string>>>;

struct Search {
  explicit Search(std::vector<int> ports, Entries entries) : link(std::move(ports)) {
    registry.entries = std::move(entries);
  }
  bool Run(bool auto_detect = true) {
    return FindDevicePort(auto_detect, *link.link, registry, instances);
  }
  test::LinkFixture link;
  test::FakeRegistry registry;
  std::vector<std::string> instances;
};

TEST(FindDevicePort, ChoosesTheFirstEntryWhosePortIsPresent) {
  struct Case {
    const char* name;
    std::vector<int> ports;
    Entries entries;
    int port;  // 0: not found
  };
  const Case cases[] = {
      {"COM3 listed first, only COM5 present",
       {5},
       {{"a", "Holtek (COM3)"}, {"b", "Holtek (COM5)"}},
       5},
      {"COM5 listed first, only COM5 present",
       {5},
       {{"a", "Holtek (COM5)"}, {"b", "Holtek (COM3)"}},
       5},
      {"both present: the first listed wins",
       {3, 5},
       {{"a", "Holtek (COM5)"}, {"b", "Holtek (COM3)"}},
       5},
      {"a two-digit port", {12}, {{"a", "Holtek USB (COM12)"}}, 12},
      {"markers in other letter case", {4}, {{"a", "HOLTEK (COM4)"}, {"b", "Holtek (com4)"}}, 0},
      {"no vendor marker", {4}, {{"a", "USB Serial (COM4)"}}, 0},
      {"no port marker", {4}, {{"a", "Holtek USB Virtual Serial"}}, 0},
      {"no FriendlyName value", {4}, {{"a", std::nullopt}, {"b", "Holtek (COM4)"}}, 4},
      {"ports outside COM1..COM32 are passed over",
       {1, 4},
       {{"a", "Holtek (COM0)"}, {"b", "Holtek (COM40)"}, {"c", "Holtek (COM4)"}},
       4},
      {"no instance at all", {4}, {}, 0},
  };
  for (const auto& c : cases) {
    Search s(c.ports, c.entries);
    EXPECT_EQ(s.Run(), c.port != 0) << c.name;
    EXPECT_EQ(s.instances.size(), c.entries.size()) << c.name;
    if (c.port != 0) {
      EXPECT_EQ(s.link.link->PortNumber, c.port) << c.name;
      EXPECT_TRUE(s.link.Line(c.port).is_open) << c.name;
      EXPECT_EQ(s.link.Line(c.port).settings.baud_rate, 115200u) << c.name;
      EXPECT_TRUE(s.link.messages.shown.empty()) << c.name;
    } else {
      EXPECT_EQ(s.link.messages.Errors(), std::vector<std::string>{kDeviceNotSeen}) << c.name;
      EXPECT_FALSE(s.link.link->PortOpen) << c.name;
    }
  }
}

TEST(FindDevicePort, OffTouchesNothing) {
  Search s({3, 5}, {{"a", "Holtek (COM5)"}});
  s.link.link->OpenPort(3);
  int probes = s.link.platform.probes;
  EXPECT_TRUE(s.Run(false));
  EXPECT_EQ(s.link.platform.probes, probes) << "no port scan";
  EXPECT_EQ(s.registry.listings, 0) << "no registry access";
  EXPECT_EQ(s.link.link->PortNumber, 3);
  EXPECT_TRUE(s.link.link->PortOpen) << "the port held stays as it was";
}

TEST(FindDevicePort, RescansThePortsBeforeEachSearch) {
  Search s({3}, {{"a", "Holtek (COM5)"}});
  EXPECT_FALSE(s.Run());
  s.link.platform.AddPort(5);
  s.link.messages.shown.clear();
  EXPECT_TRUE(s.Run()) << "a device plugged in since the link was made is found";
  EXPECT_EQ(s.link.link->PortNumber, 5);
}

TEST(FindDevicePort, WithNoPortAtAllEachCandidateSaysSoThenTheSearchFails) {
  Search s({}, {{"a", "Holtek (COM3)"}, {"b", "Holtek (COM5)"}});
  s.link.messages.shown.clear();
  EXPECT_FALSE(s.Run());
  EXPECT_EQ(s.link.messages.Errors(),
            (std::vector<std::string>{texts::kNoFreePort, texts::kNoFreePort, kDeviceNotSeen}));
}

TEST(FindDevicePort, AnUnreadableEntryEndsTheSearchWithItsError) {
  struct Case {
    const char* name;
    std::string friendly;
    std::string message;
  };
  const Case cases[] = {
      {"port text no number", "Holtek COM Port (COM3)", "' ' is not a valid integer value"},
      {"FriendlyName not text", "!", "Invalid data type for 'FriendlyName'"},
  };
  for (const auto& c : cases) {
    Search s({3}, {{"a", c.friendly}, {"b", "Holtek (COM3)"}});
    int opens = s.link.Line(3).opens;
    try {
      s.Run();
      ADD_FAILURE() << c.name << ": no error raised";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), c.message) << c.name;
    }
    EXPECT_EQ(s.registry.read, std::vector<std::string>{"a"}) << c.name << ": later names unread";
    EXPECT_EQ(s.link.Line(3).opens, opens) << c.name << ": nothing opened";
    EXPECT_TRUE(s.link.messages.shown.empty()) << c.name;
  }
}

}  // namespace
}  // namespace qv
