// Tokens, expansion, the expansion buffer and quote escaping.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/memory_registry/memory_registry_store.h"
#include "registrar/reg_object.h"
#include "registrar/reg_script.h"
#include "test_text.h"

namespace boardscope {
namespace {

using test::Narrow;
using test::U16;

struct TextFixture : ::testing::Test {
  MemoryRegistryStore store;
  CRegObject registrar{store};
  CRegScriptParser parser{registrar};
  Char16 token[kTokenBuffer];

  // All tokens up to the first failure, and that failure.
  std::vector<std::string> Tokens(const std::u16string& text, HResult* last) {
    parser.SetText(text.c_str());
    std::vector<std::string> tokens;
    for (;;) {
      std::fill(std::begin(token), std::end(token), Char16{0xBDBD});
      *last = parser.ReadToken(token);
      if (hr::Failed(*last)) return tokens;
      tokens.push_back(Narrow(token));
    }
  }

  HResult Expand(const std::u16string& text, std::u16string* out) {
    Char16* expanded = reinterpret_cast<Char16*>(0x1);
    const HResult result = parser.ExpandScript(text.c_str(), &expanded);
    if (hr::Succeeded(result)) {
      *out = expanded;
      TaskMemFree(expanded);
    } else {
      EXPECT_EQ(expanded, nullptr);
    }
    return result;
  }
};

struct TokenCase {
  const char* text;
  std::vector<std::string> tokens;  // read before the end-of-text failure
};

TEST_F(TextFixture, ReadTokenSplitsQuotedAndBareTokens) {
  const TokenCase cases[] = {
      {"'it''s'", {"it's"}},
      {"''", {""}},
      {"'a b'c", {"a b", "c"}},
      {"ab'cd", {"ab'cd"}},
      {"x{ = }", {"x{", "=", "}"}},
      {"\t\r\n key \t= s 'v'\r\n", {"key", "=", "s", "v"}},
      {"'''' '''a'''", {"'", "'a'"}},
      {"%a% 100%", {"%a%", "100%"}},
      {"a\x0B" "b\xA0" "c", {"a\x0B" "b\xA0" "c"}},  // only four characters are blanks
      {"'x'y'z'", {"x", "y'z'"}},
  };
  for (const auto& c : cases) {
    HResult last = hr::Ok;
    const auto tokens = Tokens(U16(c.text), &last);
    std::vector<std::string> expected;
    for (const auto& t : c.tokens) expected.push_back(Narrow(U16(t)));
    EXPECT_EQ(tokens, expected) << c.text;
    EXPECT_EQ(last, hr::DispException) << c.text;
  }
}

TEST_F(TextFixture, ReadTokenFailsAtEndOrOpenQuote) {
  for (const char* text : {"", " \t\r\n ", "'abc", "'abc''", "'"}) {
    const std::u16string owned = U16(text);
    parser.SetText(owned.c_str());
    EXPECT_EQ(parser.ReadToken(token), hr::DispException) << "[" << text << "]";
  }
}

TEST_F(TextFixture, ReadTokenLimitIs4094Characters) {
  for (bool quoted : {false, true}) {
    for (std::size_t n : {4093u, 4094u, 4095u, 5000u}) {
      std::u16string text(n, u'q');
      if (quoted) text = u"'" + text + u"'";
      text += u" next";
      parser.SetText(text.c_str());
      const HResult result = parser.ReadToken(token);
      if (n <= 4094) {
        ASSERT_EQ(result, hr::Ok) << n;
        EXPECT_EQ(std::u16string(token).size(), n);
        ASSERT_EQ(parser.ReadToken(token), hr::Ok);
        EXPECT_EQ(std::u16string(token), u"next");
      } else {
        EXPECT_EQ(result, hr::DispException) << n << (quoted ? " quoted" : "");
      }
    }
  }
  // A doubled quote counts once toward the limit.
  std::u16string text = u"'" + std::u16string(4093, u'q') + u"'''";
  parser.SetText(text.c_str());
  ASSERT_EQ(parser.ReadToken(token), hr::Ok);
  EXPECT_EQ(std::u16string(token).size(), 4094u);
}

TEST_F(TextFixture, SkipBlanksStopsAtFirstOtherCharacter) {
  const std::u16string text = u" \t\r\n\v x";
  parser.SetText(text.c_str());
  parser.SkipBlanks();
  EXPECT_EQ(parser.Position(), text.c_str() + 4);
}

TEST_F(TextFixture, ExpansionSubstitutesNamesAndPercentPairs) {
  ASSERT_EQ(registrar.AddSubstitution(u"Module", u"C:\\it's.dll"), hr::Ok);
  ASSERT_EQ(registrar.AddSubstitution(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcde", u"31"), hr::Ok);
  ASSERT_EQ(registrar.AddSubstitution(u"Self", u"%Module%"), hr::Ok);
  struct Case {
    const char* text;
    HResult result;
    const char* expanded;
  } const cases[] = {
      {"", hr::Ok, ""},
      {"100%%", hr::Ok, "100%"},
      {"%%%%%%", hr::Ok, "%%%"},
      {"'%module%'", hr::Ok, "'C:\\it's.dll'"},
      {"a%MODULE%b%Module%", hr::Ok, "aC:\\it's.dllbC:\\it's.dll"},
      {"%self%", hr::Ok, "%Module%"},  // values are not expanded again
      {"%ABCDEFGHIJKLMNOPQRSTUVWXYZabcde%", hr::Ok, "31"},
      {"%ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef%", hr::Fail, nullptr},
      {"x %", hr::DispException, nullptr},
      {"%Module", hr::DispException, nullptr},
      {"%Unknown%", hr::DispException, nullptr},
      {"%Mod ule%", hr::DispException, nullptr},
  };
  for (const auto& c : cases) {
    std::u16string out;
    EXPECT_EQ(Expand(U16(c.text), &out), c.result) << c.text;
    if (c.expanded != nullptr) {
      EXPECT_EQ(Narrow(out), c.expanded) << c.text;
    }
  }
}

TEST_F(TextFixture, ExpansionRefusesNullArguments) {
  Char16* out = nullptr;
  EXPECT_EQ(parser.ExpandScript(nullptr, &out), hr::Pointer);
  EXPECT_EQ(parser.ExpandScript(u"x", nullptr), hr::Pointer);
}

TEST_F(TextFixture, ExpansionGrowsForLongValues) {
  const std::u16string big(5000, u'v');
  ASSERT_EQ(registrar.AddSubstitution(u"BIG", big.c_str()), hr::Ok);
  std::u16string out;
  ASSERT_EQ(Expand(u"[%big%%big%]", &out), hr::Ok);
  EXPECT_EQ(out, u"[" + big + big + u"]");
}

TEST_F(TextFixture, EscapedValueReadsBackUnchangedFromQuotedToken) {
  const std::u16string path = u"C:\\O'Neil's ''dir''\\x.dll";
  Char16 escaped[520];
  EscapeSingleQuotes(escaped, 520, path.c_str());
  ASSERT_EQ(registrar.AddSubstitution(u"MODULE", escaped), hr::Ok);
  std::u16string out;
  ASSERT_EQ(Expand(u"'%MODULE%'", &out), hr::Ok);
  parser.SetText(out.c_str());
  ASSERT_EQ(parser.ReadToken(token), hr::Ok);
  EXPECT_EQ(std::u16string(token), path);
}

TEST(FindChar, FindsFirstOrNone) {
  const Char16* text = u"ab%c%";
  EXPECT_EQ(FindChar(text, u'%'), text + 2);
  EXPECT_EQ(FindChar(text, u'z'), nullptr);
  EXPECT_EQ(FindChar(nullptr, u'%'), nullptr);
  EXPECT_EQ(FindChar(u"", 0), nullptr);
}

TEST(EscapeSingleQuotes, DoublesQuotesWithinCapacity) {
  struct Case {
    const char* source;
    std::size_t capacity;
    const char* expected;
  } const cases[] = {
      {"a'b", 4, "a''"}, {"a'b", 5, "a''b"}, {"a'b", 3, "a'"}, {"'", 2, "'"},
      {"''", 5, "''''"}, {"abc", 1, ""},     {"", 8, ""},      {"x'", 100, "x''"},
  };
  for (const auto& c : cases) {
    Char16 out[128];
    std::fill(std::begin(out), std::end(out), Char16{0xBDBD});
    EscapeSingleQuotes(out, c.capacity, U16(c.source).c_str());
    EXPECT_EQ(Narrow(out), c.expected) << c.source << " / " << c.capacity;
    EXPECT_EQ(out[c.capacity], Char16{0xBDBD}) << "wrote past capacity";
  }
  Char16 untouched = 0x1234;
  EscapeSingleQuotes(&untouched, 0, u"abc");
  EXPECT_EQ(untouched, 0x1234);
  // A 259-character path of quotes fits the 520-character buffer whole.
  const std::u16string quotes(259, u'\'');
  Char16 escaped[520];
  EscapeSingleQuotes(escaped, 520, quotes.c_str());
  EXPECT_EQ(std::u16string(escaped), std::u16string(518, u'\''));
}

// Counts the allocator calls of one buffer.
struct CountingAllocator {
  static inline int allocs = 0, reallocs = 0;
  static inline bool failAlloc = false, failRealloc = false;
  static void* Alloc(std::size_t n) { return failAlloc ? nullptr : (++allocs, std::malloc(n)); }
  static void* Realloc(void* p, std::size_t n) { return failRealloc ? nullptr : (++reallocs, std::realloc(p, n)); }
  static void Free(void* p) { std::free(p); }
  static TaskAllocator Get() {
    allocs = reallocs = 0;
    failAlloc = failRealloc = false;
    return TaskAllocator{&Alloc, &Realloc, &Free};
  }
};

TEST(ScriptBuffer, DoublesCapacityUntilItExceedsNeed) {
  const TaskAllocator allocator = CountingAllocator::Get();
  CScriptBuffer buffer(4, allocator);
  ASSERT_TRUE(buffer.Ok());
  ASSERT_TRUE(buffer.Append(u"abc", 2));
  EXPECT_EQ(buffer.Capacity(), 4);
  EXPECT_EQ(CountingAllocator::reallocs, 0);
  ASSERT_TRUE(buffer.Append(u"c", 1));  // needs 4: grows to 8
  EXPECT_EQ(buffer.Capacity(), 8);
  ASSERT_TRUE(buffer.Append(u"0123456789", 10));  // needs 14: 16
  EXPECT_EQ(buffer.Capacity(), 16);
  EXPECT_EQ(std::u16string(buffer.Text()), u"abc0123456789");
  EXPECT_EQ(buffer.Length(), 13);
  EXPECT_FALSE(buffer.AppendString(nullptr));
  ASSERT_TRUE(buffer.AppendString(u""));
  EXPECT_EQ(CountingAllocator::reallocs, 2);
}

TEST(ScriptBuffer, RefusesOverflowAndFailedGrowth) {
  const TaskAllocator allocator = CountingAllocator::Get();
  CScriptBuffer buffer(8, allocator);
  ASSERT_TRUE(buffer.Append(u"ab", 2));
  EXPECT_FALSE(buffer.Append(u"x", INT32_MAX));       // length + count + 1 wraps
  EXPECT_FALSE(buffer.Append(u"x", INT32_MAX - 3));   // doubling would pass 0x3FFFFFFF
  CountingAllocator::failRealloc = true;
  EXPECT_FALSE(buffer.Append(u"0123456789", 10));
  EXPECT_EQ(CountingAllocator::reallocs, 0);
  EXPECT_EQ(std::u16string(buffer.Text()), u"ab");  // unchanged after each refusal
  CountingAllocator::failAlloc = true;
  CScriptBuffer empty(8, allocator);
  EXPECT_FALSE(empty.Ok());
  EXPECT_FALSE(empty.Append(u"a", 1));
}

}  // namespace
}  // namespace boardscope
