// The report through the command line: bad rows and their lines, what the
// page holds and refers to, and the reports that must not be made.
#include "orbitrace-render/history/history_html.h"
#include "orbitrace-render/history/svg_inline.h"
#include "orbitrace-render/render_cli.h"
#include "tests/renderer/render_main.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <codecvt>
#include <fstream>
#include <functional>
#include <locale>
#include <map>
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
    "C,R,2020-01-01,.30|.33|3|1\n"               // 10
    "\u674E\u5C0F\u9F8D \uAE40\uBBFC\uC900 \u0639\u0644\u064A \U0001F642,L,"
    "2020-02-01,.45|.60|1|-.10\n"; // 11: CJK, Hangul, Arabic, an emoji

// The parts of line 11's name, each in a script of its own.
const char *const kScripts[] = {"\u674E\u5C0F\u9F8D", "\uAE40\uBBFC\uC900",
                                "\u0639\u0644\u064A", "\U0001F642"};

// What a command prints.
std::string Output(const std::string &command) {
  std::string text;
  FILE *p = popen(command.c_str(), "r");
  char block[4096];
  for (size_t n; p && (n = fread(block, 1, sizeof block, p)) > 0;)
    text.append(block, n);
  if (p)
    pclose(p);
  return text;
}

std::string PdfText(const std::string &path) {
  return Output("pdftotext -layout '" + path + "' -");
}

// Whether the PDF embeds a font that fontconfig says has the first
// character of `utf8`.
bool EmbedsAFontFor(const std::string &pdf, const std::string &utf8) {
  std::wstring_convert<std::codecvt_utf8<char32_t>, char32_t> utf32;
  char charset[16];
  snprintf(charset, sizeof charset, "%x",
           static_cast<unsigned>(utf32.from_bytes(utf8)[0]));
  std::istringstream having(
      Output(std::string("fc-list ':charset=") + charset +
             "' postscriptname | sed 's/^:postscriptname=//'"));
  std::set<std::string> fonts;
  for (std::string name; std::getline(having, name);)
    fonts.insert(name);
  // "ABCDEF+NotoSansCJKjp-Regular ..." past the header's two lines.
  std::istringstream embedded(Output("pdffonts '" + pdf + "' | tail -n +3"));
  for (std::string line; std::getline(embedded, line);) {
    const std::string name = line.substr(0, line.find(' '));
    if (fonts.count(name.substr(name.find('+') + 1)) &&
        line.find(" yes ") != std::string::npos)
      return true;
  }
  return false;
}

// The names in a folder.
std::set<std::string> Listing(const std::string &dir) {
  std::set<std::string> names;
  if (DIR *d = opendir(dir.c_str())) {
    while (const dirent *e = readdir(d))
      if (e->d_name[0] != '.')
        names.insert(e->d_name);
    closedir(d);
  }
  return names;
}

// One patient of ten visits, `patients` times.
std::string Archive(int patients) {
  std::string visits = "patient,eye,date,values\n";
  for (int p = 1; p <= patients; ++p)
    for (int v = 0; v < 10; ++v)
      visits += "P" + std::to_string(p) + "," + (v % 2 ? "L" : "R") + ",20" +
                std::to_string(10 + v) + "-01-01,.40|.4" +
                std::to_string(v % 2 * 5) + "|" + std::to_string(v + 1) +
                "|0\n";
  return visits;
}

