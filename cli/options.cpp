#include "cli/options.h"

#include "cli/edit_distance.h"
#include "cli/exit_status.h"

#include <getopt.h>
#include <string.h>

namespace {

// getopt_long's value for an option: past every character, so that a short
// option's character means that short option.
const int kLongBase = 256;

bool TakesValue(const Option &o) {
  return o.value && *o.value && *o.value != '[';
}

bool IsWholeName(const std::string &word, const std::vector<Option> &options) {
  for (const Option &o : options)
    if (word == std::string("--") + o.name)
      return true;
  return false;
}

// `text` with every line after the first indented to `column`.
std::string Indented(const char *text, size_t column) {
  std::string lines;
  for (const char *c = text; *c; ++c)
    lines += *c == '\n' ? "\n" + std::string(column, ' ') : std::string(1, *c);
  return lines;
}

} // namespace

// Options and operands in the order given ('-': operands come back as 1, so
// the arguments are neither moved nor written, whatever getopt_long's type
// says; ':': a missing value comes back as ':').
std::vector<Argument> ReadArguments(int argc, const char *const *argv,
                                    const std::vector<Option> &options,
                                    Spelling spelling) {
  std::vector<option> longOptions;
  for (size_t id = 0; id < options.size(); ++id)
    longOptions.push_back(
        {options[id].name,
         TakesValue(options[id]) ? required_argument : no_argument, nullptr,
         kLongBase + int(id)});
  longOptions.push_back({nullptr, 0, nullptr, 0});
  int help = kUnknownOption;
  for (size_t id = 0; id < options.size(); ++id)
    if (strcmp(options[id].name, "help") == 0)
      help = int(id);

  std::vector<char *> args;
  for (int i = 0; i < argc; ++i)
    args.push_back(const_cast<char *>(argv[i]));
  args.push_back(nullptr);
  std::vector<Argument> given;
  // What getopt_long returned, as an argument of `words`.
  const auto record = [&](int c, char *const *words) {
    if (c == 1)
      given.push_back({kOperand, optarg, nullptr});
    else if (c == 'h')
      given.push_back({help, "-h", nullptr});
    else if (c >= kLongBase)
      given.push_back({c - kLongBase, "", optarg});
    else if (c == ':')
      given.push_back({optopt - kLongBase, "", nullptr});
    else if (optopt > 0 && optopt < kLongBase)
      given.push_back(
          {kUnknownOption, std::string("-") + char(optopt), nullptr});
    else
      given.push_back({kUnknownOption, words[optind - 1], nullptr});
  };
  opterr = 0;
  if (spelling == Spelling::kWhole) {
    // getopt_long sees a word only when it is a whole option's name, with
    // the word after it, which it takes when it is the option's value.
    for (int i = 1; i < argc;) {
      const std::string word = argv[i];
      if (word.compare(0, 2, "--") != 0 || !IsWholeName(word, options)) {
        given.push_back(
            {word.compare(0, 2, "--") == 0 ? kUnknownOption : kOperand, word,
             nullptr});
        ++i;
        continue;
      }
      char *words[] = {args[0], args[i], args[i + 1], nullptr};
      optind = 0;
      record(getopt_long(args[i + 1] ? 3 : 2, words, "-:", longOptions.data(),
                         nullptr),
             words);
      i += optind - 1;
    }
    return given;
  }
  optind = 0; // starts afresh, as a program's main may run more than once
  for (int c; (c = getopt_long(argc, args.data(), "-:h", longOptions.data(),
                               nullptr)) != -1;)
    record(c, args.data());
  for (int i = optind; i < argc; ++i)
    given.push_back({kOperand, argv[i], nullptr});
  return given;
}

std::string WithSuggestion(const std::string &what, const std::string &typed,
                           const std::vector<const char *> &names) {
  std::string text = what + " '" + typed + "'";
  if (const char *nearest = ClosestName(typed.c_str(), names))
    text += std::string(", did you mean '") + nearest + "'?";
  return text;
}

std::string UnknownOption(const std::string &typed,
                          const std::vector<Option> &options) {
  if (typed.compare(0, 2, "--") != 0)
    return "unknown option '" + typed + "'";
  std::vector<std::string> names;
  for (const Option &o : options)
    names.push_back(std::string("--") + o.name);
  std::vector<const char *> pointers;
  for (const std::string &name : names)
    pointers.push_back(name.c_str());
  return WithSuggestion("unknown option", typed, pointers);
}

std::string UsageError(const char *program, const std::string &message) {
  return std::string(program) + ": " + message + "\nTry '" + program +
         " --help'.\n";
}

std::string UsageText(const UsageLayout &usage,
                      const std::vector<Option> &options) {
  std::string text = usage.synopsis;
  for (const Option &o : options) {
    for (const UsageLayout::Heading &h : usage.headings)
      if (strcmp(h.option, o.name) == 0)
        text += h.text;
    std::string line = std::string("  --") + o.name;
    if (o.value && *o.value)
      line += std::string(" ") + o.value;
    if (*o.help)
      line += line.size() < usage.column
                  ? std::string(usage.column - line.size(), ' ')
                  : "\n" + std::string(usage.column, ' ');
    text += line + Indented(o.help, usage.column) + "\n";
  }
  text += usage.after;
  text += "\nExit status:\n";
  for (int status : usage.statuses)
    text += "  " + std::to_string(status) + "  " +
            Indented(ExitStatusMeaning(status), 5) + "\n";
  return text;
}
