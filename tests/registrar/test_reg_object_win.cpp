// The registrar against the real registry of the private Wine prefix:
// script resources loaded from a module file, and the system's two scripts
// registered and unregistered in HKEY_CLASSES_ROOT.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "contract/resource_ids.h"
#include "platform/owners_win.h"
#include "registrar/reg_object.h"

namespace boardscope {
namespace {

constexpr wchar_t kTestKey[] = L"Software\\BoardscopeTest";
constexpr wchar_t kAppId[] = L"{0B0A0D0C-1111-2222-3333-444455556666}";
constexpr std::uint16_t kAppIdScript = IDR_APPID_SCRIPT, kClassScript = IDR_CLASS_SCRIPT, kEmpty = 200, kResource = 201,
                        kTrailingNul = 202;

std::wstring ScriptModule() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1) + L"registrar_test_scripts.dll";
}

bool KeyExists(HKEY root, const std::wstring& path) {
  UniqueHkey key;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// The string value, or "<absent>".
std::wstring StringValue(HKEY root, const std::wstring& path, const wchar_t* name) {
  wchar_t data[1024];
  DWORD size = sizeof data, type = 0;
  UniqueHkey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return L"<absent>";
  const LONG result = RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  if (result != ERROR_SUCCESS || type != REG_SZ) return L"<absent>";
  return std::wstring(data, size / sizeof(wchar_t) - 1);
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

struct RegistrarWinTest : ::testing::Test {
  const std::wstring module = ScriptModule();
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    ASSERT_EQ(GetFileAttributesW(module.c_str()) != INVALID_FILE_ATTRIBUTES, true) << Narrow(module);
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
};

TEST_F(RegistrarWinTest, MissingResourceOrModuleFailsWithPlatformError) {
  CRegObject registrar;
  ASSERT_EQ(registrar.AddSubstitution(L"MODULE", L"x"), hr::Ok);
  EXPECT_EQ(registrar.RegisterScriptResource(module.c_str(), 999, L"REGISTRY"),
            hr::FromWin32(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(registrar.RegisterScriptResource(module.c_str(), kResource, L"NOSUCHTYPE"),
            hr::FromWin32(ERROR_RESOURCE_TYPE_NOT_FOUND));
  // Windows says the module is not found, Wine that the file is not.
  const HResult missing = registrar.RegisterScriptResource(L"Z:\\no\\such\\module.dll", kResource, L"REGISTRY");
  EXPECT_TRUE(missing == hr::FromWin32(ERROR_MOD_NOT_FOUND) || missing == hr::FromWin32(ERROR_FILE_NOT_FOUND))
      << std::hex << missing;
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestKey));
}

TEST_F(RegistrarWinTest, EmptyResourceFailsAtConversion) {
  CRegObject registrar;
  EXPECT_EQ(registrar.RegisterScriptResource(module.c_str(), kEmpty, L"REGISTRY"),
            hr::FromWin32(ERROR_INVALID_PARAMETER));
}

TEST_F(RegistrarWinTest, ResourceRunsBothWaysWithTrailingNulsIgnored) {
  const std::wstring path = L"C:\\it's here\\Boardscope.dll";
  wchar_t escaped[520];
  EscapeSingleQuotes(escaped, 520, path.c_str());
  for (std::uint16_t id : {kResource, kTrailingNul}) {
    CRegObject registrar;
    ASSERT_EQ(registrar.AddSubstitution(L"Module", escaped), hr::Ok);
    ASSERT_EQ(registrar.RegisterScriptResource(module.c_str(), id, L"REGISTRY"), hr::Ok) << id;
    const std::wstring key = std::wstring(kTestKey) + L"\\Resource";
    EXPECT_EQ(StringValue(HKEY_CURRENT_USER, key, nullptr), path);
    EXPECT_EQ(StringValue(HKEY_CURRENT_USER, key + L"\\InprocServer32", nullptr), path);
    // The text is converted from the thread's ANSI code page.
    wchar_t expected[16];
    const int n = MultiByteToWideChar(CP_THREAD_ACP, 0, "euro \x80 e \xe9", 10, expected, 16);
    EXPECT_EQ(StringValue(HKEY_CURRENT_USER, key, L"Text"), std::wstring(expected, n));
    DWORD number = 0, size = sizeof number;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"Number", RRF_RT_REG_DWORD, nullptr, &number, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(number, 10u);
    ASSERT_EQ(registrar.UnregisterScriptResource(module.c_str(), id, L"REGISTRY"), hr::Ok) << id;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kTestKey));  // NoRemove
  }
}

TEST_F(RegistrarWinTest, ScriptTextAgainstRealRegistry) {
  CRegObject registrar;
  const auto run = [&registrar](const wchar_t* script, bool registerMode) {
    return registrar.RunScriptText(reinterpret_cast<const Char16*>(script), registerMode);
  };
  const std::wstring base = kTestKey;
  ASSERT_EQ(run(L"HKCU { NoRemove Software { NoRemove BoardscopeTest { K { Old { Deep } } } } }", true), hr::Ok);
  ASSERT_EQ(run(L"HKCU { NoRemove Software { NoRemove BoardscopeTest { ForceRemove K { val D = d '&H10' } } } }",
                true),
            hr::Ok);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base + L"\\K\\Old"));
  DWORD number = 0, size = sizeof number;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, (base + L"\\K").c_str(), L"D", RRF_RT_REG_DWORD, nullptr, &number,
                         &size),
            ERROR_SUCCESS);
  EXPECT_EQ(number, 16u);  // the platform conversion also reads &H hexadecimal
  EXPECT_EQ(run(L"HKCU { NoRemove Software { NoRemove BoardscopeTest { K { val E = d 'ten' } } } }", true),
            hr::DispException);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base + L"\\K"));  // undone, values and all
  ASSERT_EQ(run(L"HKCU { NoRemove Software { NoRemove BoardscopeTest { K { Kept } } } }", true), hr::Ok);
  ASSERT_EQ(run(L"HKCU { NoRemove Software { NoRemove BoardscopeTest { K } } }", false), hr::Ok);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base + L"\\K\\Kept"));
}

