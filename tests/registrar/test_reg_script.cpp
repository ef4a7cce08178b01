// The register/unregister walk against the in-memory store: keywords, value
// kinds, syntax errors, the undo of a failing root block, and the system's
// own scripts.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tools/memory_registry/memory_registry_store.h"
#include "registrar/reg_object.h"
#include "registrar/reg_script.h"
#include "test_text.h"

namespace boardscope {
namespace {

using test::U16;
constexpr HResult kAccessDenied = static_cast<HResult>(0x80070005u);
constexpr bool kRegister = true;
constexpr bool kUnregister = false;

struct InterpreterTest : ::testing::Test {
  MemoryRegistryStore store;
  CRegObject registrar{store};

  void TearDown() override { EXPECT_EQ(store.OpenHandleCount(), 0u) << "a run leaked key handles"; }

  HResult Run(const std::string& script, bool registerMode) {
    return registrar.RunScriptText(U16(script).c_str(), registerMode);
  }
  bool Has(const char* path, RootKey root = RootKey::CurrentUser) { return store.KeyExists(root, U16(path)); }

  // The value's type and bytes, or nothing when the key or value is absent.
  std::optional<std::pair<std::uint32_t, std::vector<std::uint8_t>>> Value(
      const char* path, const char* name, RootKey root = RootKey::CurrentUser) {
    KeyHandle key = 0;
    if (store.OpenKey(store.Root(root), U16(path).c_str(), access::Read, &key) != 0) return std::nullopt;
    std::uint8_t data[1024];
    std::uint32_t size = sizeof data, type = 0;
    const std::u16string valueName = name ? U16(name) : std::u16string();
    const std::int32_t result = store.QueryValue(key, name ? valueName.c_str() : nullptr, &type, data, &size);
    store.CloseKey(key);
    if (result != 0) return std::nullopt;
    return std::make_pair(type, std::vector<std::uint8_t>(data, data + size));
  }
  std::string String(const char* path, const char* name, RootKey root = RootKey::CurrentUser) {
    const auto value = Value(path, name, root);
    if (!value) return "<absent>";
    std::string text;
    // REG_SZ data ends with its terminator; inner NULs show as '|'.
    for (std::size_t i = 0; i + 3 < value->second.size(); i += 2) {
      const unsigned c = value->second[i] | (value->second[i + 1] << 8);
      text.push_back(c == 0 ? '|' : c < 0x80 ? static_cast<char>(c) : '?');
    }
    return text;
  }
};

TEST_F(InterpreterTest, RoundTripKeepsOnlyNoRemoveKeys) {
  const std::string script =
      "HKCU\r\n{\r\n\tNoRemove Software\r\n\t{\r\n\t\tApp = s 'Default'\r\n\t\t{\r\n"
      "\t\t\tval Name = s 'x'\r\n\t\t\tSub { Leaf = s 'y' }\r\n\t\t\tNoRemove Shared\r\n\t\t}\r\n\t}\r\n}\r\n";
  ASSERT_EQ(Run(script, kRegister), hr::Ok);
  EXPECT_EQ(String("Software\\App", nullptr), "Default");
  EXPECT_EQ(String("Software\\App", "Name"), "x");
  EXPECT_EQ(String("Software\\App\\Sub\\Leaf", nullptr), "y");
  EXPECT_TRUE(Has("Software\\App\\Shared"));
  ASSERT_EQ(Run(script, kUnregister), hr::Ok);
  EXPECT_FALSE(Has("Software\\App\\Sub"));
  EXPECT_TRUE(Has("Software\\App\\Shared"));  // so App keeps a subkey and stays
  EXPECT_EQ(String("Software\\App", "Name"), "<absent>");
  store.DeleteKey(store.Root(RootKey::CurrentUser), u"Software\\App\\Shared", 0);
  ASSERT_EQ(Run(script, kUnregister), hr::Ok);
  EXPECT_FALSE(Has("Software\\App"));
  EXPECT_TRUE(Has("Software"));
}

TEST_F(InterpreterTest, RegisterKeepsWhatItDoesNotMention) {
  ASSERT_EQ(Run("HKCU { K { val Old = s 'o' Child } }", kRegister), hr::Ok);
  ASSERT_EQ(Run("HKCU { K = s 'new' }", kRegister), hr::Ok);
  EXPECT_EQ(String("K", "Old"), "o");
  EXPECT_EQ(String("K", nullptr), "new");
  EXPECT_TRUE(Has("K\\Child"));
}

TEST_F(InterpreterTest, ForceRemoveDeletesExistingTreeExceptProtectedNames) {
  ASSERT_EQ(Run("HKCR { K { Old { Deep } val V = s 'v' } CLSID { Kept } }", kRegister), hr::Ok);
  ASSERT_EQ(Run("HKCR { ForceRemove K = s 'fresh' { New } ForceRemove clsid { Added } }", kRegister), hr::Ok);
  EXPECT_FALSE(Has("K\\Old", RootKey::ClassesRoot));
  EXPECT_EQ(String("K", "V", RootKey::ClassesRoot), "<absent>");
  EXPECT_EQ(String("K", nullptr, RootKey::ClassesRoot), "fresh");
  EXPECT_TRUE(Has("K\\New", RootKey::ClassesRoot));
  EXPECT_TRUE(Has("CLSID\\Kept", RootKey::ClassesRoot));
  EXPECT_TRUE(Has("CLSID\\Added", RootKey::ClassesRoot));
}

TEST_F(InterpreterTest, DeleteRemovesTreeAndCreatesNothing) {
  ASSERT_EQ(Run("HKCU { Gone { A { B } } Software { X } }", kRegister), hr::Ok);
  ASSERT_EQ(Run("HKCU { Delete Gone = s 'ignored' Delete Software Delete Missing }", kRegister), hr::Ok);
  EXPECT_FALSE(Has("Gone"));
  EXPECT_TRUE(Has("Software\\X"));  // protected name
  EXPECT_FALSE(Has("Missing"));
  // Both words mean a plain key entry when unregistering.
  ASSERT_EQ(Run("HKCU { Plain { } }", kRegister), hr::Ok);
  ASSERT_EQ(Run("HKCU { ForceRemove Plain Delete Other }", kUnregister), hr::Ok);
  EXPECT_FALSE(Has("Plain"));
}

TEST_F(InterpreterTest, UnregisterSparesUnlistedSubkeysButDeletesListedValues) {
  ASSERT_EQ(Run("HKCU { K { val A = s 'a' val B = s 'b' } }", kRegister), hr::Ok);
  ASSERT_EQ(Run("HKCU { K { Foreign } }", kRegister), hr::Ok);
  ASSERT_EQ(Run("HKCU { K { val A = s 'a' } }", kUnregister), hr::Ok);
  EXPECT_TRUE(Has("K\\Foreign"));
  EXPECT_EQ(String("K", "A"), "<absent>");
  EXPECT_EQ(String("K", "B"), "b");
  // NoRemove on a value keeps it.
  ASSERT_EQ(Run("HKCU { K { NoRemove val B = s 'b' } }", kUnregister), hr::Ok);
  EXPECT_EQ(String("K", "B"), "b");
}

TEST_F(InterpreterTest, UnregisterOfMissingKeysSucceedsAndTouchesNothing) {
  const std::string before = store.Dump();
  EXPECT_EQ(Run("HKCU { Missing = s 'x' { Deeper { val V = z 'unknown letter' } NoRemove N } }", kUnregister),
            hr::Ok);
  EXPECT_EQ(store.Dump(), before);
}

TEST_F(InterpreterTest, ValueKindsAreWrittenAsTheirRegistryTypes) {
  struct Case {
    const char* clause;
    HResult result;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  } const cases[] = {
      {"d 10", hr::Ok, regtype::Dword, {10, 0, 0, 0}},
      {"D '4294967295'", hr::Ok, regtype::Dword, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"d 4294967296", hr::DispException, 0, {}},
      {"d abc", hr::DispException, 0, {}},
      {"d ''", hr::DispException, 0, {}},
      {"b 0A1b", hr::Ok, regtype::Binary, {0x0A, 0x1B}},
      {"B ''", hr::Ok, regtype::Binary, {}},
      {"b 0G", hr::Ok, regtype::Binary, {0x00}},
      {"b ABC", hr::Fail, 0, {}},
      {"m 'a\\0b'", hr::Ok, regtype::MultiString, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
      {"m 'a\\0\\0b'", hr::Ok, regtype::MultiString, {'a', 0, 0, 0, 0, 0}},
      {"M 'c:\\x\\1'", hr::Ok, regtype::MultiString, {'c', 0, ':', 0, '\\', 0, 'x', 0, '\\', 0, '1', 0, 0, 0, 0, 0}},
      {"s 'it''s'", hr::Ok, regtype::String, {'i', 0, 't', 0, '\'', 0, 's', 0, 0, 0}},
      {"S ''", hr::Ok, regtype::String, {0, 0}},
      {"x 'no such letter'", hr::DispException, 0, {}},
  };
  for (const auto& c : cases) {
    const std::string script = std::string("HKCU { K { val V = ") + c.clause + " } }";
    EXPECT_EQ(Run(script, kRegister), c.result) << c.clause;
    const auto value = Value("K", "V");
    if (hr::Succeeded(c.result)) {
      ASSERT_TRUE(value.has_value()) << c.clause;
      EXPECT_EQ(value->first, c.type) << c.clause;
      EXPECT_EQ(value->second, c.data) << c.clause;
    } else {
      EXPECT_FALSE(value.has_value()) << c.clause << ": a refused value must not be written";
    }
    ASSERT_EQ(Run(script, kUnregister), hr::Ok) << c.clause;  // the clause is skipped unread
    EXPECT_FALSE(Has("K")) << c.clause;
  }
}

TEST_F(InterpreterTest, RootNamesAreMatchedWithoutCase) {
  const struct {
    const char* name;
    RootKey root;
  } roots[] = {{"hklm", RootKey::LocalMachine},          {"HKEY_CLASSES_ROOT", RootKey::ClassesRoot},
               {"Hkey_Current_User", RootKey::CurrentUser}, {"HKU", RootKey::Users},
               {"hkey_users", RootKey::Users},            {"HKCC", RootKey::CurrentConfig},
               {"HKEY_PERFORMANCE_DATA", RootKey::PerformanceData}, {"hkdd", RootKey::DynData}};
  for (const auto& r : roots) {
    ASSERT_EQ(Run(std::string(r.name) + " { Marker }", kRegister), hr::Ok) << r.name;
    EXPECT_TRUE(Has("Marker", r.root)) << r.name;
    ASSERT_EQ(Run(std::string(r.name) + " { Marker }", kUnregister), hr::Ok) << r.name;
  }
  EXPECT_EQ(Run("HKXX { Marker }", kRegister), hr::DispException);
  EXPECT_EQ(Run("HKCU x", kRegister), hr::DispException);
  EXPECT_EQ(Run("HKCU {Marker}", kRegister), hr::DispException);  // "{Marker}" opens; then no end
  EXPECT_EQ(Run("", kRegister), hr::Ok);
  // Text after a complete root block fails without undoing that block.
  EXPECT_EQ(Run("HKCU { Kept } }", kRegister), hr::DispException);
  EXPECT_TRUE(Has("Kept"));
}

TEST_F(InterpreterTest, SyntaxErrorsFailInBothModes) {
  const std::string name259(259, 'n'), name260(260, 'n');
  struct Case {
    std::string script;
    HResult result;
    bool clean = true;  // the store is as before after the failed register
  } const cases[] = {
      {"HKCU { a\\b }", hr::DispException},
      {"HKCU { ForceRemove a\\b }", hr::DispException},
      {"HKCU { '' }", hr::DispException},
      {"HKCU { val V s 'x' }", hr::DispException},
      {"HKCU { K", hr::DispException, false},
      {"HKCU { K { }", hr::DispException, false},
      {"HKCU { K = s }", hr::DispException, false},  // the undo stops at the same error
      {"HKCU { Delete K { Sub } }", hr::DispException},
      {"HKCU { val V = s 'x' { Sub } }", hr::DispException},
      {"HKCU { " + name260 + " }", hr::DispException},
      {"HKCU { ForceRemove " + name260 + " }", hr::DispException},
      {"HKCU { " + name259.substr(0, 255) + " }", hr::Ok},
  };
  for (const auto& c : cases) {
    MemoryRegistryStore fresh;
    CRegObject local(fresh);
    auto Run = [&local](const std::string& script, bool registerMode) {
      return local.RunScriptText(U16(script).c_str(), registerMode);
    };
    const std::string before = fresh.Dump();
    EXPECT_EQ(Run(c.script, kRegister), c.result) << c.script.substr(0, 60);
    if (hr::Failed(c.result) && c.clean) {
      EXPECT_EQ(fresh.Dump(), before) << c.script.substr(0, 60);
    }
    EXPECT_EQ(Run(c.script, kUnregister), c.result) << c.script.substr(0, 60);
  }
}

TEST_F(InterpreterTest, KeywordsApplyOnlyInTheirOrder) {
  ASSERT_EQ(Run("HKCU { NoRemove ForceRemove K }", kRegister), hr::Ok);
  EXPECT_TRUE(Has("ForceRemove"));  // after NoRemove the word is a key name
  EXPECT_TRUE(Has("K"));
  ASSERT_EQ(Run("HKCU { NOREMOVE VAL X = s 'v' }", kRegister), hr::Ok);
  EXPECT_EQ(String("", "X"), "v");
}

TEST_F(InterpreterTest, FailingRootBlockIsUndoneAndEarlierBlocksStay) {
  ASSERT_EQ(Run("HKCU { Before = s 'b' }", kRegister), hr::Ok);
  const std::string script =
      "HKCU { First { val V = s '1' } } "
      "HKLM { Second { val V = s '2' Child } Before = s 'changed' Bad = d 'nan' Never }";
  ASSERT_EQ(Run("HKLM { Before = s 'b' }", kRegister), hr::Ok);
  EXPECT_EQ(Run(script, kRegister), hr::DispException);
  EXPECT_EQ(String("First", "V"), "1");
  EXPECT_FALSE(Has("Second", RootKey::LocalMachine));
  EXPECT_FALSE(Has("Bad", RootKey::LocalMachine));
  // The undo removes keys the block names even when they existed before.
  EXPECT_FALSE(Has("Before", RootKey::LocalMachine));
  EXPECT_FALSE(Has("Never", RootKey::LocalMachine));
}

TEST_F(InterpreterTest, RegistryFailuresReturnTheirCodes) {
  store.Protect(RootKey::CurrentUser, u"Locked", MemoryRegistryStore::Protection::NoAccess);
  store.Protect(RootKey::CurrentUser, u"ReadOnly", MemoryRegistryStore::Protection::ReadOnly);
  EXPECT_EQ(Run("HKCU { NoRemove Locked { Sub } }", kRegister), kAccessDenied);
  EXPECT_EQ(Run("HKCU { NoRemove ReadOnly { New } }", kRegister), kAccessDenied);
  EXPECT_EQ(Run("HKCU { NoRemove ReadOnly = s 'x' }", kRegister), kAccessDenied);
  EXPECT_EQ(Run("HKCU { NoRemove ReadOnly { val V = s 'x' } }", kRegister), kAccessDenied);
  EXPECT_EQ(Run("HKCU { NoRemove ReadOnly { Absent } }", kUnregister), hr::Ok);
  // Unreadable key: its block is still read, then the open failure returns.
  EXPECT_EQ(Run("HKCU { Locked { Sub { val V = s 'v' } } }", kUnregister), kAccessDenied);
  EXPECT_EQ(Run("HKCU { Locked { Sub { val V = } } }", kUnregister), hr::DispException);
  EXPECT_EQ(Run("HKCU { ReadOnly { val V = s 'x' } }", kUnregister), kAccessDenied);
  EXPECT_TRUE(Has("Locked"));
  EXPECT_TRUE(Has("ReadOnly"));
}

TEST_F(InterpreterTest, NestingIsBounded) {
  auto nested = [](int keys) {
    std::string script = "HKCU {";
    for (int i = 0; i < keys; ++i) script += " k {";
    for (int i = 0; i <= keys; ++i) script += " }";
    return script;
  };
  EXPECT_EQ(Run(nested(kMaxBlockDepth - 1), kRegister), hr::Ok);
  EXPECT_EQ(Run(nested(kMaxBlockDepth - 1), kUnregister), hr::Ok);
  EXPECT_FALSE(Has("k"));
  EXPECT_EQ(Run(nested(kMaxBlockDepth), kRegister), hr::DispException);
  EXPECT_EQ(Run(nested(kMaxBlockDepth), kUnregister), hr::DispException);
}

TEST_F(InterpreterTest, SubstitutionsReachKeyNamesAndValues) {
  const std::u16string path = u"C:\\it's\\x.dll";
  Char16 escaped[520];
  EscapeSingleQuotes(escaped, 520, path.c_str());
  ASSERT_EQ(registrar.AddSubstitution(u"MODULE", escaped), hr::Ok);
  ASSERT_EQ(registrar.AddSubstitution(u"NAME", u"Named"), hr::Ok);
  ASSERT_EQ(Run("HKCU { %name% = s '%Module%' { val 'Percent' = s '100%%' } }", kRegister), hr::Ok);
  EXPECT_EQ(String("Named", nullptr), "C:\\it's\\x.dll");
  EXPECT_EQ(String("Named", "Percent"), "100%");
  ASSERT_EQ(registrar.ClearSubstitutions(), hr::Ok);
  EXPECT_EQ(Run("HKCU { %name% }", kUnregister), hr::DispException);
  EXPECT_TRUE(Has("Named"));
}

std::string ReadSourceFile(const char* relative) {
  std::ifstream in(std::string(BOARDSCOPE_SOURCE_DIR) + "/" + relative, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(InterpreterTest, SystemScriptsRegisterAndUnregister) {
  const std::string appid = ReadSourceFile("resources/appid.rgs");
  const std::string cls = ReadSourceFile("resources/class.rgs");
  ASSERT_FALSE(appid.empty());
  ASSERT_FALSE(cls.empty());
  const std::string clsid = cls.substr(cls.find("ForceRemove {") + 12, 38);
  ASSERT_EQ(registrar.AddSubstitution(u"APPID", u"{11111111-2222-3333-4444-555555555555}"), hr::Ok);
  ASSERT_EQ(registrar.AddSubstitution(u"Module", u"C:\\dir\\Boardscope.dll"), hr::Ok);
  ASSERT_EQ(Run(appid, kRegister), hr::Ok);
  ASSERT_EQ(Run(cls, kRegister), hr::Ok);
  const RootKey cr = RootKey::ClassesRoot;
  const std::string classKey = "CLSID\\" + clsid;
  EXPECT_EQ(String("AppID\\{11111111-2222-3333-4444-555555555555}", nullptr, cr), "Boardscope");
  EXPECT_EQ(String("AppID\\Boardscope.DLL", "AppID", cr), "{11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(String("Boardscope.ZEMBoardscope.1", nullptr, cr), "ZEMBoardscope Class");
  EXPECT_EQ(String("Boardscope.ZEMBoardscope.1\\CLSID", nullptr, cr), clsid);
  EXPECT_EQ(String("Boardscope.ZEMBoardscope\\CurVer", nullptr, cr), "Boardscope.ZEMBoardscope.1");
  EXPECT_EQ(String((classKey + "\\InprocServer32").c_str(), nullptr, cr), "C:\\dir\\Boardscope.dll");
  EXPECT_EQ(String((classKey + "\\InprocServer32").c_str(), "ThreadingModel", cr), "Apartment");
  EXPECT_EQ(String(classKey.c_str(), "AppID", cr), "{11111111-2222-3333-4444-555555555555}");
  EXPECT_TRUE(Has((classKey + "\\Programmable").c_str(), cr));
  EXPECT_TRUE(Has((classKey + "\\TypeLib").c_str(), cr));
  // Registering again over the existing keys changes nothing.
  const std::string registered = store.Dump();
  ASSERT_EQ(Run(cls, kRegister), hr::Ok);
  EXPECT_EQ(store.Dump(), registered);

  ASSERT_EQ(Run(cls, kUnregister), hr::Ok);
  ASSERT_EQ(Run(appid, kUnregister), hr::Ok);
  MemoryRegistryStore expected;
  KeyHandle key = 0;
  for (const Char16* kept : {u"AppID", u"CLSID"}) {
    ASSERT_EQ(expected.CreateKey(expected.Root(cr), kept, access::ReadWrite, &key), 0);
    expected.CloseKey(key);
  }
  EXPECT_EQ(store.Dump(), expected.Dump());
}

TEST(RegObject, SubstitutionTableKeepsFirstPairAndCopies) {
  MemoryRegistryStore store;
  CRegObject registrar(store);
  std::u16string value = u"first";
  ASSERT_EQ(registrar.AddSubstitution(u"APPID", value.c_str()), hr::Ok);
  value = u"changed";
  ASSERT_EQ(registrar.AddSubstitution(u"APPID", u"second"), hr::Ok);
  EXPECT_EQ(std::u16string(registrar.LookupSubstitution(u"appid")), u"first");
  EXPECT_EQ(registrar.AddSubstitution(u"X", nullptr), hr::InvalidArg);
  EXPECT_EQ(registrar.AddSubstitution(nullptr, u"x"), hr::InvalidArg);
  EXPECT_EQ(registrar.LookupSubstitution(u"X"), nullptr);
  EXPECT_EQ(registrar.LookupSubstitution(u"APPI"), nullptr);
  EXPECT_EQ(registrar.ClearSubstitutions(), hr::Ok);
  EXPECT_EQ(registrar.ClearSubstitutions(), hr::Ok);
  EXPECT_EQ(registrar.LookupSubstitution(u"APPID"), nullptr);
  void* object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(registrar.QueryInterface(nullptr, &object), hr::NotImpl);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(registrar.AddRef(), 1u);
  EXPECT_EQ(registrar.Release(), 0u);
}

TEST(ScriptHelpers, ProtectedNamesLettersAndDigits) {
  for (const Char16* name : {u"AppID", u"clsid", u"COMPONENT CATEGORIES", u"FileType", u"Interface",
                             u"Hardware", u"Mime", u"SAM", u"Security", u"System", u"SOFTWARE", u"typelib"}) {
    EXPECT_FALSE(IsRemovableKeyName(name));
  }
  for (const Char16* name : {u"AppIDs", u"CLSID ", u"", u"Programmable"}) EXPECT_TRUE(IsRemovableKeyName(name));
  ScriptValueKind kind;
  ASSERT_TRUE(ValueTypeFromLetter(u'm', &kind));
  EXPECT_EQ(kind, ScriptValueKind::MultiString);
  EXPECT_FALSE(ValueTypeFromLetter(u'e', &kind));
  EXPECT_EQ(HexDigitValue(u'f'), 15);
  EXPECT_EQ(HexDigitValue(u'G'), 0);
  EXPECT_EQ(HexDigitValue(u'\xFF10'), 0);  // fullwidth digit zero is not a digit
}

}  // namespace
}  // namespace boardscope
