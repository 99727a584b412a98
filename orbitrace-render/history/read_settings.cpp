#include "orbitrace-render/history/read_settings.h"

#include <strings.h>

const char *const kRoleNames[kRoleCount] = {"patient", "eye", "date", "values"};

std::string Trimmed(const std::string &text) {
  const std::string::size_type first = text.find_first_not_of(" \t");
  if (first == std::string::npos)
    return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

namespace {

int RoleNamed(const std::string &name) {
  for (int role = 0; role < kRoleCount; ++role)
    if (strcasecmp(name.c_str(), kRoleNames[role]) == 0)
      return role;
  return -1;
}

} // namespace

bool ParseColumnsOption(const std::string &value, ReadSettings *settings,
                        std::string *error) {
  std::vector<int> columns;
  bool named[kRoleCount] = {};
  for (size_t at = 0; at <= value.size();) {
    size_t comma = value.find(',', at);
    if (comma == std::string::npos)
      comma = value.size();
    const int role = RoleNamed(Trimmed(value.substr(at, comma - at)));
    if (role >= 0) {
      if (named[role]) {
        *error = std::string("\"") + kRoleNames[role] + "\" is named twice";
        return false;
      }
      named[role] = true;
    }
    columns.push_back(role);
    at = comma + 1;
  }
  for (int role = 0; role < kRoleCount; ++role) {
    if (!named[role]) {
      *error = std::string("no column \"") + kRoleNames[role] +
               "\" (name patient, eye, date and values in the file's order, "
               "e.g. patient,eye,date,values,note)";
      return false;
    }
  }
  settings->columns = columns;
  return true;
}

bool ParseColumnOption(const std::string &value, ReadSettings *settings,
                       std::string *error) {
  const std::string::size_type equals = value.find('=');
  const int role = equals == std::string::npos
                       ? -1
                       : RoleNamed(Trimmed(value.substr(0, equals)));
  const std::string name =
      equals == std::string::npos ? "" : Trimmed(value.substr(equals + 1));
  if (role < 0 || name.empty()) {
    *error = "\"" + value +
             "\" is not ROLE=NAME, where ROLE is patient, eye, date or values "
             "and NAME the header's name for it (e.g. patient=PatientID)";
    return false;
  }
  settings->headerNames[role] = name;
  return true;
}

bool ParseSeparatorOption(const std::string &value, ReadSettings *settings,
                          std::string *error) {
  const struct {
    const char *name;
    char separator;
  } kSeparators[] = {{"comma", ','}, {",", ','},    {"semicolon", ';'},
                     {";", ';'},     {"tab", '\t'}, {"\t", '\t'}};
  for (const auto &s : kSeparators) {
    if (strcasecmp(value.c_str(), s.name) == 0) {
      settings->separator = s.separator;
      return true;
    }
  }
  *error = "\"" + value + "\" is not comma, semicolon or tab";
  return false;
}

bool ParseEncodingOption(const std::string &value, ReadSettings *settings,
                         std::string *error) {
  const struct {
    const char *name;
    TextEncoding encoding;
  } kEncodings[] = {{"utf-8", TextEncoding::kUtf8},
                    {"utf8", TextEncoding::kUtf8},
                    {"utf-16le", TextEncoding::kUtf16Le},
                    {"utf-16be", TextEncoding::kUtf16Be},
                    {"windows-1252", TextEncoding::kWindows1252},
                    {"cp1252", TextEncoding::kWindows1252}};
  for (const auto &e : kEncodings) {
    if (strcasecmp(value.c_str(), e.name) == 0) {
      settings->encoding = e.encoding;
      return true;
    }
  }
  *error = "\"" + value + "\" is not utf-8, utf-16le, utf-16be or windows-1252";
  return false;
}

bool ParseDateOrderOption(const std::string &value, ReadSettings *settings,
                          std::string *error) {
  if (strcasecmp(value.c_str(), "dmy") == 0)
    settings->dateOrder = DateOrder::kDayFirst;
  else if (strcasecmp(value.c_str(), "mdy") == 0)
    settings->dateOrder = DateOrder::kMonthFirst;
  else {
    *error = "\"" + value + "\" is not dmy (day first) or mdy (month first)";
    return false;
  }
  return true;
}

bool ParsePatientOption(const std::string &value, ReadSettings *settings,
                        std::string *error) {
  const std::string id = Trimmed(value);
  if (id.empty()) {
    *error = "the patient's ID is empty";
    return false;
  }
  settings->patients.push_back(id);
  return true;
}