// The whole program in a child process: `setUp` runs there first, and
// `tick` each time the progress bar reads its clock, while the report is
// written. Its exit status, or 128 and the signal that ended it.
int InChild(const std::vector<std::string> &args, const std::string &input,
            const std::function<void()> &setUp,
            const std::function<void()> &tick) {
  fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    setUp();
    std::vector<const char *> argv{"orbitrace-render"};
    for (const std::string &a : args)
      argv.push_back(a.c_str());
    PipeInput pipe(input);
    std::istream in(&pipe);
    std::ostringstream out, err;
    double now = 0;
    _exit(RenderMain(static_cast<int>(argv.size()), argv.data(), in, out, err,
                     true, [&] {
                       tick();
                       return now += 10;
                     }));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

TEST(HistoryReport, LeavesOutBadRowsByLineAndReportsTheRest) {
  const std::string dir = TempDir();
  // Line 2's visit kept with a note cut at 64 KiB, and line 5's with one
  // in Windows ANSI in a UTF-8 file.
  std::string visits = kVisits;
  visits.insert(visits.find('\n', visits.find('\n') + 1),
                ",\u00FC" + std::string(70000, 'n'));
  visits.insert(visits.find("\n\"Doe,\n"), ",f\xFCr");
  for (const char *name : {"/r.html", "/r.Pdf"}) {
    Outcome r = Main({"--history", "-", dir + name}, visits);
    EXPECT_EQ(kExitFailed, r.status) << name;
    for (const char *line :
         {"line 8: date \"2021-02-30\"",
          "line 9: patient, eye and date repeat line 4 with other values: "
          ".45|.45|2|0 here, .40|.40|2|0 on line 4, which is kept",
          "line 10: values \".30|.33|3|1\"", "3 rows left out",
          "utf-8, valid in most lines; the rest read as windows-1252"})
      EXPECT_NE(std::string::npos, r.err.find(line)) << line << "\n" << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("line 6")) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find('\r')) << "no bar in a log";
  }
  // Every script in the PDF from a font that has it, and read back.
  const std::string text = PdfText(dir + "/r.Pdf");
  for (const char *script : kScripts) {
    EXPECT_NE(std::string::npos, text.find(script)) << script << "\n" << text;
    EXPECT_TRUE(EmbedsAFontFor(dir + "/r.Pdf", script))
        << script << "\n"
        << Output("pdffonts '" + dir + "/r.Pdf'");
  }
  // Each set of values drawn once, lines 5 and 6's alike, and the charts'
  // frame once: forms of the sketch's size and the chart's that the pages
  // refer to (beside those of texts shown again).
  const std::string pdf = Slurp(dir + "/r.Pdf");
  EXPECT_EQ(5u, Count(pdf, "/BBox [ 0 0 350 323 ]"));
  EXPECT_EQ(1u, Count(pdf, "/BBox [ 0 0 516 112 ]"));
  // The values under each sketch say which is which.
  const char *const labelled[] = {"H .45 \u00B7 V .60",
                                  "1 o\u2019clock \u00B7 rim \u2212.10"};
  for (const char *label : labelled)
    EXPECT_NE(std::string::npos, text.find(label)) << label << "\n" << text;

  const std::string page = Slurp(dir + "/r.html");
  // The rows kept with a word, each kind on a summary line of its own.
  for (const std::string &summary : {text, page})
    for (const char *said :
         {"Notes cut(</dt><dd>| +)line 2: visits kept, notes cut at 64 KiB",
          "Rows joined(</dt><dd>| +)lines 6 to 7: one row each, by line "
          "breaks in quotes"})
      EXPECT_TRUE(std::regex_search(summary, std::regex(said))) << said;
  const char kRecoded[] =
      "line 5: read as windows-1252, since the rest of the file is UTF-8";
  EXPECT_NE(std::string::npos,
            page.find(std::string("Lines not UTF-8</dt><dd>") + kRecoded));
  EXPECT_NE(std::string::npos, text.find(kRecoded)) << text;

  // Four patients, six sketches; the name is text, not markup.
  EXPECT_EQ(4u, Count(page, "<section class=\"patient\""));
  EXPECT_EQ(6u, Count(page, "<td><div class=\"sketch\"><svg"));
  for (const char *label : labelled)
    EXPECT_NE(std::string::npos, page.find(label)) << label;
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

// The visits of two patients as the host's exports write them: `row`
// gets patient, eye, the date's day, month and year, and the values.
std::string
HostExport(const std::string &first,
           const std::function<std::string(const char *, const char *, int, int,
                                           int, const char *)> &row) {
  std::string text = first;
  for (int d = 1; d <= 30; ++d)
    for (const char *eye : {"R", "L"})
      text += row(d % 3 ? "M\xFCller, J\xFCrgen" : "Other", eye, 3 + d % 20,
                  1 + d % 12, 1990 + d, d < 15 ? ".35|.40|2|0" : ".35|.65|2|0");
  return text;
}

