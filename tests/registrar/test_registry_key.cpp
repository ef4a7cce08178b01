// CRegistryKey over a store: ownership of handles, value sizes, and the
// recursive delete. Runs against whichever store test_store provides.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "registrar/registry_key.h"
#include "test_store.h"

namespace boardscope {
namespace {

struct RegistryKeyTest : ::testing::Test {
  std::unique_ptr<RegistryStore> store = test::MakeTestStore();
  CRegistryKey base{*store};   // HKCU\Software\BoardscopeTest
  CRegistryKey scratch{*store};  // a fresh key per test below it

  void SetUp() override {
    ASSERT_EQ(base.Create(store->Root(RootKey::CurrentUser), u"Software\\BoardscopeTest"), 0);
    base.DeleteTree(u"RegistryKey");
    ASSERT_EQ(scratch.Create(base.Handle(), u"RegistryKey"), 0);
  }
  void TearDown() override {
    scratch.Close();
    EXPECT_EQ(base.DeleteTree(u"RegistryKey"), 0);
  }

  bool Exists(const Char16* path) {
    KeyHandle key = 0;
    if (store->OpenKey(scratch.Handle(), path, access::Read, &key) != 0) return false;
    store->CloseKey(key);
    return true;
  }
  void MakeKey(const Char16* path) {
    KeyHandle key = 0;
    ASSERT_EQ(store->CreateKey(scratch.Handle(), path, access::ReadWrite, &key), 0);
    const std::uint32_t one = 1;
    ASSERT_EQ(store->SetValue(key, u"v", regtype::Dword, &one, 4), 0);
    store->CloseKey(key);
  }
  std::uint32_t ValueSize(const Char16* name, std::uint32_t* type = nullptr) {
    std::uint8_t data[256];
    std::uint32_t size = sizeof data;
    std::uint32_t ignored = 0;
    EXPECT_EQ(store->QueryValue(scratch.Handle(), name, type ? type : &ignored, data, &size), 0) << "value";
    return size;
  }
};

TEST_F(RegistryKeyTest, DeleteTreeOfAbsentKeyChangesNothing) {
  MakeKey(u"keep");
  EXPECT_EQ(scratch.DeleteTree(u"absent"), win32::FileNotFound);
  EXPECT_TRUE(Exists(u"keep"));
}

TEST_F(RegistryKeyTest, DeleteTreeRemovesEveryLevelWithValues) {
  MakeKey(u"tree\\a\\b\\c");
  MakeKey(u"tree\\a\\b2");
  MakeKey(u"tree\\x");
  MakeKey(u"sibling");
  EXPECT_EQ(scratch.DeleteTree(u"tree"), 0);
  EXPECT_FALSE(Exists(u"tree"));
  EXPECT_TRUE(Exists(u"sibling"));
}

TEST_F(RegistryKeyTest, DeleteChildRefusesKeyWithSubkeys) {
  MakeKey(u"parent\\child");
  EXPECT_NE(scratch.DeleteChild(u"parent"), 0);
  EXPECT_TRUE(Exists(u"parent\\child"));
  EXPECT_EQ(scratch.DeleteChild(u"parent\\child"), 0);
  EXPECT_EQ(scratch.DeleteChild(u"parent"), 0);
  EXPECT_EQ(scratch.DeleteChild(u"parent"), win32::FileNotFound);
}

TEST_F(RegistryKeyTest, CloseIsHarmlessWhenNothingIsHeld) {
  CRegistryKey key(*store);
  EXPECT_EQ(key.Close(), 0);
  ASSERT_EQ(key.Open(scratch.Handle(), nullptr, access::Read), 0);
  EXPECT_EQ(key.Close(), 0);
  EXPECT_EQ(key.Close(), 0);
  EXPECT_EQ(key.Handle(), 0u);
}

TEST_F(RegistryKeyTest, OpenWithoutNameGivesIndependentHandle) {
  CRegistryKey second(*store);
  ASSERT_EQ(second.Open(scratch.Handle(), nullptr, access::ReadWrite), 0);
  EXPECT_NE(second.Handle(), scratch.Handle());
  ASSERT_EQ(second.WriteDword(u"through-second", 7), 0);
  EXPECT_EQ(second.Close(), 0);
  EXPECT_EQ(ValueSize(u"through-second"), 4u);  // the first handle still works
}

TEST_F(RegistryKeyTest, FailedOpenKeepsHeldHandle) {
  MakeKey(u"held");
  CRegistryKey key(*store);
  ASSERT_EQ(key.Open(scratch.Handle(), u"held", access::ReadWrite), 0);
  const KeyHandle held = key.Handle();
  EXPECT_EQ(key.Open(scratch.Handle(), u"absent", access::ReadWrite), win32::FileNotFound);
  EXPECT_EQ(key.Handle(), held);
  EXPECT_EQ(key.WriteDword(u"still", 1), 0);
}

TEST_F(RegistryKeyTest, CreateOpensExistingKeyUnchanged) {
  MakeKey(u"existing\\child");
  CRegistryKey key(*store);
  ASSERT_EQ(key.Create(scratch.Handle(), u"existing"), 0);
  EXPECT_TRUE(key.HasSubkeys());
  EXPECT_TRUE(Exists(u"existing\\child"));
}

TEST_F(RegistryKeyTest, ValueSizesIncludeTerminators) {
  EXPECT_EQ(scratch.WriteString(u"s", nullptr, regtype::String), win32::InvalidData);
  EXPECT_EQ(scratch.WriteMultiString(u"m", nullptr), win32::InvalidData);
  ASSERT_EQ(scratch.WriteString(u"s", u"abc", regtype::String), 0);
  ASSERT_EQ(scratch.WriteString(nullptr, u"", regtype::String), 0);
  ASSERT_EQ(scratch.WriteDword(u"d", 0xDEADBEEF), 0);
  ASSERT_EQ(scratch.WriteMultiString(u"m1", u"a\0b\0"), 0);
  ASSERT_EQ(scratch.WriteMultiString(u"m2", u"a\0\0b\0"), 0);
  const std::uint8_t bytes[] = {1, 2, 3};
  ASSERT_EQ(scratch.WriteBinary(u"b", bytes, 3), 0);
  ASSERT_EQ(scratch.WriteBinary(u"b0", nullptr, 0), 0);
  std::uint32_t type = 0;
  EXPECT_EQ(ValueSize(u"s", &type), 8u);
  EXPECT_EQ(type, regtype::String);
  EXPECT_EQ(ValueSize(nullptr), 2u);
  EXPECT_EQ(ValueSize(u"d", &type), 4u);
  EXPECT_EQ(type, regtype::Dword);
  EXPECT_EQ(ValueSize(u"m1", &type), 10u);
  EXPECT_EQ(type, regtype::MultiString);
  EXPECT_EQ(ValueSize(u"m2"), 6u);
  EXPECT_EQ(ValueSize(u"b", &type), 3u);
  EXPECT_EQ(type, regtype::Binary);
  EXPECT_EQ(ValueSize(u"b0"), 0u);
  EXPECT_EQ(scratch.DeleteValue(u"s"), 0);
  EXPECT_EQ(scratch.DeleteValue(u"s"), win32::FileNotFound);
}

TEST_F(RegistryKeyTest, HasSubkeysAnswersFalseWhenQueryFails) {
  CRegistryKey key(*store);
  EXPECT_FALSE(scratch.HasSubkeys());
  MakeKey(u"sub");
  EXPECT_TRUE(scratch.HasSubkeys());
  ASSERT_EQ(key.Open(scratch.Handle(), nullptr, access::SetValue), 0);
  if (test::RegistryDeniesQueryWithoutAccess()) {
    EXPECT_FALSE(key.HasSubkeys());
  }
}

TEST_F(RegistryKeyTest, AttachedHandleIsNotClosed) {
  {
    CRegistryKey borrowed(*store);
    borrowed.Attach(scratch.Handle());
    ASSERT_EQ(borrowed.WriteDword(u"via-borrowed", 1), 0);
    EXPECT_EQ(borrowed.Detach(), scratch.Handle());
  }
  EXPECT_EQ(scratch.WriteDword(u"after", 2), 0);
}

}  // namespace
}  // namespace boardscope
