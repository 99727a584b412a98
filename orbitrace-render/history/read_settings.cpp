#include "orbitrace-render/history/read_settings.h"

#include <string.h>
#include <strings.h>

#include <vector>

const char *const kRoleNames[kAllRoles] = {
    "patient",    "eye",      "date",     "values", "id",   "name",
    "horizontal", "vertical", "location", "rim",    "note", "record"};

// In the order that wins when a header has more than one.
const char *const kIdHeaders[] = {
    "patientid", "patid", "patientnr", "patnr", "patientno", "patno",  "pid",
    "mrn",       "id",    "nr",        "no",    "number",    "nummer", "num"};
const int kIdHeaderCount = sizeof kIdHeaders / sizeof kIdHeaders[0];

namespace {

// The length of the white space at `at` (forwards) or ending at `end`
// (backwards), 0 for none: ASCII blanks and the UTF-8 of U+00A0, U+2007
// and U+202F, the no-break spaces.
size_t SpaceAt(const std::string &text, size_t at, bool backwards) {
  static const char *const kSpaces[] = {" ",  "\t",           "\v",
                                        "\r", "\n",           "\xC2\xA0",
                                        "\f", "\xE2\x80\xAF", "\xE2\x80\x87"};
  for (const char *space : kSpaces) {
    const size_t n = strlen(space);
    if (backwards ? at >= n && text.compare(at - n, n, space) == 0
                  : text.compare(at, n, space) == 0)
      return n;
  }
  return 0;
}

} // namespace

std::string Trimmed(const std::string &text) {
  size_t first = 0, end = text.size();
  for (size_t n; first < end && (n = SpaceAt(text, first, false)) > 0;)
    first += n;
  for (size_t n; end > first && (n = SpaceAt(text, end, true)) > 0;)
    end -= n;
  return text.substr(first, end - first);
}

namespace {

// The character sets by their iconv names and what users call them.
const struct {
  TextEncoding encoding;
  const char *name, *common;
} kEncodingNames[] = {
    {TextEncoding::kUtf8, "utf-8", ""},
    {TextEncoding::kUtf16Le, "utf-16le", ""},
    {TextEncoding::kUtf16Be, "utf-16be", ""},
    {TextEncoding::kWindows1252, "windows-1252", "Windows ANSI"},
    {TextEncoding::kMacRoman, "macintosh", "Mac Roman"},
    {TextEncoding::kCp850, "cp850", "DOS"},
    {TextEncoding::kCp437, "cp437", "DOS"},
    {TextEncoding::kWindows1250, "windows-1250", "Windows Central European"},
    {TextEncoding::kWindows1251, "windows-1251", "Windows Cyrillic"},
    {TextEncoding::kWindows1253, "windows-1253", "Windows Greek"},
    {TextEncoding::kWindows1254, "windows-1254", "Windows Turkish"},
    {TextEncoding::kWindows1255, "windows-1255", "Windows Hebrew"},
    {TextEncoding::kWindows1256, "windows-1256", "Windows Arabic"},
    {TextEncoding::kWindows1257, "windows-1257", "Windows Baltic"},
    {TextEncoding::kWindows1258, "windows-1258", "Windows Vietnamese"},
    {TextEncoding::kCp852, "cp852", "DOS Central European"},
    {TextEncoding::kCp866, "cp866", "DOS Cyrillic"},
    {TextEncoding::kMacCentralEurope, "mac-centraleurope",
     "Mac Central European"},
    {TextEncoding::kMacCyrillic, "mac-cyrillic", "Mac Cyrillic"},
};

} // namespace

const char *EncodingName(TextEncoding encoding) {
  for (const auto &e : kEncodingNames)
    if (e.encoding == encoding)
      return e.name;
  return "utf-8";
}

const char *EncodingCommonName(TextEncoding encoding) {
  for (const auto &e : kEncodingNames)
    if (e.encoding == encoding)
      return e.common;
  return "";
}

namespace {

int RoleNamed(const std::string &name) {
  for (int role = 0; role < kAllRoles; ++role)
    if (strcasecmp(name.c_str(), kRoleNames[role]) == 0)
      return role;
  return -1;
}

} // namespace

bool ParseColumnsOption(const std::string &value, ReadSettings *settings,
                        std::string *error) {
  std::vector<int> columns;
  bool named[kAllRoles] = {};
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
  // The values in one column, or in four.
  const bool four = named[kHorizontalRole] || named[kVerticalRole] ||
                    named[kLocationRole] || named[kRimRole];
  for (int role = 0; role < kAllRoles; ++role) {
    const bool needed =
        role < kRoleCount ? role != kValuesRole || !four
                          : four && role >= kHorizontalRole && role <= kRimRole;
    if (needed && !named[role]) {
      *error = std::string("no column \"") + kRoleNames[role] +
               "\" (name patient, eye, date and values in the file's order, "
               "e.g. patient,eye,date,values,note; or horizontal, vertical, "
               "location and rim for values in four columns)";
      return false;
    }
  }
  if (four && named[kValuesRole]) {
    *error = "\"values\" and the four values' own columns are both named";
    return false;
  }
  if (named[kIdRole] && named[kNameRole]) {
    *error = "\"id\" and \"name\" are both named: with an ID column the "
             "patient column is the name, with a name column it is the ID";
    return false;
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
             "\" is not ROLE=NAME, where ROLE is patient, eye, date, values, "
             "id, name, horizontal, vertical, location, rim or note and NAME "
             "the "
             "header's name for it (e.g. patient=PatientID)";
    return false;
  }
  const int other = role == kIdRole     ? kNameRole
                    : role == kNameRole ? kIdRole
                                        : -1;
  if (other >= 0 && !settings->headerNames[other].empty() &&
      !(other == kIdRole && settings->headerNames[other] == "none")) {
    *error = "--column id and --column name are both given: with an ID "
             "column the patient column is the name, with a name column it "
             "is the ID";
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
  // Other names than the iconv ones above.
  const struct {
    const char *name;
    TextEncoding encoding;
  } kOtherNames[] = {{"utf8", TextEncoding::kUtf8},
                     {"ansi", TextEncoding::kWindows1252},
                     {"mac", TextEncoding::kMacRoman},
                     {"macroman", TextEncoding::kMacRoman},
                     {"maccentraleurope", TextEncoding::kMacCentralEurope},
                     {"maccyrillic", TextEncoding::kMacCyrillic},
                     {"dos", TextEncoding::kCp850}};
  for (const auto &e : kOtherNames) {
    if (strcasecmp(value.c_str(), e.name) == 0) {
      settings->encoding = e.encoding;
      return true;
    }
  }
  // Windows code pages also as "cp1252", the others as "ibm850" or "850".
  for (const auto &e : kEncodingNames) {
    const std::string iconv = e.name;
    std::vector<std::string> names{iconv};
    if (iconv.compare(0, 8, "windows-") == 0)
      names.push_back("cp" + iconv.substr(8));
    if (iconv.compare(0, 2, "cp") == 0) {
      names.push_back("ibm" + iconv.substr(2));
      names.push_back(iconv.substr(2));
    }
    for (const std::string &name : names) {
      if (strcasecmp(value.c_str(), name.c_str()) == 0) {
        settings->encoding = e.encoding;
        return true;
      }
    }
  }
  *error = "\"" + value +
           "\" is not utf-8, utf-16le, utf-16be, windows-1250 to "
           "windows-1258 (windows-1252: ansi), macintosh (mac), "
           "mac-centraleurope, mac-cyrillic, cp850 (dos), cp437, cp852 or "
           "cp866";
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