// Latin-1 text as UTF-16 LE with its byte-order mark.
std::string Utf16Le(const std::string &latin1) {
  std::string out = "\xFF\xFE";
  for (char c : latin1)
    out += std::string{c, '\0'};
  return out;
}

TEST(HistoryReport, ReadsEachOfTheHostsExportsAsTheyCome) {
  const std::string dir = TempDir();
  const std::string name = "M\u00FCller, J\u00FCrgen";
  char date[32];
  // Comma-separated text: no header, CR ends, every field quoted, Windows
  // ANSI, a return in a field as a vertical tab, month first.
  std::ofstream(dir + "/csv.csv", std::ios::binary)
      << HostExport("", [&](const char *p, const char *eye, int d, int m, int y,
                            const char *v) {
           snprintf(date, sizeof date, "%d/%d/%d", m, d, y);
           return "\"" + std::string(p) + "\",\"" + eye + "\",\"" + date +
                  "\",\"" + v + "\",\"seen\vtwice\"\r";
         });
  // Merge on a European system: a header, semicolons, D.M.YYYY dates with
  // leading zeros, OD and OS.
  std::ofstream(dir + "/merge.csv", std::ios::binary) << HostExport(
      "patient;eye;date;values;note\r\n",
      [&](const char *p, const char *eye, int d, int m, int y, const char *v) {
        snprintf(date, sizeof date, "%02d.%02d.%d", d, m, y);
        return std::string(p) + ";" + (*eye == 'R' ? "OD" : "OS") + ";" + date +
               ";" + v + ";\r\n";
      });
  // The "Unicode" character set, given on standard input.
  const std::string utf16 = Utf16Le("patient,eye,date,values\r\n"
                                    "J\xFCrgen,R,2019-03-04,.35|.40|2|0\r\n"
                                    "J\xFCrgen,L,2019-03-04,.35|.40|2|0\r\n");

  Outcome csv = Main({"--columns", "patient,eye,date,values,note", "--history",
                      dir + "/csv.csv", dir + "/csv.html"});
  EXPECT_EQ(kExitOk, csv.status) << csv.err;
  const std::string page = Slurp(dir + "/csv.html");
  EXPECT_EQ(2u, Count(page, "<section class=\"patient\""));
  EXPECT_NE(std::string::npos, page.find(name));
  EXPECT_NE(std::string::npos, page.find("<b>1991-02-04</b>")); // 2/4/1991
  // How it was read, in the summary and on the command line.
  for (const char *said :
       {"windows-1252 (Windows ANSI), found from the letters inside words",
        "comma, found from the first 16 lines; a line break ends every row",
        "month first, found from line 19 (11/13/2000)"}) {
    EXPECT_NE(std::string::npos, page.find(said)) << said;
    EXPECT_NE(std::string::npos, csv.err.find(said)) << csv.err;
  }
  EXPECT_TRUE(std::regex_search(
      page, std::regex(", made \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d")));

  // One patient's progression, as printed at the visit: every page says
  // whose it is and when it was made.
  Outcome merge = Main(
      {"--patient", name, "--history", dir + "/merge.csv", dir + "/merge.pdf"});
  EXPECT_EQ(kExitOk, merge.status) << merge.err;
  const std::string text = PdfText(dir + "/merge.pdf");
  EXPECT_NE(std::string::npos,
            text.find("not needed: no date is written with slashes"))
      << text;
  EXPECT_NE(std::string::npos, text.find("1991-02-04")); // 04.02.1991
  EXPECT_EQ(std::string::npos, text.find("Other"));
  size_t pages = 0;
  for (size_t at = 0, end; (end = text.find('\f', at)) != std::string::npos;
       at = end + 1, ++pages) {
    const std::string footer = text.substr(at, end - at);
    EXPECT_TRUE(std::regex_search(
        footer, std::regex("Visit history, made \\d{4}-\\d\\d-\\d\\d "
                           "\\d\\d:\\d\\d .*: " +
                           std::string(pages == 0 ? "summary" : name))))
        << "page " << pages + 1 << ":\n"
        << footer;
  }
  EXPECT_GE(pages, 3u) << "the patient's visits run over a page";

  Outcome unicode = Main({"--history", "-", dir + "/u.html"}, utf16);
  EXPECT_EQ(kExitOk, unicode.status) << unicode.err;
  EXPECT_NE(std::string::npos, Slurp(dir + "/u.html").find("J\u00FCrgen</h2>"));
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
       kExitNoReport,
       "standard input: line 1: the header has no column \"patient\""},
      {{"--history", "-", report}, "", kExitNoReport, "no header row"},
      {{"--history", dir + "/none.csv", report},
       "",
       kExitNoReport,
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
      {{"--patient", "B", "--history", "-", report},
       "patient,eye,date,values\nA,R,2020-01-01,1|1|1|1\n",
       kExitUsage,
       "no row names patient \"B\""},
      {{"--history", "-", report},
       "A,R,2020-01-01,1|1|1|1\n",
       kExitNoReport,
       "name its columns in order with --columns"},
      {{"--date-order", "ymd", "--history", "-", report},
       "",
       kExitUsage,
       "--date-order: \"ymd\" is not dmy"},
  };
  for (const Case &c : cases) {
    Outcome r = Main(c.args, c.input);
    EXPECT_EQ(c.status, r.status) << c.message;
    EXPECT_NE(std::string::npos, r.err.find(c.message)) << r.err;
  }
  struct stat st;
  EXPECT_NE(0, stat(report.c_str(), &st)) << "a report was left behind";
}

