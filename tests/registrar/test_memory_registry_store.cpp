// Behaviour of the in-memory store that the engine's tests rely on beyond
// what the key tests show: deleted keys, protection, handle accounting.
#include <gtest/gtest.h>

#include <string>

#include "tools/memory_registry/memory_registry_store.h"
#include "registrar/plugin_value.h"

namespace boardscope {
namespace {

TEST(MemoryStore, HandleOfDeletedKeyAnswersKeyDeleted) {
  MemoryRegistryStore store;
  KeyHandle key = 0, child = 0;
  ASSERT_EQ(store.CreateKey(store.Root(RootKey::CurrentUser), u"a\\b", access::ReadWrite, &key), 0);
  ASSERT_EQ(store.DeleteKey(store.Root(RootKey::CurrentUser), u"a\\b", 0), 0);
  const std::uint32_t one = 1;
  EXPECT_EQ(store.SetValue(key, nullptr, regtype::Dword, &one, 4), win32::KeyDeleted);
  EXPECT_EQ(store.CreateKey(key, u"c", access::ReadWrite, &child), win32::KeyDeleted);
  EXPECT_EQ(store.CloseKey(key), 0);
  EXPECT_EQ(store.CloseKey(key), win32::InvalidHandle);
  EXPECT_EQ(store.OpenHandleCount(), 0u);
}

TEST(MemoryStore, ProtectionRefusesWritesOrEverything) {
  MemoryRegistryStore store;
  const KeyHandle root = store.Root(RootKey::LocalMachine);
  store.Protect(RootKey::LocalMachine, u"ro", MemoryRegistryStore::Protection::ReadOnly);
  store.Protect(RootKey::LocalMachine, u"none", MemoryRegistryStore::Protection::NoAccess);
  KeyHandle key = 0;
  EXPECT_EQ(store.OpenKey(root, u"ro", access::ReadWrite, &key), win32::AccessDenied);
  EXPECT_EQ(store.CreateKey(root, u"ro", access::ReadWrite, &key), win32::AccessDenied);
  EXPECT_EQ(store.CreateKey(root, u"ro\\new", access::ReadWrite, &key), win32::AccessDenied);
  ASSERT_EQ(store.OpenKey(root, u"RO", access::Read, &key), 0);
  const std::uint32_t one = 1;
  EXPECT_EQ(store.SetValue(key, nullptr, regtype::Dword, &one, 4), win32::AccessDenied);
  EXPECT_EQ(store.CloseKey(key), 0);
  EXPECT_EQ(store.OpenKey(root, u"none", access::Read, &key), win32::AccessDenied);

  // A handle opened for writing only refuses reads, on any key; a key that
  // only allows writing refuses read access outright.
  store.Protect(RootKey::LocalMachine, u"wo", MemoryRegistryStore::Protection::WriteOnly);
  EXPECT_EQ(store.CreateKey(root, u"wo", access::ReadWrite, &key), win32::AccessDenied);
  EXPECT_EQ(store.OpenKey(root, u"wo", access::Read, &key), win32::AccessDenied);
  for (const Char16* path : {u"wo", u"rw"}) {
    ASSERT_EQ(store.CreateKey(root, path, access::Write, &key), 0);
    EXPECT_EQ(store.SetValue(key, u"v", regtype::Dword, &one, 4), 0);
    std::uint32_t data = 0, type = 0, size = 4;
    EXPECT_EQ(store.QueryValue(key, u"v", &type, &data, &size), win32::AccessDenied);
    std::uint32_t count = 0;
    EXPECT_EQ(store.QuerySubkeyCount(key, &count), win32::AccessDenied);
    EXPECT_EQ(store.CloseKey(key), 0);
  }
  EXPECT_EQ(store.DeleteKey(root, u"none", 0), win32::AccessDenied);
  EXPECT_TRUE(store.KeyExists(RootKey::LocalMachine, u"None"));
}

// The host's plug-in value goes through the store like the scripts: written
// as REG_EXPAND_SZ with its terminator, removed again, and a refused key
// leaves nothing written and no handle open.
TEST(PluginValue, WrittenAndRemovedThroughTheStore) {
  MemoryRegistryStore store;
  const Char16 path[] = u"SOFTWARE\\Quendal\\ZEM4\\PLUGINS";
  const Char16 classId[] = u"{022C6C14-09E7-445D-9671-27646CBAF666}";
  WritePluginValue(store, path, u"Boardscope-CLSID", classId);
  KeyHandle key = 0;
  ASSERT_EQ(store.OpenKey(store.Root(RootKey::LocalMachine), path, access::Read, &key), 0);
  Char16 data[64] = {};
  std::uint32_t type = 0, size = sizeof data;
  ASSERT_EQ(store.QueryValue(key, u"Boardscope-CLSID", &type, data, &size), 0);
  EXPECT_EQ(type, 2u);
  EXPECT_EQ(size, 78u);
  EXPECT_EQ(std::u16string(data), classId);
  RemovePluginValue(store, path, u"Boardscope-CLSID");
  RemovePluginValue(store, path, u"Boardscope-CLSID");
  size = sizeof data;
  EXPECT_EQ(store.QueryValue(key, u"Boardscope-CLSID", &type, data, &size), win32::FileNotFound);
  EXPECT_EQ(store.CloseKey(key), 0);

  // A key the account may write but not read still takes the value.
  store.Protect(RootKey::LocalMachine, path, MemoryRegistryStore::Protection::WriteOnly);
  WritePluginValue(store, path, u"Boardscope-CLSID", classId);
  EXPECT_NE(store.Dump().find("Boardscope-CLSID"), std::string::npos);
  RemovePluginValue(store, path, u"Boardscope-CLSID");
  EXPECT_EQ(store.Dump().find("Boardscope-CLSID"), std::string::npos);

  store.Protect(RootKey::LocalMachine, u"SOFTWARE\\Locked", MemoryRegistryStore::Protection::ReadOnly);
  WritePluginValue(store, u"SOFTWARE\\Locked\\PLUGINS", u"Boardscope-CLSID", classId);
  EXPECT_FALSE(store.KeyExists(RootKey::LocalMachine, u"SOFTWARE\\Locked\\PLUGINS"));
  EXPECT_EQ(store.OpenHandleCount(), 0u);
}

TEST(MemoryStore, EnumerationReportsNamesThatFit) {
  MemoryRegistryStore store;
  KeyHandle key = 0;
  const std::u16string longName(255, u'n');
  ASSERT_EQ(store.CreateKey(store.Root(RootKey::Users), longName.c_str(), access::ReadWrite, &key), 0);
  store.CloseKey(key);
  Char16 name[256];
  std::uint32_t length = 255;
  EXPECT_EQ(store.EnumSubkey(store.Root(RootKey::Users), 0, name, &length), win32::MoreData);
  length = 256;
  EXPECT_EQ(store.EnumSubkey(store.Root(RootKey::Users), 0, name, &length), 0);
  EXPECT_EQ(length, 255u);
  length = 256;
  EXPECT_EQ(store.EnumSubkey(store.Root(RootKey::Users), 1, name, &length), win32::NoMoreItems);
  const std::u16string tooLong(256, u'n');
  EXPECT_EQ(store.CreateKey(store.Root(RootKey::Users), tooLong.c_str(), access::ReadWrite, &key),
            win32::InvalidParameter);
}

}  // namespace
}  // namespace boardscope
