// The visit export as read: CSV records with their lines, the columns, the
// checks of a row, and dates; then the whole reader on each quirk of the
// host's export formats.
#include "orbitrace-render/fhir/fhir_export.h"
#include "orbitrace-render/history/csv_records.h"
#include "orbitrace-render/history/letter_languages.h"
#include "orbitrace-render/history/report_text.h"
#include "orbitrace-render/history/visit_date.h"
#include "orbitrace-render/history/visit_row.h"
#include "orbitrace-render/history/visit_spool.h"
#include "orbitrace-render/status_printer.h"

#include <gtest/gtest.h>

#include <iconv.h>
#include <rapidjson/document.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Read {
  std::vector<CsvRecord> records;
  std::vector<std::pair<int, std::string>> errors;
};

Read ReadAll(const std::string &text) {
  std::istringstream in(text);
  Read r;
  std::string fatal;
  EXPECT_TRUE(ReadCsvRecords(
      StreamSource(in), CsvFormat(),
      [&](const CsvRecord &record) { r.records.push_back(record); },
      [&](int line, int, const std::string &reason) {
        r.errors.push_back({line, reason});
      },
      &fatal))
      << fatal;
  return r;
}

using Fields = std::vector<std::string>;

TEST(ReadCsvRecords, ReadsQuotingAndCountsLinesAsTheFileDoes) {
  const Read r = ReadAll("\xEF\xBB\xBFpatient,eye\r\n"
                         "\"Doe, Jane\",R\r\n"
                         "\r\n"
                         "\"He said \"\"no\"\"\", L \r\n"
                         "\"two\r\nlines\",R\r\n"
                         "after,L\r\n"
                         "  spaced  ,\"  kept  \"\n"
                         "last,R");
  ASSERT_EQ(7u, r.records.size());
  EXPECT_TRUE(r.errors.empty());
  const struct {
    int line;
    Fields fields;
  } expected[] = {{1, {"patient", "eye"}},
                  {2, {"Doe, Jane", "R"}},
                  {4, {"He said \"no\"", "L"}},
                  {5, {"two\r\nlines", "R"}},
                  {7, {"after", "L"}},
                  {8, {"spaced", "  kept  "}},
                  {9, {"last", "R"}}};
  for (size_t i = 0; i < r.records.size(); ++i) {
    EXPECT_EQ(expected[i].line, r.records[i].line) << "record " << i;
    EXPECT_EQ(expected[i].fields, r.records[i].fields) << "record " << i;
  }
}

TEST(ReadCsvRecords, ReportsBrokenQuotingByLineAndReadsOn) {
  const Read r = ReadAll("a,b\n"
                         "\"open\"x,1\n"
                         "\"multi\nline\" y,2\n"
                         "good,3\n"
                         "un\"quoted,4\n"
                         "fine,5\n"
                         "\"never\nclosed,6\n");
  ASSERT_EQ(4u, r.errors.size());
  EXPECT_EQ(2, r.errors[0].first);
  EXPECT_EQ(3, r.errors[1].first); // the record's first line
  EXPECT_NE(std::string::npos, r.errors[1].second.find("on line 4"));
  EXPECT_EQ(6, r.errors[2].first);
  EXPECT_EQ(8, r.errors[3].first);
  EXPECT_NE(std::string::npos, r.errors[3].second.find("not closed"));
  ASSERT_EQ(3u, r.records.size());
  EXPECT_EQ((Fields{"good", "3"}), r.records[1].fields);
  EXPECT_EQ(5, r.records[1].line);
  EXPECT_EQ(7, r.records[2].line);
}

TEST(FindColumns, TakesNamesInAnyOrderAndCaseAndRefusesMissingOrTwice) {
  VisitColumns c;
  std::string error;
  ASSERT_TRUE(FindColumns({"note", " Values", "DATE", "eye ", "Patient", "rim"},
                          &c, &error));
  EXPECT_EQ(-1, c.rim) << "the values' one column, not their four";
  EXPECT_EQ(4, c.patient);
  EXPECT_EQ(3, c.eye);
  EXPECT_EQ(2, c.date);
  EXPECT_EQ(1, c.values);
  EXPECT_FALSE(FindColumns({"patient", "eye", "values"}, &c, &error));
  EXPECT_NE(std::string::npos, error.find("no column \"date\"")) << error;
  EXPECT_FALSE(
      FindColumns({"patient", "eye", "date", "values", "Eye"}, &c, &error));
  EXPECT_NE(std::string::npos, error.find("\"eye\" twice")) << error;
}

TEST(ParseVisitRow, AcceptsAGoodRowAndNamesWhatIsWrongWithABadOne) {
  VisitColumns c;
  std::string error;
  ASSERT_TRUE(FindColumns({"patient", "eye", "date", "values"}, &c, &error));
  VisitRow row;
  RowRules rules;
  ASSERT_TRUE(ParseIsoDate("2024-03-01", &rules.lastDay));
  ASSERT_TRUE(
      ParseVisitRow({" Doe, Jane ", "left", "2024-02-29", ".35|.40|2|-.25"}, c,
                    &row, &error, rules))
      << error;
  EXPECT_EQ("Doe, Jane", row.patient);
  EXPECT_EQ(kLeftEye, row.eye);
  EXPECT_EQ("-.25", row.values.rim);
  const struct {
    Fields fields;
    const char *reason;
  } bad[] = {
      {{"A", "R", "2024-01-05"}, "no values column"},
      {{"", "R", "2024-01-05", ".35|.40|2|-.25"}, "patient is empty"},
      {{"A", "both", "2024-01-05", ".35|.40|2|-.25"}, "eye \"both\""},
      {{"A", " ", "2024-01-05", ".35|.40|2|-.25"}, "eye is empty"},
      {{"A", "R", "1899-12-31", ".35|.40|2|-.25"}, "before 1900-01-01"},
      {{"A", "R", "2024-03-02", ".35|.40|2|-.25"},
       "after the day of the run, 2024-03-01"},
      {{"A", "R", "2023-02-29", ".35|.40|2|-.25"}, "date \"2023-02-29\""},
      {{"A", "R", "2024-13-01", ".35|.40|2|-.25"}, "date"},
      {{"A", "R", "24-01-05", ".35|.40|2|-.25"}, "date"},
      {{"A", "R", "05/01/2024", ".35|.40|2|-.25"}, "date"},
      {{"A", "R", "2024-01-05T10", ".35|.40|2|-.25"}, "date"},
      {{"A", "R", "2024-01-05", ".35|.33|2|-.25"}, "vertical ratio \".33\""},
      {{"A", "R", "2024-01-05", ".35|.40|2"}, "expected 4 values"},
  };
  for (const auto &b : bad) {
    EXPECT_FALSE(ParseVisitRow(b.fields, c, &row, &error, rules)) << b.reason;
    EXPECT_NE(std::string::npos, error.find(b.reason)) << error;
  }
}