TEST(HistoryReport, KeepsAnEarlierReportWhenTheNewOneFailsAndSaysItIsOlder) {
  const std::string dir = TempDir();
  const std::string report = dir + "/r.html";
  std::ofstream(report) << "earlier";
  for (const std::string &input : {std::string("-"), dir + "/absent.csv"}) {
    Outcome r = Main({"--history", input, report}, "no,header\n");
    EXPECT_EQ(kExitNoReport, r.status) << r.err;
    EXPECT_EQ("earlier", Slurp(report));
    EXPECT_TRUE(std::regex_search(
        r.err, std::regex("\"" + report +
                          "\" is an earlier report, written \\d{4}-\\d\\d-")))
        << r.err;
  }
}

// A write that fails anywhere, up to the close, an interrupted run, and an
// export that ends early when read again: exit 3 or the signal, the
// earlier report as it was, and no temporary file or folder left.
TEST(HistoryReport, PutsOnlyAWholeReportInPlaceAndLeavesNoTemporary) {
  const std::string dir = TempDir();
  const auto earlierOnly = [&](const std::string &report,
                               const std::string &why) {
    EXPECT_TRUE(Slurp(report) == "earlier") << why;
    EXPECT_EQ(std::set<std::string>{report.substr(dir.size() + 1)},
              Listing(dir))
        << why;
    unlink(report.c_str());
  };
  // The largest file of a whole report: a page of the folder when split.
  // Made under the name the limited runs write, since a page links its
  // index by name, and the size must be theirs to the byte.
  const auto largest = [&](const std::string &ext, int patients) {
    const std::string report = dir + "/r" + ext;
    EXPECT_EQ(kExitOk,
              Main({"--history", "-", report}, Archive(patients)).status);
    off_t size = 0;
    struct stat st;
    std::vector<std::string> files{report};
    for (const std::string &page : Listing(dir + "/r-pages"))
      files.push_back(dir + "/r-pages/" + page);
    for (const std::string &file : files)
      if (stat(file.c_str(), &st) == 0)
        size = std::max(size, st.st_size);
    EXPECT_EQ(0, system(("rm -r " + dir + "/r*").c_str()));
    return size;
  };
  struct Form {
    const char *ext;
    int patients;
  };
  const Form forms[] = {
      {".html", 3}, {".html", kSinglePagePatients + 1}, {".pdf", 30}};

  // A file-size limit (a full disk alike): a byte short of the whole, so
  // only the last write or the close fails, and a tenth of it.
  for (const Form &form : forms) {
    const off_t whole = largest(form.ext, form.patients);
    for (const off_t limit : {whole - 1, whole / 10}) {
      const std::string report = dir + "/r" + form.ext;
      std::ofstream(report) << "earlier";
      const std::string why = std::string(form.ext) + " of " +
                              std::to_string(form.patients) +
                              " patients, limit " + std::to_string(limit);
      EXPECT_EQ(kExitNoReport,
                InChild(
                    {"--history", "-", report}, Archive(form.patients),
                    [&] {
                      signal(SIGXFSZ, SIG_DFL); // as a shell leaves it
                      const rlimit r{static_cast<rlim_t>(limit),
                                     static_cast<rlim_t>(limit)};
                      setrlimit(RLIMIT_FSIZE, &r);
                    },
                    [] {}))
          << why;
      earlierOnly(report, why);
    }
  }

  // Interrupted once the report's temporaries hold something: pages of
  // the folder too, when split.
  const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
  for (size_t i = 0; i < 4; ++i) {
    const Form &form = forms[i % 3];
    const std::string report = dir + "/r" + form.ext;
    std::ofstream(report) << "earlier";
    const auto partial = [&] {
      for (const std::string &name : Listing(dir)) {
        if (name.find("r-pages.") == 0 && form.patients > kSinglePagePatients)
          return Listing(dir + "/" + name).count("page-0002.html") > 0;
        if (name.find(std::string("r") + form.ext + ".") == 0 &&
            form.patients <= kSinglePagePatients) {
          struct stat st;
          return stat((dir + "/" + name).c_str(), &st) == 0 && st.st_size > 0;
        }
      }
      return false;
    };
    EXPECT_EQ(128 + signals[i],
              InChild(
                  {"--history", "-", report}, Archive(form.patients),
                  [&] { signal(signals[i], SIG_DFL); },
                  [&] {
                    if (partial())
                      raise(signals[i]);
                  }))
        << form.ext << " of " << form.patients << " patients";
    earlierOnly(report, strsignal(signals[i]));
  }

  // The visits cut short while the report is drawn from them.
  const std::string report = dir + "/r.html";
  std::ofstream(report) << "earlier";
  EXPECT_EQ(kExitNoReport,
            InChild(
                {"--history", "-", report}, Archive(300), [] {},
                [] {
                  // The deleted temporary files the visits are kept in.
                  for (const std::string &fd : Listing("/proc/self/fd")) {
                    char target[4096] = {};
                    const std::string link = "/proc/self/fd/" + fd;
                    if (readlink(link.c_str(), target, sizeof target - 1) > 0 &&
                        strstr(target, " (deleted)"))
                      ftruncate(atoi(fd.c_str()), 0);
                  }
                }));
  earlierOnly(report, "visits cut short");
}

