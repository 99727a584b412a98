#include "dialog/dialog_language.h"
#include "dialog/string_block.h"
#include "dialog/version_language.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct LanguageCase {
  const char *what;
  LanguageFacts facts;
  uint16_t expected;
};

// hasUiLanguage, uiLanguage, hasSystemResourcesLanguage,
// systemResourcesLanguage, isWindows9x, systemLanguage, userLanguage, ACP
const LanguageCase kLanguageCases[] = {
    {"2000/XP: the user's UI language",
     {true, 0x0407, false, 0, false, 0x0409, 0x0409, 1252},
     0x0407},
    {"ME: the UI language over the system's",
     {true, 0x040C, false, 0, true, 0x0409, 0x0409, 1252},
     0x040C},
    {"English NT 4.0 with German formats: its resources' language",
     {false, 0, true, 0x0409, false, 0x0407, 0x0407, 1252},
     0x0409},
    {"German NT 4.0 with U.S. formats",
     {false, 0, true, 0x0407, false, 0x0409, 0x0409, 1252},
     0x0407},
    {"German 95 with French formats",
     {false, 0, true, 0x0407, true, 0x040C, 0x040C, 1252},
     0x0407},
    {"Japanese 98",
     {false, 0, true, 0x0411, true, 0x0411, 0x0411, 932},
     0x0411},
    {"a neutral version resource tells nothing",
     {false, 0, true, 0x0000, false, 0x0409, 0x0413, 1252},
     0x0413},
    {"95/98 without a version language: the system's default",
     {false, 0, false, 0, true, 0x0410, 0x0409, 1252},
     0x0410},
    {"NT 4.0 without a version language: the user's default",
     {false, 0, false, 0, false, 0x0409, 0x0413, 1252},
     0x0413},
    {"NT 4.0: not the system's",
     {false, 0, false, 0, false, 0x041D, 0x0409, 1252},
     0x0409},
    {"Swedish", {true, 0x041D, false, 0, false, 0x041D, 0x041D, 1252}, 0x041D},
    {"Spanish, traditional sort",
     {true, 0x040A, false, 0, false, 0x040A, 0x040A, 1252},
     0x0C0A},
    {"Mexican Spanish",
     {true, 0x080A, false, 0, false, 0x080A, 0x080A, 1252},
     0x0C0A},
    {"Swiss German",
     {true, 0x0807, false, 0, false, 0x0807, 0x0807, 1252},
     0x0407},
    {"Belgian French",
     {true, 0x080C, false, 0, false, 0x080C, 0x080C, 1252},
     0x040C},
    {"Japanese on a Japanese system",
     {true, 0x0411, false, 0, false, 0x0411, 0x0411, 932},
     0x0411},
    {"Japanese 95", {false, 0, false, 0, true, 0x0411, 0x0411, 932}, 0x0411},
    {"Japanese on a Western system",
     {true, 0x0411, false, 0, false, 0x0409, 0x0409, 1252},
     0x0409},
    {"German on a Japanese system",
     {true, 0x0407, false, 0, false, 0x0411, 0x0411, 932},
     0x0409},
    {"German on a Central European system",
     {false, 0, false, 0, true, 0x0407, 0x0407, 1250},
     0x0409},
    {"British English",
     {true, 0x0809, false, 0, false, 0x0809, 0x0809, 1252},
     0x0409},
    {"Portuguese: no translation",
     {true, 0x0416, false, 0, false, 0x0416, 0x0416, 1252},
     0x0409},
    {"Chinese: no translation",
     {false, 0, false, 0, true, 0x0804, 0x0804, 936},
     0x0409},
    {"neutral", {true, 0x0000, false, 0, false, 0, 0, 1252}, 0x0409},
};

TEST(DialogLanguage, TheLanguageShownIfTranslatedAndShowable) {
  for (const LanguageCase &c : kLanguageCases)
    EXPECT_EQ(c.expected, DialogLanguage(c.facts)) << c.what;
}

