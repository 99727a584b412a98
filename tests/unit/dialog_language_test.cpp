#include "dialog/dialog_language.h"
#include "dialog/string_block.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct LanguageCase {
  const char *what;
  LanguageFacts facts;
  uint16_t expected;
};

// hasUiLanguage, uiLanguage, isWindows9x, systemLanguage, userLanguage, ACP
const LanguageCase kLanguageCases[] = {
    {"2000/XP: the user's UI language",
     {true, 0x0407, false, 0x0409, 0x0409, 1252},
     0x0407},
    {"ME: the UI language over the system's",
     {true, 0x040C, true, 0x0409, 0x0409, 1252},
     0x040C},
    {"95/98: the system's default language",
     {false, 0, true, 0x0410, 0x0409, 1252},
     0x0410},
    {"NT 4.0: the user's default language",
     {false, 0, false, 0x0409, 0x0413, 1252},
     0x0413},
    {"NT 4.0: not the system's",
     {false, 0, false, 0x041D, 0x0409, 1252},
     0x0409},
    {"Swedish", {true, 0x041D, false, 0x041D, 0x041D, 1252}, 0x041D},
    {"Spanish, traditional sort",
     {true, 0x040A, false, 0x040A, 0x040A, 1252},
     0x0C0A},
    {"Mexican Spanish", {true, 0x080A, false, 0x080A, 0x080A, 1252}, 0x0C0A},
    {"Swiss German", {true, 0x0807, false, 0x0807, 0x0807, 1252}, 0x0407},
    {"Belgian French", {true, 0x080C, false, 0x080C, 0x080C, 1252}, 0x040C},
    {"Japanese on a Japanese system",
     {true, 0x0411, false, 0x0411, 0x0411, 932},
     0x0411},
    {"Japanese 95", {false, 0, true, 0x0411, 0x0411, 932}, 0x0411},
    {"Japanese on a Western system",
     {true, 0x0411, false, 0x0409, 0x0409, 1252},
     0x0409},
    {"German on a Japanese system",
     {true, 0x0407, false, 0x0411, 0x0411, 932},
     0x0409},
    {"German on a Central European system",
     {false, 0, true, 0x0407, 0x0407, 1250},
     0x0409},
    {"British English", {true, 0x0809, false, 0x0809, 0x0809, 1252}, 0x0409},
    {"Portuguese: no translation",
     {true, 0x0416, false, 0x0416, 0x0416, 1252},
     0x0409},
    {"Chinese: no translation", {false, 0, true, 0x0804, 0x0804, 936}, 0x0409},
    {"neutral", {true, 0x0000, false, 0, 0, 1252}, 0x0409},
};

TEST(DialogLanguage, TheLanguageShownIfTranslatedAndShowable) {
  for (const LanguageCase &c : kLanguageCases)
    EXPECT_EQ(c.expected, DialogLanguage(c.facts)) << c.what;
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