// A name wider than the page is cut inside the margins, in its heading, in
// the summary's list and in the footer.
TEST(HistoryReport, KeepsAnOverWideNameInsideThePdfsMargins) {
  const std::string dir = TempDir();
  std::string name;
  for (int i = 0; i < 12; ++i)
    name += "Wolfeschlegelsteinhausenberger";
  // A repeated header and many dropped times give the summary its widest
  // label and a value longer than a line.
  std::string rows = "patient,eye,date,values\n" + name + " Hubert," +
                     "R,2020-01-01,.40|.75|2|0\npatient,eye,date,values\n";
  for (int day = 10; day < 29; ++day)
    rows += "B,R,2020-02-" + std::to_string(day) + " 10:30,.40|.75|2|0\n";
  Outcome r = Main({"--history", "-", dir + "/r.pdf"}, rows);
  ASSERT_EQ(kExitOk, r.status) << r.err;
  const std::string boxes = Output("pdftotext -bbox '" + dir + "/r.pdf' -");
  const std::regex word(
      "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\"[^>]*>"
      "([^<]*)</word>");
  int cut = 0;
  // Each page's words by line and place: words of one line never overlap,
  // so no label runs into its value.
  std::vector<std::map<std::pair<long, double>, double>> lines;
  for (std::sregex_iterator w(boxes.begin(), boxes.end(), word), end; w != end;
       ++w) {
    const double x = std::stod((*w)[1]), right = std::stod((*w)[3]);
    EXPECT_GE(x, 40 - 0.5) << (*w)[4];
    EXPECT_LE(right, 595.276 - 40 + 0.5) << (*w)[4];
    size_t page = 0;
    for (size_t at = boxes.find("<page "); at < size_t(w->position());
         at = boxes.find("<page ", at + 1))
      ++page;
    lines.resize(std::max(lines.size(), page + 1));
    lines[page][{std::lround(std::stod((*w)[2])), x}] = right;
    cut += (*w)[4].str().find("Wolfeschlegel") == 0;
  }
  for (const auto &page : lines)
    for (auto w = page.begin(), next = w;
         w != page.end() && ++next != page.end(); ++w)
      if (next->first.first == w->first.first)
        EXPECT_GE(next->first.second, w->second - 0.5)
            << "line at " << w->first.first << " pt";
  EXPECT_GE(cut, 3) << boxes;
}