TEST(IsoDates, OrderAsTheCalendarAndReadBackAsWritten) {
  int previous = 0;
  ASSERT_TRUE(ParseIsoDate("1899-12-31", &previous));
  int count = 0;
  for (int y = 1900; y <= 2100; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= 31; ++d) {
        char text[16];
        snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
        int days;
        if (!ParseIsoDate(text, &days))
          continue;
        ++count;
        ASSERT_EQ(previous + 1, days) << text;
        ASSERT_EQ(text, FormatIsoDate(days));
        previous = days;
      }
    }
  }
  EXPECT_EQ(73414, count); // the days of 1900 to 2100
  int epoch;
  ASSERT_TRUE(ParseIsoDate("1970-01-01", &epoch));
  EXPECT_EQ(0, epoch);
}

TEST(LetterLanguages, TellWhetherOneLanguageWritesAllOfAWordsLetters) {
  const struct {
    std::vector<unsigned> letters;
    unsigned long languages; // those all of them share
  } cases[] = {
      {{0x0159, 0xE1}, kCzech},           // Dvořák
      {{0xF8, 0xE1}, 0},                  // Dvoøák: Danish and Czech
      {{0x0158, 0xC1}, kCzech},           // capitals fold
      {{0x0142, 0x0119, 'a'}, kPolish},   // Wałęsa: ASCII sides with all
      {{0xE1, 0x0144}, 0},                // Ibáńez
      {{0xE1, 0xF1}, kSpanish},           // Ibáñez
      {{0x0130, 0x015E}, kTurkish},       // İ has no small of its own here
      {{0x0150, 0xE9}, kHungarian},       // Ő
      {{0x0110, 0x0107}, kCroatian},      // Đ
      {{0x0218, 0x0103}, kRomanian},      // Ș
      {{0xFC, 0xFE}, 0},                  // Güneþ
      {{0xB3}, 0},                        // ³ is no letter
      {{0x0109}, 0},                      // ĉ is no market's
      {{0x016B}, kLithuanian | kLatvian}, // ū
      {{0xF5, 0x0161}, kEstonian},        // õ, š
  };
  for (const auto &c : cases) {
    unsigned long shared = kEveryLanguage;
    for (unsigned letter : c.letters)
      shared &= LetterLanguages(letter);
    EXPECT_EQ(c.languages, shared) << std::hex << c.letters[0];
  }
}

TEST(SingleByteCode, ReadsEveryByteAsTheCLibraryDoes) {
  const struct {
    TextEncoding encoding;
    const char *name;
  } pages[] = {{TextEncoding::kWindows1252, "WINDOWS-1252"},
               {TextEncoding::kMacRoman, "MACINTOSH"},
               {TextEncoding::kCp850, "CP850"},
               {TextEncoding::kCp437, "CP437"},
               {TextEncoding::kWindows1250, "WINDOWS-1250"},
               {TextEncoding::kWindows1251, "WINDOWS-1251"},
               {TextEncoding::kWindows1253, "WINDOWS-1253"},
               {TextEncoding::kWindows1254, "WINDOWS-1254"},
               {TextEncoding::kWindows1255, "WINDOWS-1255"},
               {TextEncoding::kWindows1256, "WINDOWS-1256"},
               {TextEncoding::kWindows1257, "WINDOWS-1257"},
               {TextEncoding::kWindows1258, "WINDOWS-1258"},
               {TextEncoding::kCp852, "CP852"},
               {TextEncoding::kCp866, "CP866"},
               {TextEncoding::kMacCentralEurope, "MAC-CENTRALEUROPE"},
               {TextEncoding::kMacCyrillic, "MAC-CYRILLIC"}};
  for (const auto &page : pages) {
    iconv_t cd = iconv_open("UTF-32LE", page.name);
    ASSERT_NE(reinterpret_cast<iconv_t>(-1), cd) << page.name;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
      char in = static_cast<char>(byte), *inAt = &in;
      unsigned char out[4] = {};
      char *outAt = reinterpret_cast<char *>(out);
      size_t inLeft = 1, outLeft = 4;
      // Windows-1255 and 1258 hold a letter back for the accent that may
      // follow: the second call gives it.
      const bool defined = iconv(cd, &inAt, &inLeft, &outAt, &outLeft) !=
                               static_cast<size_t>(-1) &&
                           iconv(cd, nullptr, nullptr, &outAt, &outLeft) !=
                               static_cast<size_t>(-1) &&
                           outLeft == 0;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      unsigned code = defined ? out[0] | out[1] << 8 | out[2] << 16 : 0;
      if (code >= 0xE000 && code <= 0xF8FF)
        continue; // private use: the Apple logo, as the makers please
      if (code == 0x0394 && page.encoding == TextEncoding::kMacRoman)
        code = 0x2206; // the maker's table: increment, not Greek delta
      EXPECT_EQ(code,
                SingleByteCode(page.encoding, static_cast<unsigned char>(byte)))
          << page.name << " byte " << byte;
    }
    iconv_close(cd);
  }
}

// The reader from bytes to visits, as the report gets them: each visit as
// "patient eye date values", patient after patient; each bad row as
// "line: reason"; or the error that stops it.
struct Spooled {
  std::string visits, problems, fatal;
  // How the file was read, as the summary says it and the command line
  // prints it when something was found from the file.
  std::string read;
  std::string fhir; // the health-record export's Observations, as visits
};

// A decimal as the lists store it: "0.40" is ".40", "-0.20" is "-.20".
std::string Stored(std::string decimal) {
  const size_t zero = decimal[0] == '-' ? 1 : 0;
  if (decimal.compare(zero, 2, "0.") == 0)
    decimal.erase(zero, 1);
  return decimal;
}

// A note as the table shows it: a run of one byte past 8 as "n*65000".
std::string ShownNote(const std::string &note) {
  std::string shown;
  for (size_t i = 0, run; i < note.size(); i += run) {
    run = note.find_first_not_of(note[i], i) - i; // npos - i: to the end
    run = std::min(run, note.size() - i);
    shown +=
        run > 8 ? note[i] + ("*" + std::to_string(run)) : note.substr(i, run);
  }
  return " note \"" + shown + "\"";
}

