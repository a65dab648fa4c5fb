// The registry search on a key tree of the test's own under HKEY_CURRENT_USER, laid out as
// Windows lays out the device's USB instances.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/exception.h"
#include "platform/win32/registry_win32.h"

namespace qv::platform::win32 {
namespace {

class Win32Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    key = "Software\\QuorvaneTests\\" + std::to_string(::GetCurrentProcessId()) + "\\Device";
  }
  void TearDown() override {
    ::RegDeleteTreeA(
        HKEY_CURRENT_USER,
        ("Software\\QuorvaneTests\\" + std::to_string(::GetCurrentProcessId())).c_str());
  }

  void AddInstance(const std::string& name) {
    HKEY h;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\" + name).c_str(), 0, nullptr, 0,
                                KEY_WRITE, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(h);
  }
  void SetValue(const std::string& instance, DWORD type, const void* data, DWORD size) {
    AddInstance(instance);
    ASSERT_EQ(::RegSetKeyValueA(HKEY_CURRENT_USER, (key + "\\" + instance).c_str(), "FriendlyName",
                                type, data, size),
              ERROR_SUCCESS);
  }
  void SetText(const std::string& instance, const std::string& text, DWORD type = REG_SZ) {
    SetValue(instance, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }

  std::string key;
};

TEST_F(Win32Registry, MissingDeviceKeyListsNoInstance) {
  RegistryDeviceRegistry registry(HKEY_CURRENT_USER, key);
  EXPECT_TRUE(registry.InstanceNames().empty());
  EXPECT_EQ(registry.FriendlyName("6&1a2b3c&0&0000"), std::nullopt);
}

TEST_F(Win32Registry, ListsEveryInstanceAndReadsItsFriendlyName) {
  const std::string long_name(200, 'x');
  SetText("6&1a2b3c&0&0000", "Holtek USB Virtual COM (COM3)");
  SetText("6&1a2b3c&0&0001", "Holtek USB Virtual COM (COM5)", REG_EXPAND_SZ);
  SetText(long_name, "Holtek (COM12)");
  RegistryDeviceRegistry registry(HKEY_CURRENT_USER, key);
  std::vector<std::string> names = registry.InstanceNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"6&1a2b3c&0&0000", "6&1a2b3c&0&0001", long_name}));
  EXPECT_EQ(registry.FriendlyName("6&1a2b3c&0&0000"), "Holtek USB Virtual COM (COM3)");
  EXPECT_EQ(registry.FriendlyName("6&1a2b3c&0&0001"), "Holtek USB Virtual COM (COM5)");
  EXPECT_EQ(registry.FriendlyName(long_name), "Holtek (COM12)");
}

TEST_F(Win32Registry, MissingValueOrInstanceReadsAsNothing) {
  AddInstance("no-name");
  RegistryDeviceRegistry registry(HKEY_CURRENT_USER, key);
  EXPECT_EQ(registry.FriendlyName("no-name"), std::nullopt);
  EXPECT_EQ(registry.FriendlyName("not-there"), std::nullopt);
}

TEST_F(Win32Registry, TextStoredWithoutItsTerminatingZeroIsReadWhole) {
  const std::string text = "Holtek (COM4)";
  SetValue("bare", REG_SZ, text.data(), static_cast<DWORD>(text.size()));
  RegistryDeviceRegistry registry(HKEY_CURRENT_USER, key);
  EXPECT_EQ(registry.FriendlyName("bare"), text);
}

TEST_F(Win32Registry, ValueThatIsNoTextRaises) {
  DWORD number = 5;
  SetValue("dword", REG_DWORD, &number, sizeof(number));
  RegistryDeviceRegistry registry(HKEY_CURRENT_USER, key);
  try {
    registry.FriendlyName("dword");
    ADD_FAILURE() << "a REG_DWORD was taken as text";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'FriendlyName'");
    EXPECT_EQ(e.Code().value(), ERROR_INVALID_DATATYPE);
  }
}

}  // namespace
}  // namespace qv::platform::win32