// An export is never taken for the report's old copy: refused, by any
// name or link or as standard input, before anything is written.
TEST(HistoryReport, RefusesToWriteOverTheFileItReads) {
  const std::string dir = TempDir();
  const std::string visits = Archive(2);
  const std::string exported = dir + "/export.html";
  std::ofstream(exported) << visits;
  ASSERT_EQ(0, link(exported.c_str(), (dir + "/hard.html").c_str()));
  ASSERT_EQ(0, symlink("export.html", (dir + "/soft.html").c_str()));
  mkdir((dir + "/sub").c_str(), 0777);
  for (const std::pair<std::string, std::string> &names :
       std::vector<std::pair<std::string, std::string>>{
           {exported, exported},
           {exported, dir + "/sub/../export.html"},
           {dir + "/soft.html", dir + "/hard.html"},
           {exported, dir + "/soft.html"},
           {"-", dir + "/hard.html"}}) {
    // "-" is standard input, here opened on the export as a shell would.
    const int saved = dup(STDIN_FILENO);
    if (names.first == "-") {
      const int fd = open(exported.c_str(), O_RDONLY);
      dup2(fd, STDIN_FILENO);
      close(fd);
    }
    Outcome r = Main({"--history", names.first, names.second}, visits);
    dup2(saved, STDIN_FILENO);
    close(saved);
    EXPECT_EQ(kExitUsage, r.status) << names.first << " " << names.second;
    EXPECT_NE(std::string::npos, r.err.find("is the file read")) << r.err;
    EXPECT_EQ(visits, Slurp(exported));
    EXPECT_EQ(
        (std::set<std::string>{"export.html", "hard.html", "soft.html", "sub"}),
        Listing(dir));
  }
}

