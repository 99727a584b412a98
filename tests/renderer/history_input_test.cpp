// The visit export as read: CSV records with their lines, the columns, the
// checks of a row, and dates.
#include "orbitrace-render/history/csv_records.h"
#include "orbitrace-render/history/visit_date.h"
#include "orbitrace-render/history/visit_row.h"

#include <gtest/gtest.h>

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
  ReadCsvRecords(
      in, [&](const CsvRecord &record) { r.records.push_back(record); },
      [&](int line, const std::string &reason) {
        r.errors.push_back({line, reason});
      });
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
  ASSERT_TRUE(
      FindColumns({"note", " Values", "DATE", "eye ", "Patient"}, &c, &error));
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
  ASSERT_TRUE(ParseVisitRow(
      {" Doe, Jane ", "left", "2024-02-29", ".35|.40|2|-.25"}, c, &row, &error))
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
      {{"A", "R", "2023-02-29", ".35|.40|2|-.25"}, "date \"2023-02-29\""},
      {{"A", "R", "2024-13-01", ".35|.40|2|-.25"}, "date"},
      {{"A", "R", "2024-1-05", ".35|.40|2|-.25"}, "date"},
      {{"A", "R", "05/01/2024", ".35|.40|2|-.25"}, "date"},
      {{"A", "R", "2024-01-05T10:00", ".35|.40|2|-.25"}, "date"},
      {{"A", "R", "2024-01-05", ".35|.4|2|-.25"}, "vertical ratio \".4\""},
      {{"A", "R", "2024-01-05", ".35|.40|2"}, "expected 4 values"},
  };
  for (const auto &b : bad) {
    EXPECT_FALSE(ParseVisitRow(b.fields, c, &row, &error)) << b.reason;
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

} // namespace