// A node of a version resource as the resource compiler writes it: its
// length, value length and type, the UTF-16 key, then the value and each
// child, each at a 32-bit boundary.
std::vector<uint8_t> Node(const std::u16string &key,
                          const std::vector<uint8_t> &value,
                          const std::vector<std::vector<uint8_t>> &children) {
  std::vector<uint8_t> out(6, 0);
  out[2] = static_cast<uint8_t>(value.size());
  for (char16_t u : key + u'\0') {
    out.push_back(u & 0xFF);
    out.push_back(u >> 8);
  }
  auto pad = [&] { out.resize((out.size() + 3) & ~size_t(3)); };
  pad();
  out.insert(out.end(), value.begin(), value.end());
  for (const std::vector<uint8_t> &child : children) {
    pad();
    out.insert(out.end(), child.begin(), child.end());
  }
  out[0] = out.size() & 0xFF;
  out[1] = static_cast<uint8_t>(out.size() >> 8);
  return out;
}

TEST(VersionLanguage, TheFirstTranslationsLanguage) {
  const std::vector<uint8_t> fixed(52, 0xEE);
  const auto strings = Node(u"StringFileInfo", {}, {Node(u"040704E4", {}, {})});
  // German in code page 1252, then English.
  const auto translation = Node(
      u"Translation", {0x07, 0x04, 0xE4, 0x04, 0x09, 0x04, 0xE4, 0x04}, {});
  const auto block = Node(u"VS_VERSION_INFO", fixed,
                          {strings, Node(u"VarFileInfo", {}, {translation})});
  uint16_t language = 0;
  ASSERT_TRUE(VersionLanguage(block.data(), block.size(), &language));
  EXPECT_EQ(0x0407, language);
  // Cut short, and a key that only begins with Translation.
  EXPECT_FALSE(VersionLanguage(block.data(), block.size() - 6, &language));
  const auto other = Node(
      u"VS_VERSION_INFO", fixed,
      {Node(u"VarFileInfo", {}, {Node(u"TranslationX", {1, 2, 3, 4}, {})})});
  EXPECT_FALSE(VersionLanguage(other.data(), other.size(), &language));
}

// A block as the resource compiler writes it: 16 counted UTF-16 strings.
std::vector<uint8_t> Block(const std::vector<std::u16string> &texts) {
  std::vector<uint8_t> out;
  for (const std::u16string &t : texts) {
    out.push_back(t.size() & 0xFF);
    out.push_back(t.size() >> 8);
    for (char16_t u : t) {
      out.push_back(u & 0xFF);
      out.push_back(u >> 8);
    }
  }
  return out;
}

TEST(StringBlockEntry, FindsEachEntryAndRefusesAShortBlock) {
  std::vector<std::u16string> texts(16);
  texts[2] = u"Rand";
  texts[3] = u"\u6c34\u5e73";
  texts[15] = u"x";
  const std::vector<uint8_t> block = Block(texts);
  const uint8_t *text = nullptr;
  size_t units = 99;
  ASSERT_TRUE(StringBlockEntry(block.data(), block.size(), 2, &text, &units));
  EXPECT_EQ(4u, units);
  EXPECT_EQ('R', text[0]);
  EXPECT_EQ('d', text[6]);
  ASSERT_TRUE(StringBlockEntry(block.data(), block.size(), 3, &text, &units));
  EXPECT_EQ(2u, units);
  EXPECT_EQ(0x5e73, text[2] | (text[3] << 8));
  ASSERT_TRUE(StringBlockEntry(block.data(), block.size(), 0, &text, &units));
  EXPECT_EQ(0u, units);
  ASSERT_TRUE(StringBlockEntry(block.data(), block.size(), 15, &text, &units));
  EXPECT_EQ(1u, units);
  EXPECT_FALSE(StringBlockEntry(block.data(), block.size(), 16, &text, &units));
  // Cut inside the last string, inside its count, and before it.
  for (size_t cut : {block.size() - 1, block.size() - 3, block.size() - 4})
    EXPECT_FALSE(StringBlockEntry(block.data(), cut, 15, &text, &units))
        << "cut at " << cut;
  EXPECT_FALSE(StringBlockEntry(nullptr, 0, 0, &text, &units));
}

TEST(StringBlockId, SixteenStringsABlockCountedFromOne) {
  EXPECT_EQ(9u, StringBlockId(128));
  EXPECT_EQ(10u, StringBlockId(146));
  EXPECT_EQ(258u, StringBlockId(4112));
  EXPECT_EQ(258u, StringBlockId(4127));
}

} // namespace
