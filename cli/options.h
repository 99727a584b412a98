// The option machinery of both command lines, orbitrace-render's and the
// stand-in host's: one table of options each, read by one parser and
// written by one usage writer.
#pragma once

#include <string>
#include <vector>

// One option, as the parser and the usage know it. A program's own table
// holds one of these in each row beside the row's handler.
struct Option {
  const char *name; // without the leading "--"
  // Its value as the usage writes it; null or "" when it shows none. The
  // next argument (or "=VALUE") is the value unless this is in brackets,
  // "[VERSION]": an optional argument the program looks at itself.
  const char *value;
  const char *help; // its usage lines, '\n' between them
};

// What an argument is, beside an option's place in the table.
enum : int { kOperand = -1, kUnknownOption = -2 };

// One argument as given, in order.
struct Argument {
  int option;        // the option's index in the table, or kOperand, or
                     // kUnknownOption
  std::string text;  // an operand, or an unknown option as written
  const char *value; // the option's value; null when it takes none or it
                     // was not given
};

// How strictly options are read.
enum class Spelling {
  // getopt_long's ways: a name may be shortened while it is still one
  // option's, "--name=VALUE" is its value, "-h" is --help.
  kLoose,
  // Only whole names; any other word starting with "--" is unknown, and a
  // word with one '-' is an operand.
  kWhole
};

// `argv` read against `options`; argv[0] is the program's name.
std::vector<Argument> ReadArguments(int argc, const char *const *argv,
                                    const std::vector<Option> &options,
                                    Spelling spelling);

// "unknown option 'TYPED'", with the nearest option when one is near.
std::string UnknownOption(const std::string &typed,
                          const std::vector<Option> &options);

// "WHAT 'TYPED'", with the nearest of `names` when one is near.
std::string WithSuggestion(const std::string &what, const std::string &typed,
                           const std::vector<const char *> &names);

// The text a program writes before a wrong argument's message and the way
// to its usage: "PROGRAM: MESSAGE\nTry 'PROGRAM --help'.\n".
std::string UsageError(const char *program, const std::string &message);

// A program's usage: its synopsis, its options under their headings and its
// exit statuses.
struct UsageLayout {
  const char *synopsis; // the lines before the options, ending in a blank one
  size_t column;        // where the options' help begins
  struct Heading {
    const char *option; // the option the text goes before
    const char *text;
  };
  std::vector<Heading> headings;
  const char *after; // after the options, before the exit statuses
  std::vector<int> statuses;
};

std::string UsageText(const UsageLayout &usage,
                      const std::vector<Option> &options);

// The Option of each row of a program's table.
template <class Row, size_t N>
std::vector<Option> OptionsOf(const Row (&rows)[N]) {
  std::vector<Option> options;
  for (const Row &row : rows)
    options.push_back(row.option);
  return options;
}
