// How the visit export is to be read: what the command line may say about
// the file's columns, separator, character set and dates, and which
// patients to report. Each option's value is parsed by a small function of
// its own, so that any command-line code only maps option names to them.
#pragma once

#include <string>
#include <vector>

enum class TextEncoding {
  kDetect,
  kUtf8,
  kUtf16Le,
  kUtf16Be,
  kWindows1252,
  kMacRoman,
  kCp850,
  kCp437,
  kWindows1250,
  kWindows1251,
  kWindows1253,
  kWindows1254,
  kWindows1255,
  kWindows1256,
  kWindows1257,
  kWindows1258,
  kCp852,
  kCp866,
  kMacCentralEurope,
  kMacCyrillic
};

// The character set's name as iconv gives it ("windows-1252", "macintosh",
// "cp850"), and what users call it ("Windows ANSI", "Mac Roman", "DOS"; ""
// for the Unicode ones).
const char *EncodingName(TextEncoding encoding);
const char *EncodingCommonName(TextEncoding encoding);

// The order of day and month in dates written with slashes.
enum class DateOrder { kFromFile, kDayFirst, kMonthFirst };

// The columns the report reads, in this order everywhere: the four every
// file has (the values perhaps as four columns of their own instead), then
// those it may have. With an ID column the patient column is the name and
// the ID tells patients apart; with a name column the patient column is
// the ID and the name is what the report shows.
enum {
  kPatientRole,
  kEyeRole,
  kDateRole,
  kValuesRole,
  kRoleCount, // the four every file names
  kIdRole = kRoleCount,
  kNameRole,
  kHorizontalRole, // the values, one column each
  kVerticalRole,
  kLocationRole,
  kRimRole,
  kNoteRole, // kept with its visit, never a reason to leave a row out
  // The database's own ID of the row's record: what the health records
  // know a visit by, whatever of it is corrected later.
  kRecordRole,
  kAllRoles
};
extern const char *const kRoleNames[kAllRoles];

struct ReadSettings {
  // --columns: the roles of a header-less file's columns in order, -1 for
  // a column left out. Empty when not given.
  std::vector<int> columns;
  // --column ROLE=NAME: the header's name for each role. An empty ID is
  // found from the common names (see kIdHeaders), "none" is no ID column;
  // an empty name is no name column.
  std::string headerNames[kAllRoles] = {
      "patient",    "eye",      "date",     "values", "",     "",
      "horizontal", "vertical", "location", "rim",    "note", "record"};
  char separator = 0; // 0: found from the first line
  TextEncoding encoding = TextEncoding::kDetect;
  DateOrder dateOrder = DateOrder::kFromFile;
  std::vector<std::string> patients; // --patient; empty for every patient
  // The last day a visit can be on (days, see visit_date.h); 0 for the day
  // of the run.
  int lastDay = 0;
};

// The headers an ID column is found by, compared without regard to case,
// blanks, dots, dashes and underscores ("Patient-ID", "Nr.").
extern const char *const kIdHeaders[];
extern const int kIdHeaderCount;

// A field or a value without the white space around it: blanks, tabs,
// vertical tabs, line breaks and no-break spaces.
std::string Trimmed(const std::string &text);

// The command line's reading options, each parsing its value into the
// settings; false with the reason when it is not one.
// "--columns patient,eye,date,values,note": patient, eye, date and values
// (or horizontal, vertical, location and rim) once each, id, name and note
// at most once, any other name a column left out.
bool ParseColumnsOption(const std::string &value, ReadSettings *settings,
                        std::string *error);
// "--column patient=PatientID": the header names a role otherwise; also
// id=NAME (the ID column, or none) and name=NAME (the patient's name when
// the patient column is an ID), note=NAME (the visit's note), and
// horizontal, vertical, location and rim for values in four columns.
bool ParseColumnOption(const std::string &value, ReadSettings *settings,
                       std::string *error);
// "--separator comma|semicolon|tab" or the character itself.
bool ParseSeparatorOption(const std::string &value, ReadSettings *settings,
                          std::string *error);
// "--encoding NAME": the names iconv knows the character sets by (utf-8,
// utf-16le, utf-16be, windows-1250 to windows-1258 or cp1250 to cp1258,
// macintosh, mac-centraleurope, mac-cyrillic, cp850, cp437, cp852 and
// cp866 or ibm...) and ansi, mac and dos (CP850).
bool ParseEncodingOption(const std::string &value, ReadSettings *settings,
                         std::string *error);
// "--date-order dmy|mdy".
bool ParseDateOrderOption(const std::string &value, ReadSettings *settings,
                          std::string *error);
// "--patient ID", repeatable.
bool ParsePatientOption(const std::string &value, ReadSettings *settings,
                        std::string *error);