// The same bytes through --fhir's bulk files, without pictures: each
// Observation written back as a line of Spooled::visits, from the JSON's
// own digits, with its note; a patient identified otherwise than by its
// name shows the identifier after "#".
std::string FhirVisits(const std::string &bytes, const ReadSettings &read) {
  char dir[] = "/tmp/orbt-fhir-quirk-XXXXXX";
  if (!mkdtemp(dir))
    return "no folder";
  FhirOptions options;
  options.read = read;
  options.pictures = false;
  options.patientSystem = "urn:x";
  std::istringstream in(bytes);
  std::ostringstream quiet;
  StatusPrinter status(
      quiet, [] { return 0.0; }, false);
  MakeFhirExport(in, "quirk", std::string(dir) + "/", options, &status);
  std::map<std::string, std::string> patients; // by reference
  std::string visits;
  for (const char *file : kBulkFiles) {
    const std::string path = std::string(dir) + "/" + file;
    std::ifstream lines(path);
    for (std::string line; std::getline(lines, line);) {
      rapidjson::Document r;
      r.Parse<rapidjson::kParseNumbersAsStringsFlag>(line.c_str());
      const auto text = [](const rapidjson::Value &v) {
        return std::string(v.GetString(), v.GetStringLength());
      };
      if (r["resourceType"] == "Patient") {
        const std::string name = text(r["name"][0]["text"]),
                          id = text(r["identifier"][0]["value"]);
        patients["Patient/" + text(r["id"])] =
            name + (id == name ? "" : " #" + id);
        continue;
      }
      const rapidjson::Value &c = r["component"];
      visits +=
          patients[text(r["subject"]["reference"])] +
          (r["bodySite"]["coding"][0]["code"] == "362502000" ? " R " : " L ") +
          text(r["effectiveDateTime"]) + " " +
          Stored(text(c[0]["valueQuantity"]["value"])) + "|" +
          Stored(text(c[1]["valueQuantity"]["value"])) + "|" +
          text(c[3]["valueCodeableConcept"]["text"])
              .substr(0, text(c[3]["valueCodeableConcept"]["text"]).find(' ')) +
          "|" + Stored(text(c[2]["valueQuantity"]["value"])) +
          (r.HasMember("note") ? ShownNote(text(r["note"][0]["text"])) : "") +
          "\n";
    }
    remove(path.c_str());
  }
  rmdir(dir);
  return visits;
}

Spooled Spool(const std::string &bytes, std::vector<std::string> args) {
  ReadSettings settings;
  Spooled s;
  const struct {
    const char *name;
    bool (*parse)(const std::string &, ReadSettings *, std::string *);
  } options[] = {{"--columns", ParseColumnsOption},
                 {"--column", ParseColumnOption},
                 {"--separator", ParseSeparatorOption},
                 {"--encoding", ParseEncodingOption},
                 {"--date-order", ParseDateOrderOption},
                 {"--patient", ParsePatientOption}};
  for (size_t i = 0; i + 1 < args.size(); i += 2) {
    bool parsed = false;
    for (const auto &o : options)
      if (args[i] == o.name)
        parsed = o.parse(args[i + 1], &settings, &s.fatal);
    EXPECT_TRUE(parsed) << args[i];
  }
  std::istringstream in(bytes);
  VisitSpool spool;
  if (!SpoolVisits(
          in, settings, &spool,
          [&](const VisitProblem &p) {
            s.problems +=
                std::to_string(p.line) +
                (p.lastLine > p.line ? "-" + std::to_string(p.lastLine)
                                     : std::string()) +
                ": " + p.reason + "\n";
          },
          &s.fatal))
    return s;
  for (const std::string &note : spool.read.columnNotes)
    s.problems += "note: " + note + "\n";
  s.read = FoundFromFile(spool.read) ? HowReadText(spool.read) : "";
  PatientHistory h;
  while (ReadNextPatient(&spool, &h))
    for (int eye : {kRightEye, kLeftEye})
      for (const Visit &v : h.eyes[eye])
        s.visits += h.patient + (h.id.empty() ? "" : " #" + h.id) +
                    (eye == kRightEye ? " R " : " L ") + FormatIsoDate(v.date) +
                    " " + v.values.horizontal + "|" + v.values.vertical + "|" +
                    v.values.position + "|" + v.values.rim + "\n";
  CloseSpool(&spool);
  s.fhir = FhirVisits(bytes, settings);
  return s;
}

std::string Utf16(const std::string &ascii, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char c : ascii)
    out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  return out;
}

std::string Repeated(const std::string &text, int times) {
  std::string out;
  while (times-- > 0)
    out += text;
  return out;
}