// The engine's own decimal reading (used where no platform conversion exists)
// beside the platform's, which the DLL uses: where they agree and where the
// platform reads more.
TEST(DwordText, DecimalBesideThePlatformConversion) {
  constexpr HResult kMismatch = DISP_E_TYPEMISMATCH, kOverflow = DISP_E_OVERFLOW;
  struct Side {
    HResult result;
    std::uint32_t number;
  };
  const struct Case {
    const wchar_t* text;
    Side decimal, platform;
  } cases[] = {
      {L"10", {hr::Ok, 10}, {hr::Ok, 10}},
      {L"  7  ", {hr::Ok, 7}, {hr::Ok, 7}},
      {L"+5", {hr::Ok, 5}, {hr::Ok, 5}},
      {L"4294967295", {hr::Ok, 0xFFFFFFFF}, {hr::Ok, 0xFFFFFFFF}},
      {L"4294967296", {kOverflow, 0xBD}, {kOverflow, 0xBD}},
      {L"99999999999999999999", {kOverflow, 0xBD}, {kOverflow, 0xBD}},
      {L"-1", {kMismatch, 0xBD}, {kOverflow, 0xBD}},
      {L"&H10", {kMismatch, 0xBD}, {hr::Ok, 16}},
      {L"&HFFFFFFFF", {kMismatch, 0xBD}, {hr::Ok, 0xFFFFFFFF}},
      {L"", {kMismatch, 0xBD}, {kMismatch, 0xBD}},
      {L"   ", {kMismatch, 0xBD}, {kMismatch, 0xBD}},
      {L"ten", {kMismatch, 0xBD}, {kMismatch, 0xBD}},
      {L"10x", {kMismatch, 0xBD}, {kMismatch, 0xBD}},
  };
  for (const Case& c : cases) {
    const Char16* text = reinterpret_cast<const Char16*>(c.text);
    for (const bool platform : {false, true}) {
      const Side& expected = platform ? c.platform : c.decimal;
      std::uint32_t number = 0xBD;
      EXPECT_EQ(platform ? DwordFromVariantText(text, &number) : DwordFromDecimalText(text, &number),
                expected.result)
          << "'" << testing::PrintToString(std::wstring(c.text)) << "' " << (platform ? "platform" : "decimal");
      EXPECT_EQ(number, expected.number) << testing::PrintToString(std::wstring(c.text));
    }
  }
}

TEST_F(RegistrarWinTest, SystemScriptsRoundTripInClassesRoot) {
  const std::wstring path = L"C:\\windows\\system32\\Boardscope.dll";
  auto runBoth = [&](bool registerMode) {
    for (std::uint16_t id : {kAppIdScript, kClassScript}) {
      CRegObject registrar;
      ASSERT_EQ(registrar.AddSubstitution(L"APPID", kAppId), hr::Ok);
      ASSERT_EQ(registrar.AddSubstitution(L"Module", path.c_str()), hr::Ok);
      ASSERT_EQ(registrar.AddSubstitution(L"Module_Raw", path.c_str()), hr::Ok);
      const HResult result = registerMode ? registrar.RegisterScriptResource(module.c_str(), id, L"REGISTRY")
                                          : registrar.UnregisterScriptResource(module.c_str(), id, L"REGISTRY");
      EXPECT_EQ(result, hr::Ok) << id << (registerMode ? " register" : " unregister");
    }
  };
  runBoth(true);
  const std::wstring clsid = StringValue(HKEY_CLASSES_ROOT, L"Boardscope.ZEMBoardscope.1\\CLSID", nullptr);
  ASSERT_EQ(clsid.size(), 38u);
  const std::wstring classKey = L"CLSID\\" + clsid;
  EXPECT_EQ(StringValue(HKEY_CLASSES_ROOT, L"Boardscope.ZEMBoardscope.1", nullptr), L"ZEMBoardscope Class");
  EXPECT_EQ(StringValue(HKEY_CLASSES_ROOT, L"Boardscope.ZEMBoardscope\\CurVer", nullptr),
            L"Boardscope.ZEMBoardscope.1");
  EXPECT_EQ(StringValue(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", nullptr), path);
  EXPECT_EQ(StringValue(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(StringValue(HKEY_CLASSES_ROOT, classKey, L"AppID"), kAppId);
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, classKey + L"\\Programmable"));
  EXPECT_EQ(StringValue(HKEY_CLASSES_ROOT, std::wstring(L"AppID\\") + kAppId, nullptr), L"Boardscope");
  EXPECT_EQ(StringValue(HKEY_CLASSES_ROOT, L"AppID\\Boardscope.DLL", L"AppID"), kAppId);

  runBoth(false);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, classKey));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Boardscope.ZEMBoardscope.1"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Boardscope.ZEMBoardscope"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"AppID\\") + kAppId));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"AppID\\Boardscope.DLL"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AppID"));
}

}  // namespace
}  // namespace boardscope