TEST(HistoryReport, SplitsALargeArchiveIntoPagesThatTheIndexLinks) {
  // Split by its patients or its sketches, whichever is too many.
  const struct {
    long patients, sketches;
    bool inPages;
  } sizes[] = {{kSinglePagePatients, kSinglePageSketches, false},
               {kSinglePagePatients + 1, kSinglePagePatients + 1, true},
               {1, kSinglePageSketches + 1, true}};
  for (const auto &size : sizes) {
    ReportSummary summary;
    summary.patients = size.patients;
    summary.sketches = size.sketches;
    EXPECT_EQ(size.inPages, ReportInPages(summary))
        << size.patients << " patients, " << size.sketches << " sketches";
  }

  const std::string dir = TempDir();
  std::string visits = "patient,eye,date,values\n";
  // Every patient flagged, so that the first and last of each page are;
  // one of them has more sketches than a page holds.
  const int longPatient = kSinglePagePatients / 2, longDates = 900;
  for (int p = 1; p <= kSinglePagePatients + 1; ++p) {
    visits += "P" + std::to_string(p) + ",R,2020-01-01,.40|.75|2|0\n";
    for (int d = 0; p == longPatient && d < longDates; ++d)
      for (const char *eye : {"R", "L"}) {
        char row[64];
        snprintf(row, sizeof row, "P%d,%s,%d-%02d-01,.40|.75|2|0\n", p, eye,
                 1940 + d / 12, 1 + d % 12);
        visits += row;
      }
  }
  Outcome r = Main({"--history", "-", dir + "/r.html"}, visits);
  EXPECT_EQ(kExitOk, r.status) << r.err;
  const std::string index = Slurp(dir + "/r.html");
  EXPECT_EQ(0u, Count(index, "<section"));
  const std::string longName = "P" + std::to_string(longPatient);
  EXPECT_NE(std::string::npos,
            index.find("Patient " + std::to_string(longPatient) +
                       "</a>: " + longName + " (continued)"))
      << "a page of the long patient alone, in the list of pages";

  // Every link of the index and of the pages reaches a file of the folder
  // and an id in it, and every page holds what its pictures refer to,
  // glyphs too; every patient is on one page.
  std::set<std::string> linked;
  std::map<std::string, std::set<std::string>> pages; // their ids
  auto ids = [](const std::string &text) {
    std::set<std::string> found;
    for (size_t at = text.find(" id=\""); at != std::string::npos;
         at = text.find(" id=\"", at + 1))
      found.insert(text.substr(at + 5, text.find('"', at + 5) - at - 5));
    return found;
  };
  std::function<void(const std::string &, const std::string &)> follow =
      [&](const std::string &from, const std::string &text) {
        const std::set<std::string> here = ids(text);
        for (size_t at = text.find("href=\""); at != std::string::npos;
             at = text.find("href=\"", at + 1)) {
          const size_t start = at + 6, end = text.find('"', start);
          const std::string link = text.substr(start, end - start);
          const size_t hash = link.find('#');
          const std::set<std::string> *there = &here;
          if (hash != 0) {
            const std::string target =
                from.substr(0, from.rfind('/') + 1) + link.substr(0, hash);
            if (!pages.count(target)) {
              const std::string page = Slurp(target);
              ASSERT_FALSE(page.empty()) << target << " from " << from;
              pages[target] = ids(page);
              if (target.find("/r-pages/page-") != std::string::npos)
                follow(target, page);
            }
            there = &pages[target];
          }
          if (hash != std::string::npos) {
            ASSERT_EQ(1u, there->count(link.substr(hash + 1)))
                << link << " from " << from;
            if (hash != 0)
              linked.insert(link.substr(hash + 1));
          }
        }
      };
  follow(dir + "/r.html", index);
  EXPECT_EQ(static_cast<size_t>(kSinglePagePatients + 1), linked.size())
      << "the flagged patients";
  size_t sections = 0, continued = 0, sketches = 0;
  const int count = static_cast<int>(Listing(dir + "/r-pages").size());
  for (const auto &page : pages) {
    const size_t name = page.first.find("/r-pages/page-");
    if (name == std::string::npos)
      continue;
    const std::string text = Slurp(page.first);
    // Each page leads to the one before and the one after it.
    const int number = atoi(page.first.c_str() + name + 14);
    char previous[64], next[64];
    snprintf(previous, sizeof previous,
             "<a href=\"page-%04d.html\">Previous page</a>", number - 1);
    snprintf(next, sizeof next, "<a href=\"page-%04d.html\">Next page</a>",
             number + 1);
    EXPECT_EQ(number > 1, text.find(previous) != std::string::npos)
        << page.first;
    EXPECT_EQ(number < count, text.find(next) != std::string::npos)
        << page.first;
    sections += Count(text, "<section class=\"patient\" id=");
    sketches += Count(text, "<td><div class=\"sketch\">");
    // A section goes on only at the top of the next page.
    const size_t more = text.find(" (continued)</h2>");
    if (more != std::string::npos) {
      ++continued;
      EXPECT_EQ(
          text.find("<section"),
          text.rfind("<section class=\"patient\">\n<h2>" + longName, more))
          << page.first;
    }
    EXPECT_LT(text.size(), static_cast<size_t>(kPageBytes) + 100000)
        << page.first;
  }
  EXPECT_GE(pages.size(), 3u) << "the index and two pages or more";
  EXPECT_EQ(static_cast<size_t>(kSinglePagePatients + 1), sections);
  EXPECT_GE(continued, 1u);
  EXPECT_EQ(static_cast<size_t>(kSinglePagePatients + 1 + 2 * longDates),
            sketches);

  // A report of this name small enough for one page takes the folder away.
  visits.erase(visits.rfind("P501,"));
  r = Main({"--history", "-", dir + "/r.html"}, visits);
  EXPECT_EQ(kExitOk, r.status) << r.err;
  EXPECT_EQ(static_cast<size_t>(kSinglePagePatients),
            Count(Slurp(dir + "/r.html"), "<section class=\"patient\""));
  struct stat st;
  EXPECT_NE(0, stat((dir + "/r-pages").c_str(), &st));
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