TEST(ReadVisits, ReadsEveryQuirkOfTheHostsExports) {
  const std::string kV = ".35|.40|2|-.25";
  const std::string row = "A,R,2020-01-02," + kV + "\n";
  const std::string header = "patient,eye,date,values\n";
  const struct {
    const char *quirk;
    std::string bytes;
    std::vector<std::string> args;
    std::string visits;   // all of them, in order
    std::string problems; // each "line: " and the start of its reason
    const char *fatal;    // part of the error that stops the reading
    // The visits of --fhir's Observations, when not those above.
    std::string fhir = "";
    std::string read = ""; // part of how the summary says it was read
  } cases[] = {
      {"comma-separated text: no header, CR ends, all quoted, cp1252, "
       "vertical tab for a line break, month first",
       "\"M\xFCller, J\xFCrgen\",\"R\",\"3/4/2019\",\"" + kV +
           "\",\"a\vb\"\r\"\x8Aimon\",\"L\",\"12/25/2019\",\"" + kV +
           "\",\"\"\r",
       {"--columns", "patient,eye,date,values,note"},
       "M\u00FCller, J\u00FCrgen R 2019-03-04 " + kV +
           "\n\u0160imon L 2019-12-25 " + kV + "\n",
       "",
       nullptr,
       "M\u00FCller, J\u00FCrgen R 2019-03-04 " + kV + " note \"a\nb\"\n" +
           "\u0160imon L 2019-12-25 " + kV + "\n"},
      {"merge: semicolons, dotted dates with and without zeros, OD/OS",
       "patient;eye;date;values\r\nB;OD;04.03.2019;" + kV +
           "\r\nB;os;4.3.2019;" + kV + "\r\n",
       {},
       "B R 2019-03-04 " + kV + "\nB L 2019-03-04 " + kV + "\n",
       "",
       nullptr},
      {"a spreadsheet's first line sep=; names the separator and is no row",
       "sep=;\r\npatient;eye;date;values\r\nB,C;R;2020-01-02;" + kV +
           "\r\nB,C;X;2020-01-02;" + kV + "\r\n",
       {},
       "B,C R 2020-01-02 " + kV + "\n",
       "4: eye \"X\"",
       nullptr,
       "",
       "separator semicolon, from the file's first line \"sep=;\"; date"},
      {"a sep= line after a byte-order mark, in capitals, agreeing with "
       "--separator: no row",
       "\xEF\xBB\xBFSEP=,\n" + header + row,
       {"--separator", "comma"},
       "A R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"--separator against a sep= line: said, though all else is given",
       "sep=;\n" + header + row,
       {"--separator", "comma", "--encoding", "utf-8"},
       "A R 2020-01-02 " + kV + "\n",
       "",
       nullptr,
       "",
       "comma, from --separator, which wins over the file's first line "
       "\"sep=;\""},
      {"--separator against a sep= line that is right: said with the header",
       "sep=;\npatient;eye;date;values\n",
       {"--separator", "tab"},
       "",
       "",
       "The file's first line says \"sep=;\", where --separator says tab"},
      {"a sep= line naming a separator not read",
       "sep=|\npatient|eye|date|values\n",
       {},
       "",
       "",
       "line 1: \"sep=|\" names a separator other than comma, semicolon or "
       "tab"},
      {"tab-separated, RE/LE, a first number over 12 is a day",
       "patient\teye\tdate\tvalues\nC\tRE\t3/4/2019\t" + kV +
           "\nC\tle\t13/4/2019\t" + kV + "\n",
       {},
       "C R 2019-04-03 " + kV + "\nC L 2019-04-13 " + kV + "\n",
       "",
       nullptr},
      {"UTF-16 LE with its byte-order mark",
       Utf16(header + row, false),
       {},
       "A R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"UTF-16 BE with its byte-order mark",
       Utf16(header + row, true),
       {},
       "A R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"UTF-8 with a byte-order mark stays UTF-8",
       "\xEF\xBB\xBF" + header + "J\u00FCrgen,R,2020-01-02," + kV + "\n",
       {},
       "J\u00FCrgen R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"CR, LF and CR LF mixed, a quoted line break counts as a line",
       header + "\"D\r\nE\",R,2020-01-02," + kV +
           "\rF,L,2020-01-02,.35|.33|2|0\n" + "F,R,2020-01-02," + kV,
       {},
       "D\r\nE R 2020-01-02 " + kV + "\nF R 2020-01-02 " + kV + "\n",
       "2-3: one row, by a quoted field\n4: values",
       nullptr},
      {"a header naming the columns otherwise, mapped",
       "ExamDate,PatientID,Side,DiscValues\n2020-01-02,G,R," + kV + "\n",
       {"--column", "patient=PatientID", "--column", "date=examdate",
        "--column", "values=DiscValues", "--column", "eye=Side"},
       "G R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"a header wins over --columns",
       header + row,
       {"--columns", "eye,patient,date,values"},
       "A R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"--date-order: a date against it is a bad row with its line",
       header + "H,R,3/4/2019," + kV + "\nH,L,13/4/2019," + kV + "\n",
       {"--date-order", "mdy"},
       "H R 2019-03-04 " + kV + "\n",
       "3: date \"13/4/2019\" does not fit --date-order mdy",
       nullptr},
      {"two-digit years are refused with why",
       header + "I,R,3/4/19," + kV + "\n",
       {"--date-order", "dmy"},
       "",
       "2: date \"3/4/19\" has a two-digit year",
       nullptr},
      {"a field over 64 KiB is a bad row, not cut as a note is, a name "
       "too; reading goes on",
       header + "J," + std::string(70000, 'x') + ",2020-01-02," + kV + "\n" +
           std::string(70000, 'x') + ",R,2020-01-02," + kV + "\n" + row,
       {},
       "A R 2020-01-02 " + kV + "\n",
       "2: longer than 64 KiB, and the cut falls in its eye column\n"
       "3: longer than 64 KiB, and the cut falls in its patient column",
       nullptr},
      {"an unclosed quote takes at most 64 KiB",
       header + "\"K,R,2020-01-02," + kV + "\n" + std::string(70000, '\n') +
           row,
       {},
       "A R 2020-01-02 " + kV + "\n",
       "2-65508: a quote left open: longer than 64 KiB", // 65536 bytes
       nullptr},
      {"--patient: only that patient's rows, bad ones of others unseen",
       header + row + "Z,R,bad," + kV + "\nB,L,2020-01-02," + kV + "\n",
       {"--patient", "B"},
       "B L 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"tab-separated has no quoting: a quote is a character, and commas "
       "in the first line's note do not make it the separator",
       "patient\teye\tdate\tvalues\tnote\n\"Q\" A\tR\t2020-01-02\t" + kV +
           "\ta, b, c, d, e, \"open\nB\tR\t2020-01-02\t" + kV +
           "\tx\"\nB\tL\t2020-01-02\t" + kV + "\t\n",
       {},
       "\"Q\" A R 2020-01-02 " + kV + "\nB R 2020-01-02 " + kV +
           "\nB L 2020-01-02 " + kV + "\n",
       "",
       nullptr,
       "\"Q\" A R 2020-01-02 " + kV + " note \"a, b, c, d, e, \"open\"\n" +
           "B R 2020-01-02 " + kV + " note \"x\"\"\nB L 2020-01-02 " + kV +
           "\n"},
      {"tab-separated text without a header: an inch mark in the first "
       "column opens no quotes that would hide the tabs",
       "disc 12\" off\tA\tR\t2020-01-02\t" + kV + "\n",
       {"--columns", "note,patient,eye,date,values"},
       "A R 2020-01-02 " + kV + "\n",
       "",
       nullptr,
       "A R 2020-01-02 " + kV + " note \"disc 12\" off\"\n"},
      {"comma-separated text: a quote left open costs its own row alone",
       "\"A\",\"R\",\"2020-01-02\",\"" + kV +
           "\",\"open\r\"B\",\"R\",\"2020-01-02\",\"" + kV + "\",\"\"\r",
       {"--columns", "patient,eye,date,values,note"},
       "B R 2020-01-02 " + kV + "\n",
       "1: a quote left open at the end of the line",
       nullptr},
      {"other CSV: a quote left open names the lines it joins",
       header + "A,R,2020-01-02,\"" + kV + "\nB,R,2020-01-02," + kV +
           "\"\nC,R,2020-01-02," + kV + "\n",
       {},
       "C R 2020-01-02 " + kV + "\n",
       "2-3: values",
       nullptr},
      {"a quote opened on the last line and never closed: that line alone",
       header + row + "\"\n",
       {},
       "A R 2020-01-02 " + kV + "\n",
       "3: a quoted field is not closed by the end of the file",
       nullptr},
      {"a record of exactly 64 KiB keeps its note",
       header + row.substr(0, row.size() - 1) + "," +
           std::string(kMaxRecordBytes - row.size(), 'n') + "\n",
       {},
       "A R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"one of 64 KiB + 1 keeps its visit, the note cut",
       header + row.substr(0, row.size() - 1) + "," +
           std::string(kMaxRecordBytes - row.size() + 1, 'n') + "\n",
       {},
       "A R 2020-01-02 " + kV + "\n",
       "2: its note is cut at 64 KiB; the visit is kept",
       nullptr},
      {"a note column: each note goes with its visit, the first of two "
       "columns named note; a note cut at 64 KiB is marked",
       "patient,eye,date,values,Note,note\n" + row.substr(0, row.size() - 1) +
           ",\"pale, \"\"notch\"\" at 6\",x\nA,L,2020-01-02," + kV + "," +
           std::string(kMaxRecordBytes - row.size() + 1, 'n') + "\n",
       {},
       "A R 2020-01-02 " + kV + "\nA L 2020-01-02 " + kV + "\n",
       "3: its note is cut at 64 KiB; the visit is kept",
       nullptr,
       "A R 2020-01-02 " + kV + " note \"pale, \"notch\" at 6\"\n" +
           "A L 2020-01-02 " + kV + " note \"n*" +
           std::to_string(kMaxRecordBytes - row.size()) +
           " [note cut: its row in the export is longer than 64 KiB]\"\n"},
      {"the file's own bytes count: 30,000 CJK characters in UTF-16 are "
       "60,000 bytes (90,000 in UTF-8), a note kept whole; 20,000 emoji are "
       "80,000 bytes (as many in UTF-8), a note cut",
       Utf16(header + row.substr(0, row.size() - 1) + ",", false) +
           std::string(60000, '\x4E') /* U+4E4E each two */ +
           Utf16("\nA,L,2020-01-02," + kV + ",", false).substr(2) +
           Repeated("\x3D\xD8\x42\xDE", 20000) /* U+1F642 */ +
           std::string("\n\0", 2),
       {},
       "A R 2020-01-02 " + kV + "\nA L 2020-01-02 " + kV + "\n",
       "3: its note is cut at 64 KiB; the visit is kept",
       nullptr},
      {"a DOS end-of-file after the last line is none",
       header + row + "\x1A",
       {},
       "A R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"a DOS end-of-file after the last field is none; one within a line "
       "is a character",
       header + "A,R,2020-01-02\x1A," + kV + "\nA,L,2020-01-02," + kV +
           "\x1A\x1A",
       {},
       "A L 2020-01-02 " + kV + "\n",
       "2: date \"2020-01-02 \"", // a control character shown as a blank
       nullptr},
      {"a CR LF across two read blocks is one line end",
       header + row.substr(0, row.size() - 1) + "," +
           std::string(65535 - header.size() - row.size(), 'n') + "\r\n" +
           "A,L,bad," + kV + "\nA,X,2020-01-02," + kV + "\n",
       {},
       "A R 2020-01-02 " + kV + "\n",
       "3: date \"bad\"\n4: eye \"X\"",
       nullptr},
      {"white space around the eye, the date and the values: vertical tab, "
       "tab, the no-break spaces (plain, narrow, figure)",
       header + "A,R\v,\t2020-01-02\u202F\u00A0, " + kV + "\u2007\v\n",
       {},
       "A R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"--patient A names a row written \"A \"",
       header + "A ,R,2020-01-02," + kV + "\nAB,R,2020-01-02," + kV + "\n",
       {"--patient", "A"},
       "A R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"Windows-1252 ending in \u00E9 without a line end",
       header + "Jos\xE9,R,2020-01-02," + kV + ",Jos\xE9",
       {},
       "Jos\u00E9 R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"a lone no-break space is no letter: nothing outside ASCII, "
       "Windows ANSI assumed",
       header + "Smith\xA0John,R,2020-01-02," + kV + "\n",
       {},
       "Smith\u00A0John R 2020-01-02 " + kV + "\n",
       "",
       nullptr,
       "",
       "windows-1252 (Windows ANSI), assumed"},
      {"Mac Roman: the letters fit the words",
       header + "M\x9Fller J\x9Frgen,R,2020-01-02," + kV + "\n",
       {},
       "M\u00FCller J\u00FCrgen R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"UTF-8's form of a surrogate is not UTF-8: weighed as code pages, "
       "none of which reads it clearly",
       header + "J\xED\xA0\x80rgen,R,2020-01-02," + kV + "\n",
       {},
       "",
       "",
       "cannot tell the character set: the file is not UTF-8"},
      {"Mac Roman in capitals",
       header + "M\x86LLER,R,2020-01-02," + kV + "\n",
       {},
       "M\u00DCLLER R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"DOS 850: M\u00FCller, S\u00F8ren",
       header + "M\x81ller S\x9Bren,R,2020-01-02," + kV + "\n",
       {},
       "M\u00FCller S\u00F8ren R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"DOS 437, named",
       header +
           "Stra\xE1"
           "e \x9B,R,2020-01-02," +
           kV + "\n",
       {"--encoding", "ibm437"},
       "Stra\u00DFe \u00A2 R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"UTF-8 with one row in Windows ANSI appended: the UTF-8 names "
       "intact, that row read as Windows ANSI and named, its 25,000 \u00FC "
       "a byte each, a note kept whole",
       header +
           Repeated("M\u00FCller J\u00FCrgen,R,2020-01-02," + kV + "\n", 20) +
           "M\xFCller Karl,L,2020-01-03," + kV + "," +
           Repeated("\xFC"
                    "b\xFC ",
                    12500) +
           "\n",
       {},
       Repeated("M\u00FCller J\u00FCrgen R 2020-01-02 " + kV + "\n", 20) +
           "M\u00FCller Karl L 2020-01-03 " + kV + "\n",
       "22: not UTF-8, as the rest of the file is: read as windows-1252; the "
       "visit is kept",
       nullptr,
       // One Observation for the twenty repeats.
       "M\u00FCller J\u00FCrgen R 2020-01-02 " + kV + "\nM\u00FCller Karl L " +
           "2020-01-03 " + kV + "\n"},
      {"a few UTF-8 rows outnumber a header and a row in Windows ANSI, CR LF "
       "line ends",
       "patient,eye,date,values,f\xFCr\r\nJ\u00FCrgen,R,2020-01-02," + kV +
           "\r\nM\xFCller,L,2020-01-02," + kV + "\r\nRen\u00E9e,R,2020-01-02," +
           kV + "\r\n\u00C5sa,R," + "2020-01-02," + kV + "\r\n",
       {},
       "J\u00FCrgen R 2020-01-02 " + kV + "\nM\u00FCller L 2020-01-02 " + kV +
           "\nRen\u00E9e R 2020-01-02 " + kV + "\n\u00C5sa R 2020-01-02 " + kV +
           "\n",
       "1: the header row is not UTF-8, as the rest of the file is: read as "
       "windows-1252\n3: not UTF-8, as the rest of the file is: read as "
       "windows-1252",
       nullptr},
      {"lines over two read blocks: one UTF-8 (a character cut by a block's "
       "end waits for its rest), one not, read in the code page, the line "
       "after UTF-8 again",
       header + "J\u00FCrgen,R,2020-01-02," + kV +
           "\nRen\u00E9e,R,2020-01-02," + kV + "," + Repeated("\u00FC", 70000) +
           "\nM\xFCller,L,2020-01-02," + kV + "," + std::string(140000, 'n') +
           "\n\u00C5sa,R,2020-01-02," + kV + "\n",
       {},
       "J\u00FCrgen R 2020-01-02 " + kV + "\nRen\u00E9e R 2020-01-02 " + kV +
           "\nM\u00FCller L 2020-01-02 " + kV + "\n\u00C5sa R 2020-01-02 " +
           kV + "\n",
       "3: its note is cut at 64 KiB; the visit is kept\n"
       "4: its note is cut at 64 KiB; the visit is kept\n"
       "4: not UTF-8, as the rest of the file is: read as windows-1252",
       nullptr},
      {"a line ending in the start of a UTF-8 sequence is not UTF-8",
       "eye,date,values,patient\nR,2020-01-02," + kV + ",J\u00FCrgen\nL," +
           "2020-01-02," + kV + ",J\u00FCrgen\nR,2020-01-02," + kV +
           ",Jos\xE9\n",
       {},
       "J\u00FCrgen R 2020-01-02 " + kV + "\nJ\u00FCrgen L 2020-01-02 " + kV +
           "\nJos\u00E9 R 2020-01-02 " + kV + "\n",
       "4: not UTF-8, as the rest of the file is: read as windows-1252",
       nullptr},
      {"a line not UTF-8 whose code page cannot be told is left out, named",
       header + "J\u00FCrgen,R,2020-01-02," + kV + "\nM\x8Aller,R,2020-01-02," +
           kV + "\nRen\u00E9e,R,2020-01-02," + kV + "\n",
       {},
       "J\u00FCrgen R 2020-01-02 " + kV + "\nRen\u00E9e R 2020-01-02 " + kV +
           "\n",
       "3: not UTF-8, as the rest of the file is, and no code page reads",
       nullptr},
      {"a line not UTF-8 that Windows-1252 and 1257 read as plausibly is "
       "left out, named: no summary of its own says it was assumed",
       header + "J\u00FCrgen,R,2020-01-02," + kV +
           "\nRen\u00E9e,R,2020-01-02," + kV + "\nSiobh\xE1n,R,2020-01-02," +
           kV + "\n",
       {},
       "J\u00FCrgen R 2020-01-02 " + kV + "\nRen\u00E9e R 2020-01-02 " + kV +
           "\n",
       "4: not UTF-8, as the rest of the file is, and no code page reads",
       nullptr},
      {"as many lines not UTF-8 as lines of it are not the few: the file is "
       "weighed as one code page, none of which reads it clearly",
       header + "J\u00FCrgen,R,2020-01-02," + kV + "\nS\xF8ren,L,2020-01-02," +
           kV + "\n",
       {},
       "",
       "",
       "cannot tell the character set: the file is not UTF-8"},
      {"UTF-16 LE without its byte-order mark",
       Utf16(header + row, false).substr(2),
       {},
       "A R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"a byte the named character set leaves undefined is a bad row",
       header + "M\x81ller,R,2020-01-02," + kV + "\n" + row,
       {"--encoding", "ansi"},
       "A R 2020-01-02 " + kV + "\n",
       "2: patient \"M\uFFFDller\" holds bytes that are not text",
       nullptr},
      {"no reading stands out: refused, a word shown each way",
       header + "B\x8Ar,R,2020-01-02," + kV + "\n",
       {},
       "",
       "",
       "reads as \"B\u0160r\" in windows-1252 or windows-1250 or "
       "windows-1254, \"B\u00E4r\" in macintosh or mac-centraleurope, "
       "\"B\u00E8r\" in cp850 or cp437, \"B\u0409r\" in windows-1251, "
       "\"B\u041Ar\" in cp866 or mac-cyrillic, \"B\u0150r\" in cp852. Say "
       "which with --encoding"},
      {"Windows Cyrillic, one name: the Latin and the Cyrillic readings fit "
       "alike, so refused, the Cyrillic one shown",
       header + "\xC8\xE2\xE0\xED\xEE\xE2,R,2020-01-02," + kV + "\n",
       {},
       "",
       "",
       "\"\u0418\u0432\u0430\u043D\u043E\u0432\" in windows-1251"},
      {"DOS Cyrillic: a Russian name read from its letters",
       header + "\x88\xA2\xA0\xAD\xAE\xA2,R,2020-01-02," + kV + "\n",
       {},
       "\u0418\u0432\u0430\u043D\u043E\u0432 R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"Windows Central European, one name: read as Windows-1252 just as "
       "well (two words no language writes are too few), so refused, the "
       "name shown as written",
       header + "Dvo\xF8\xE1k Ji\xF8\xED,R,2020-01-02," + kV + "\n",
       {},
       "",
       "",
       "\"Dvo\u0159\u00E1k\" in windows-1250"},
      {"a US clinic's Windows-1252 export, quoted, CR ends: Windows-1250 "
       "and 1254 read every word alike, Windows-1257 one otherwise; the "
       "host's own taken, assumed, and that word said",
       "\"patient\",\"eye\",\"date\",\"values\",\"note\"\r\"M\xFCller, "
       "J\xFCrgen\",\"R\",\"2020-01-02\",\"" +
           kV +
           "\",\"Dr. Wei\xDF\"\r\"O'Brien, "
           "Siobh\xE1n\",\"L\",\"2020-01-02\",\"" +
           kV + "\",\"\"\r",
       {},
       "M\u00FCller, J\u00FCrgen R 2020-01-02 " + kV +
           "\nO'Brien, Siobh\u00E1n L 2020-01-02 " + kV + "\n",
       "",
       nullptr,
       "M\u00FCller, J\u00FCrgen R 2020-01-02 " + kV +
           " note \"Dr. Wei\u00DF\"\nO'Brien, Siobh\u00E1n L 2020-01-02 " + kV +
           "\n",
       "read as windows-1252 (Windows ANSI), assumed: other code pages fit as "
       "well and read \"Siobh\u00E1n\" as \"Siobh\u012Fn\" in windows-1257; if "
       "one of those is right, say --encoding; separator comma"},
      {"the same export tab-separated",
       "patient\teye\tdate\tvalues\tnote\rM\xFCller, "
       "J\xFCrgen\tR\t2020-01-02\t" +
           kV + "\tDr. Wei\xDF\rO'Brien, Siobh\xE1n\tL\t2020-01-02\t" + kV +
           "\t\r",
       {},
       "M\u00FCller, J\u00FCrgen R 2020-01-02 " + kV +
           "\nO'Brien, Siobh\u00E1n L 2020-01-02 " + kV + "\n",
       "",
       nullptr,
       "M\u00FCller, J\u00FCrgen R 2020-01-02 " + kV +
           " note \"Dr. Wei\u00DF\"\nO'Brien, Siobh\u00E1n L 2020-01-02 " + kV +
           "\n",
       "windows-1252 (Windows ANSI), assumed: other code pages fit as well and "
       "read \"Siobh\u00E1n\" as \"Siobh\u012Fn\" in windows-1257"},
      {"Windows-1252 whose only byte over 127 is the curly apostrophe, "
       "which DOS reads as \"\u00C6\": the apostrophe decides",
       header +
           "O\x92"
           "Brien Siobhan,R,2020-01-02," +
           kV + "\n",
       {},
       "O\u2019"
       "Brien Siobhan R 2020-01-02 " +
           kV + "\n",
       "",
       nullptr,
       "",
       "read as windows-1252 (Windows ANSI), found from the letters inside "
       "words"},
      {"Mac Roman, Spanish: \"\u00ED\" and \"\u00F1\" are the bytes of "
       "Windows-1252's \"\u2019\" and \"\u2013\", which decide only before "
       "a DOS letter, not before the Mac's letters that fit",
       header +
           "Garc\x92"
           "a Pe\x96"
           "a,R,2020-01-02," +
           kV + "\n",
       {},
       "Garc\u00EDa Pe\u00F1a R 2020-01-02 " + kV + "\n",
       "",
       nullptr,
       "",
       "read as macintosh (Mac Roman), found from the letters"},
      {"Windows Central European, Polish: its letters fit better, and its "
       "words are Polish where Windows-1252's are no language's",
       header + "Wa\xB3\xEAsa \xA3ukasz \xAF\xF3\xB3\xE6,R,2020-01-02," + kV +
           "\nK\xEAp\xF1ska \x8Cwi\xB9tek G\xEA\x9C,R,2020-01-02," + kV + "\n",
       {},
       "Wa\u0142\u0119sa \u0141ukasz \u017B\u00F3\u0142\u0107 R 2020-01-02 " +
           kV +
           "\nK\u0119p\u0144ska \u015Awi\u0105tek G\u0119\u015B R 2020-01-02 " +
           kV + "\n",
       "",
       nullptr},
      {"Windows-1252 with eight letters that Windows-1250 reads otherwise: "
       "taken",
       header + "Nicol\xF2 Matt\xE8,R,2020-01-02," + kV +
           "\nNicol\xF2 Matt\xE8,L,2020-01-02," + kV +
           "\nNicol\xF2 Matt\xE8,R,2020-01-03," + kV +
           "\nNicol\xF2 Matt\xE8,L,2020-01-03," + kV + "\n",
       {},
       "Nicol\u00F2 Matt\u00E8 R 2020-01-02 " + kV +
           "\nNicol\u00F2 Matt\u00E8 R 2020-01-03 " + kV +
           "\nNicol\u00F2 Matt\u00E8 L 2020-01-02 " + kV +
           "\nNicol\u00F2 Matt\u00E8 L 2020-01-03 " + kV + "\n",
       "",
       nullptr},
      {"Windows Central European, named: Dvo\u0159\u00E1k",
       header + "Dvo\xF8\xE1k,R,2020-01-02," + kV + "\n",
       {"--encoding", "cp1250"},
       "Dvo\u0159\u00E1k R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"Windows Central European, Czech and German: every letter a letter "
       "in Windows-1252 too, but its Czech words (\"Dvo\u00F8\u00E1k\") "
       "no language's",
       header + "Dvo\xF8\xE1k Ji\xF8\xED,R,2020-01-02," + kV +
           "\n\xC8"
           "ern\xFD P\xF8"
           "emysl,R,2020-01-02," +
           kV +
           "\nKu\xE8"
           "erov\xE1 V\xECra,R,2020-01-02," +
           kV + "\nR\xF9\x9Ei\xE8ka Miroslav,R,2020-01-02," + kV +
           "\nWei\xDF J\xF6rg,R,2020-01-02," + kV +
           "\nGr\xF6\xDF G\xFCnther,R,2020-01-02," + kV +
           "\nK\xF6hler K\xE4the,R,2020-01-02," + kV + "\n",
       {},
       "Dvo\u0159\u00E1k Ji\u0159\u00ED R 2020-01-02 " + kV +
           "\n\u010Cern\u00FD P\u0159emysl R 2020-01-02 " + kV +
           "\nKu\u010Derov\u00E1 V\u011Bra R 2020-01-02 " + kV +
           "\nR\u016F\u017Ei\u010Dka Miroslav R 2020-01-02 " + kV +
           "\nWei\u00DF J\u00F6rg R 2020-01-02 " + kV +
           "\nGr\u00F6\u00DF G\u00FCnther R 2020-01-02 " + kV +
           "\nK\u00F6hler K\u00E4the R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"DOS Central European, Czech",
       header + "Dvo\xFD\xA0k Ji\xFD\xA1,R,2020-01-02," + kV +
           "\n\xAC"
           "ern\xEC P\xFD"
           "emysl,R,2020-01-02," +
           kV +
           "\nKu\x9F"
           "erov\xA0 V\xD8ra,R,2020-01-02," +
           kV + "\nR\x85\xA7i\x9Fka Miroslav,R,2020-01-02," + kV + "\n",
       {},
       "Dvo\u0159\u00E1k Ji\u0159\u00ED R 2020-01-02 " + kV +
           "\n\u010Cern\u00FD P\u0159emysl R 2020-01-02 " + kV +
           "\nKu\u010Derov\u00E1 V\u011Bra R 2020-01-02 " + kV +
           "\nR\u016F\u017Ei\u010Dka Miroslav R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"Windows Turkish: \"K\u00FDl\u00FD\u00E7\" and \"G\u00FCl\u00FEen\" "
       "are no language's",
       header +
           "Y\xFDlmaz Ay\xFE"
           "e,R,2020-01-02," +
           kV +
           "\nK\xFDl\xFD\xE7 G\xFCl\xFE"
           "en,R,2020-01-02," +
           kV +
           "\nDo\xF0"
           "an \xDE\xFCkr\xFC,R,2020-01-02," +
           kV +
           "\nAyd\xFDn \xC7"
           "a\xF0r\xFD,R,2020-01-02," +
           kV + "\n",
       {},
       "Y\u0131lmaz Ay\u015Fe R 2020-01-02 " + kV +
           "\nK\u0131l\u0131\u00E7 G\u00FCl\u015Fen R 2020-01-02 " + kV +
           "\nDo\u011Fan \u015E\u00FCkr\u00FC R 2020-01-02 " + kV +
           "\nAyd\u0131n \u00C7a\u011Fr\u0131 R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"Windows Central European, Hungarian: Windows-1252's words are each "
       "some language's (\"Sz\u00F5ke\", \"Heged\u00FBs\"), but no one "
       "language's",
       header + "Sz\xF5ke Gy\xF5z\xF5,R,2020-01-02," + kV +
           "\nHeged\xFBs B\xE1lint,R,2020-01-02," + kV +
           "\nL\xF5rincz \xC1gnes,R,2020-01-02," + kV +
           "\nSz\xFB"
           "cs Gy\xF6ngyi,R,2020-01-02," +
           kV + "\n",
       {},
       "Sz\u0151ke Gy\u0151z\u0151 R 2020-01-02 " + kV +
           "\nHeged\u0171s B\u00E1lint R 2020-01-02 " + kV +
           "\nL\u0151rincz \u00C1gnes R 2020-01-02 " + kV +
           "\nSz\u0171"
           "cs Gy\u00F6ngyi R 2020-01-02 " +
           kV + "\n",
       "",
       nullptr},
      {"Windows-1252, French: Windows-1250 reads it as Czech "
       "(\"H\u00E9l\u010Dne\") "
       "just as plausibly, so the Western one",
       header + "Lef\xE8vre H\xE9l\xE8ne,R,2020-01-02," + kV +
           "\nRivi\xE8re Th\xE9r\xE8se,R,2020-01-02," + kV +
           "\nAgn\xE8s B\xE9renger,R,2020-01-02," + kV +
           "\n\xC8ve No\xEBl,R,2020-01-02," + kV +
           "\nMercier Ad\xE8le,R,2020-01-02," + kV +
           "\nBarr\xE8re Mich\xE8le,R,2020-01-02," + kV + "\n",
       {},
       "Lef\u00E8vre H\u00E9l\u00E8ne R 2020-01-02 " + kV +
           "\nRivi\u00E8re Th\u00E9r\u00E8se R 2020-01-02 " + kV +
           "\nAgn\u00E8s B\u00E9renger R 2020-01-02 " + kV +
           "\n\u00C8ve No\u00EBl R 2020-01-02 " + kV +
           "\nMercier Ad\u00E8le R 2020-01-02 " + kV +
           "\nBarr\u00E8re Mich\u00E8le R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"Mac Central European, Lithuanian: other readings put signs inside "
       "words (\"Au\u2030ra\" in Mac Roman), which no language writes",
       header + "Kazlauskas Jonas,R,2020-01-02," + kV +
           "\nPetrauskien\x98 R\xF0ta,R,2020-01-02," + kV +
           "\nJankauskas Mindaugas,R,2020-01-02," + kV +
           "\nStankevi\x8Bius Darius,R,2020-01-02," + kV +
           "\nVasiliauskait\x98 Egl\x98,R,2020-01-02," + kV +
           "\n\xEBukauskas Tomas,R,2020-01-02," + kV +
           "\nButkus Gintar\x98,R,2020-01-02," + kV +
           "\nPaulauskas \xE1"
           "ar\xF0nas,R,2020-01-02," +
           kV + "\nUrbonas Au\xE4ra,R,2020-01-02," + kV +
           "\nKavaliauskas Vytautas,R,2020-01-02," + kV + "\n",
       {},
       "Kazlauskas Jonas R 2020-01-02 " + kV +
           "\nPetrauskien\u0117 R\u016Bta R 2020-01-02 " + kV +
           "\nJankauskas Mindaugas R 2020-01-02 " + kV +
           "\nStankevi\u010Dius Darius R 2020-01-02 " + kV +
           "\nVasiliauskait\u0117 Egl\u0117 R 2020-01-02 " + kV +
           "\n\u017Dukauskas Tomas R 2020-01-02 " + kV +
           "\nButkus Gintar\u0117 R 2020-01-02 " + kV +
           "\nPaulauskas \u0160ar\u016Bnas R 2020-01-02 " + kV +
           "\nUrbonas Au\u0161ra R 2020-01-02 " + kV +
           "\nKavaliauskas Vytautas R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"a runner-up scoring exactly half the best is no clear lead",
       header + "\xA2UWJ\xE5 gtZeG\xDE rg\xECw,R,2020-01-02," + kV + "\n",
       {},
       "",
       "",
       "cannot tell the character set"},
      {"a byte Windows-1252 leaves undefined rules it out",
       header + "M\xFCller,R,2020-01-02," + kV + ",\x81\n",
       {},
       "",
       "",
       "reads as \"M\u00B8ller\" in macintosh,"},
      {"a header with a quote left open",
       "\"patient,eye,date,values\n" + row,
       {},
       "",
       "",
       "line 1: the header row cannot be read: a quoted field is not closed"},
      {"no header and no --columns",
       "\"A\",\"R\",\"2020-01-02\",\"" + kV + "\"\r",
       {},
       "",
       "",
       "--columns patient,eye,date,values"},
      {"a header lacking a column",
       "patient,eye,date\n",
       {},
       "",
       "",
       "no column \"values\""},
      {"the values in four columns named otherwise: the four options said",
       "patient;eye;date;H;V;Pos;Rim\n",
       {},
       "",
       "",
       "or --column horizontal=NAME, and so vertical, location and rim, takes "
       "four columns for them)"},
      {"slashes and no date that tells the order",
       header + "L,R,3/4/2019," + kV + "\n",
       {},
       "",
       "",
       "--date-order dmy or mdy"},
      {"dates that disagree on the order",
       header + "L,R,13/4/2019," + kV + "\nL,L,4/13/2019," + kV + "\n",
       {},
       "",
       "",
       "line 2 has 13/4/2019 (day first), line 3 has 4/13/2019"},
      {"no separator to tell", "patient\n", {}, "", "", "--separator"},
      {"an ID column keys the patients: one name, two IDs, two patients; "
       "one ID spelt two ways, one patient under its first spelling",
       "PatientID;patient;eye;date;values\n1001;Smith, John;R;2020-01-02;" +
           kV + "\n2002;Smith, John;R;2020-01-02;" + kV +
           "\n1001;SMITH, John;L;2020-01-02;" + kV + "\n",
       {},
       "Smith, John #1001 R 2020-01-02 " + kV + "\nSmith, John #1001 L " +
           "2020-01-02 " + kV + "\nSmith, John #2002 R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"names compared composed: a Mac's decomposed \u00FC is Windows' one, "
       "and --patient typed composed finds both",
       header + "Mu\u0308ller,R,2020-01-02," + kV +
           "\nM\u00FCller,L,2020-01-02," + kV + "\nB,R,2020-01-02," + kV + "\n",
       {"--patient", "M\u00FCller"},
       "Mu\u0308ller R 2020-01-02 " + kV + "\nMu\u0308ller L 2020-01-02 " + kV +
           "\n",
       "",
       nullptr,
       // One patient, identified by the composed spelling whichever came
       // first, so a later export finds the same Patient.
       "Mu\u0308ller #M\u00FCller R 2020-01-02 .35|.40|2|-.25\n"
       "Mu\u0308ller #M\u00FCller L 2020-01-02 .35|.40|2|-.25\n"},
      {"--column name: the patient column is the ID, the name shown; "
       "--patient by either",
       "Nr,Name,eye,date,values\n7,Ann,R,2020-01-02," + kV + "\n8,Bo,R," +
           "2020-01-02," + kV + "\n9,Cy,R,2020-01-02," + kV + "\n",
       {"--column", "patient=Nr", "--column", "name=Name", "--patient", "7",
        "--patient", "Bo"},
       "Ann #7 R 2020-01-02 " + kV + "\nBo #8 R 2020-01-02 " + kV + "\n",
       "",
       nullptr},
      {"a likely ID column not used is said",
       "patient,eye,date,values,Nr,Patient ID\nA,R,2020-01-02," + kV + ",5,1\n",
       {},
       "A #1 R 2020-01-02 " + kV + "\n",
       "note: column \"Nr\" looks like a patient ID but is not used",
       nullptr},
      {"an ID in the patient column, a name column beside it unused",
       "PatientID,Name,eye,date,values\n1,Ann,R,2020-01-02," + kV + "\n",
       {"--column", "patient=PatientID"},
       "1 R 2020-01-02 " + kV + "\n",
       "note: column \"Name\" looks like the patients' names",
       nullptr},
  };
  for (const auto &c : cases) {
    const Spooled s = Spool(c.bytes, c.args);
    EXPECT_EQ(c.visits, s.visits) << c.quirk;
    EXPECT_EQ(c.fhir.empty() ? c.visits : c.fhir, s.fhir)
        << c.quirk << " (FHIR)";
    // Each expected line the start of the actual one, in order.
    std::istringstream expected(c.problems), got(s.problems);
    std::string want, line;
    while (std::getline(expected, want))
      EXPECT_TRUE(std::getline(got, line) && line.find(want) == 0)
          << c.quirk << "\nexpected " << want << "\n"
          << s.problems;
    EXPECT_FALSE(std::getline(got, line)) << c.quirk << "\n" << s.problems;
    EXPECT_NE(std::string::npos, s.read.find(c.read)) << c.quirk << "\n"
                                                      << s.read;
    if (c.fatal)
      EXPECT_NE(std::string::npos, s.fatal.find(c.fatal)) << c.quirk << "\n"
                                                          << s.fatal;
    else
      EXPECT_EQ("", s.fatal) << c.quirk;
  }
}

} // namespace
