// The report through the command line: bad rows and their lines, what the
// page holds and refers to, and the reports that must not be made.
#include "orbitrace-render/history/svg_inline.h"
#include "orbitrace-render/render_cli.h"
#include "tests/renderer/render_main.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

size_t Count(const std::string &text, const std::string &what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + 1))
    ++n;
  return n;
}

const char kVisits[] =
    "patient,eye,date,values\n"
    "\"Doe, Jane\",R,2021-05-01,.40|.60|2|0\n"   // 2
    "B <b>&</b>,L,2020-01-01,.30|.30|3|1\n"      // 3
    "\"Doe, Jane\",R,2019-05-01,.40|.40|2|0\n"   // 4
    "\"Doe, Jane\",L,2019-05-01,.30|.45|10|0\n"  // 5
    "\"Doe,\nJane\",L,2019-05-01,.30|.45|10|0\n" // 6-7: another name
    "\"Doe, Jane\",L,2021-02-30,.30|.45|10|0\n"  // 8
    "\"Doe, Jane\",R,2019-05-01,.45|.45|2|0\n"   // 9: repeats line 4
    "C,R,2020-01-01,.30|.3|3|1\n";               // 10

TEST(HistoryReport, LeavesOutBadRowsByLineAndReportsTheRest) {
  const std::string dir = TempDir();
  for (const char *name : {"/r.html", "/r.pdf"}) {
    Outcome r = Main({"--history", "-", dir + name}, kVisits);
    EXPECT_EQ(kExitFailed, r.status) << name;
    for (const char *line :
         {"line 8: date \"2021-02-30\"",
          "line 9: patient, eye and date repeat line 4",
          "line 10: values \".30|.3|3|1\"", "3 rows left out"})
      EXPECT_NE(std::string::npos, r.err.find(line)) << line << "\n" << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("line 6")) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find('\r')) << "no bar in a log";
  }
  EXPECT_EQ(0, Slurp(dir + "/r.pdf").compare(0, 5, "%PDF-"));

  const std::string page = Slurp(dir + "/r.html");
  // Three patients, five sketches; the name is text, not markup.
  EXPECT_EQ(3u, Count(page, "<section class=\"patient\""));
  EXPECT_EQ(5u, Count(page, "<td><div class=\"sketch\"><svg"));
  EXPECT_NE(std::string::npos, page.find("B &lt;b&gt;&amp;&lt;/b&gt;"));
  EXPECT_EQ(std::string::npos, page.find("<b>&</b>"));
  // Dates in order within the patient.
  EXPECT_LT(page.find("<b>2019-05-01</b>"), page.find("<b>2021-05-01</b>"));
  // Doe, Jane is flagged (a rise of .20 on the right) and linked.
  EXPECT_NE(std::string::npos,
            page.find("<a href=\"#p1\">Doe, Jane</a>: right eye rose"));
  EXPECT_NE(std::string::npos, page.find("Line 9: patient, eye and date"));

  // Self-contained: every id once, every reference to one of them, and no
  // address outside the page.
  std::set<std::string> ids;
  std::regex id(" id=\"([^\"]+)\"");
  for (std::sregex_iterator i(page.begin(), page.end(), id), end; i != end; ++i)
    EXPECT_TRUE(ids.insert((*i)[1]).second) << "id twice: " << (*i)[1];
  std::regex ref("(?:href=\"|url\\()([^\")]*)");
  size_t refs = 0;
  for (std::sregex_iterator i(page.begin(), page.end(), ref), end; i != end;
       ++i, ++refs) {
    const std::string target = (*i)[1];
    ASSERT_EQ('#', target[0]) << target;
    EXPECT_EQ(1u, ids.count(target.substr(1))) << target;
  }
  EXPECT_GT(refs, 20u);
  EXPECT_EQ(std::string::npos, page.find("<script"));
  EXPECT_EQ(std::string::npos, page.find(" src="));
}

TEST(HistoryReport, MakesNoReportWithoutItsColumnsOrFromBadArguments) {
  const std::string dir = TempDir();
  const std::string report = dir + "/r.html";
  struct Case {
    std::vector<std::string> args;
    const char *input;
    int status;
    const char *message;
  } cases[] = {
      {{"--history", "-", report},
       "name,eye,date,values\nA,R,2020-01-01,1|1|1|1\n",
       kExitFailed,
       "line 1: the header has no column \"patient\""},
      {{"--history", "-", report}, "", kExitFailed, "no header row"},
      {{"--history", dir + "/none.csv", report},
       "",
       kExitFailed,
       "cannot read"},
      {{"--history", "-", dir + "/r.png"},
       "",
       kExitUsage,
       "does not end in .html or .pdf"},
      {{"--history", "-"}, "", kExitUsage, "exactly one REPORT"},
      {{"--high", "1.5", "--history", "-", report},
       "",
       kExitUsage,
       "--high: threshold \"1.5\""},
      {{"--history", "-", report, "--rise"},
       "",
       kExitUsage,
       "--rise needs a ratio"},
      {{"--batch", "-", "--history", "-", report},
       "",
       kExitUsage,
       "unknown option --batch"},
  };
  for (const Case &c : cases) {
    Outcome r = Main(c.args, c.input);
    EXPECT_EQ(c.status, r.status) << c.message;
    EXPECT_NE(std::string::npos, r.err.find(c.message)) << r.err;
  }
  struct stat st;
  EXPECT_NE(0, stat(report.c_str(), &st)) << "a report was left behind";
}

TEST(HistoryReport, KeepsAnEarlierReportWhenTheNewOneFails) {
  const std::string dir = TempDir();
  const std::string report = dir + "/r.html";
  std::ofstream(report) << "earlier";
  Outcome r = Main({"--history", "-", report}, "no,header\n");
  EXPECT_EQ(kExitFailed, r.status);
  EXPECT_EQ("earlier", Slurp(report));
}

TEST(InlineSvg, GivesEachPictureItsOwnIdsAndKeepsAGlyphOnce) {
  const std::string doc =
      "<?xml version=\"1.0\"?>\n<svg width=\"350pt\" height=\"323pt\" "
      "viewBox=\"0 0 350 323\"><defs><g>"
      "<symbol overflow=\"visible\" id=\"glyph0-1\"><path d=\"M 1 1\"/>"
      "</symbol></g><clipPath id=\"clip1\"><path d=\"M 0 0\"/></clipPath>"
      "</defs><g clip-path=\"url(#clip1)\"><use xlink:href=\"#glyph0-1\" "
      "x=\"1\"/></g></svg>";
  SvgGlyphs glyphs;
  const std::string a = InlineSvg(doc, "a-", 150, 138.5, &glyphs);
  const std::string b = InlineSvg(doc, "b-", 150, 138.5, &glyphs);
  EXPECT_EQ(0u, a.find("<svg width=\"150\" height=\"138.5\""));
  EXPECT_NE(std::string::npos, a.find("id=\"a-clip1\""));
  EXPECT_NE(std::string::npos, a.find("url(#a-clip1)"));
  EXPECT_NE(std::string::npos, b.find("url(#b-clip1)"));
  EXPECT_EQ(1u, Count(a + b, "<symbol"));
  EXPECT_EQ(1u, Count(a, "id=\"glyph-1\""));
  EXPECT_NE(std::string::npos, b.find("href=\"#glyph-1\""));
}

} // namespace
