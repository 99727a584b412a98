#include "cli/integer.h"
#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::vector<Option> kTable = {{"list", "", "list\nthem"},
                                    {"init", "[VERSION]", "init"},
                                    {"size", "WxH", "size"},
                                    {"help", nullptr, ""}};

// The arguments read, one word each: an option's name with its value after
// '=', "?" and the text of an unknown one, an operand as it is.
std::string Read(std::vector<const char *> args, Spelling spelling) {
  args.insert(args.begin(), "prog");
  std::string read;
  for (const Argument &a :
       ReadArguments(int(args.size()), args.data(), kTable, spelling)) {
    if (a.option == kOperand)
      read += a.text;
    else if (a.option == kUnknownOption)
      read += "?" + a.text;
    else
      read += kTable[a.option].name +
              (a.value ? std::string("=") + a.value : std::string());
    read += " ";
  }
  return read;
}

TEST(ReadArguments, TakesOptionsAndOperandsInOrderAsEachSpellingAllows) {
  const struct {
    std::vector<const char *> args;
    Spelling spelling;
    const char *read;
  } cases[] = {
      {{"a", "--list", "b", "--size", "2x3", "c"},
       Spelling::kLoose,
       "a list b size=2x3 c "},
      {{"--siz=2x3", "--li", "-h", "--", "--list"},
       Spelling::kLoose,
       "size=2x3 list help --list "},
      {{"-x", "--lost", "--size"}, Spelling::kLoose, "?-x ?--lost size "},
      // Whole names only; a word with one '-' is an operand, the value of
      // an option the word after it whatever it is.
      {{"a", "--list", "-1", "--size", "--list", "b"},
       Spelling::kWhole,
       "a list -1 size=--list b "},
      {{"--li", "--size=2x3", "-h", "--", "--init", "-5", "--size"},
       Spelling::kWhole,
       "?--li ?--size=2x3 -h ?-- init -5 size "},
  };
  for (const auto &c : cases)
    EXPECT_EQ(c.read, Read(c.args, c.spelling));
}

TEST(UsageText, WritesTheSynopsisHeadingsOptionsAndExitStatuses) {
  const UsageLayout usage = {
      "usage: prog\n\n", 12, {{"size", "Sizes:\n"}}, "after\n", {0, 2}};
  EXPECT_EQ("usage: prog\n\n"
            "  --list    list\n"
            "            them\n"
            "  --init [VERSION]\n"
            "            init\n"
            "Sizes:\n"
            "  --size WxH\n"
            "            size\n"
            "  --help\n"
            "after\n"
            "\n"
            "Exit status:\n"
            "  0  all of it done\n"
            "  2  bad arguments; the message says which\n",
            UsageText(usage, kTable));
  EXPECT_EQ("unknown option '--lsit', did you mean '--list'?",
            UnknownOption("--lsit", kTable));
  EXPECT_EQ("unknown option '-l'", UnknownOption("-l", kTable));
}

TEST(ParseInteger, TakesWholeNumbersInRangeAndLeavesTheValueOtherwise) {
  const struct {
    const char *text;
    bool taken;
    long value;
  } cases[] = {{"5", true, 5},
               {" +7", true, 7},
               {"-3", true, -3},
               {"10", true, 10},
               {"11", false, 0},
               {"-4", false, 0},
               {"", false, 0},
               {"5x", false, 0},
               {"x", false, 0},
               {"5 ", false, 0},
               {"99999999999999999999", false, 0}};
  for (const auto &c : cases) {
    long value = 0;
    EXPECT_EQ(c.taken, ParseInteger(c.text, -3, 10, &value)) << c.text;
    EXPECT_EQ(c.value, value) << c.text;
  }
}

TEST(ParseByteSize, TakesBytesKibAndMibFrom4KibTo4Gib) {
  const struct {
    const char *text;
    unsigned long long bytes; // 0: refused
  } cases[] = {{"4096", 4096},  {"900k", 900 * 1024},
               {"4M", 4 << 20}, {"4m", 4 << 20},
               {"4095", 0},     {"3k", 0},
               {"4097M", 0},    {"-4M", 0},
               {"+4M", 0},      {"4MB", 0},
               {"k", 0},        {"", 0},
               {" 4M", 0},      {"4096M", 4ull << 30}};
  for (const auto &c : cases) {
    unsigned long long bytes = 0;
    EXPECT_EQ(c.bytes != 0, ParseByteSize(c.text, &bytes)) << c.text;
    EXPECT_EQ(c.bytes, bytes) << c.text;
  }
}

} // namespace
