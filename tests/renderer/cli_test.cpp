#include "orbitrace-render/batch.h"
#include "orbitrace-render/render_cli.h"
#include "orbitrace-render/status_printer.h"
#include "tests/renderer/render_main.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool Exists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

TEST(RenderMain, HelpStatesTheDefaultSizeAndSucceeds) {
  Outcome r = Main({"--help"});
  EXPECT_EQ(kExitOk, r.status);
  EXPECT_NE(std::string::npos, r.out.find("default 289x263"));
  EXPECT_NE(std::string::npos, r.out.find("--batch"));
  // Every exit status, once.
  EXPECT_NE(std::string::npos,
            r.out.find("\nExit status:\n  0  all of it done\n  1  a part "
                       "failed"));
  EXPECT_NE(std::string::npos, r.out.find("\n  3  no report or export made"));
  EXPECT_EQ(r.out.find("Exit status"), r.out.rfind("Exit status"));
}

TEST(RenderMain, RefusesBadArgumentsWithAMessageAndStatusTwo) {
  const std::string dir = TempDir();
  const std::string visits = "patient,eye,date,values\n";
  std::ofstream(dir + "/v.json") << visits;
  mkdir((dir + "/l").c_str(), 0777);
  symlink((dir + "/v.json").c_str(), (dir + "/l/Observation.ndjson").c_str());
  struct Case {
    std::vector<std::string> args;
    const char *message;
  } cases[] = {
      {{}, "expected VALUES and OUTPUT"},
      {{".30|.40|3|-.20"}, "expected VALUES and OUTPUT"},
      {{".3|.40|3|-.20", dir + "/a.png"}, "horizontal ratio \".3\""},
      {{".30|.40|3|-.20", dir + "/a.jpg"}, "does not end in .png"},
      {{"--size", "289", ".30|.40|3|-.20", dir + "/a.png"}, "size \"289\""},
      {{"--size", "8x8", ".30|.40|3|-.20", dir + "/a.png"}, "size \"8x8\""},
      {{"--size"}, "--size needs WxH"},
      {{"--colour-scheme", "red"}, "unknown option '--colour-scheme'\n"},
      {{"--histroy", "v.csv", "r.html"},
       "unknown option '--histroy', did you mean '--history'?"},
      {{"--size=289", "--antialis", ".30|.40|3|-.20", dir + "/a.png"},
       "--size: size \"289\""},
      {{"--antialis", ".30|.40|3|-.20", dir + "/a.png"},
       "unknown option '--antialis', did you mean '--antialias'?"},
      // Three edits away, the farthest that is still suggested.
      {{"--colour", "name=Name", "--history", "v.csv", "r.html"},
       "unknown option '--colour', did you mean '--column'?"},
      {{"--antialias=1", ".30|.40|3|-.20", dir + "/a.png"},
       "--antialias takes no value"},
      {{"--batch", "-"}, "exactly one output PATTERN"},
      {{"--batch", "-", dir + "/s.png"}, "no '#'"},
      {{"--batch", "-", dir + "/#-#.png"}, "more than one run"},
      {{"--bench", "0"}, "--bench needs a count"},
      {{"--bench", "5x"}, "--bench needs a count"},
      {{"--threads", "0"}, "--threads needs a number from 1 to 64"},
      {{"--threads", "65"}, "--threads needs a number from 1 to 64"},
      {{"--fhir", "-"}, "--fhir needs exactly one OUTPUT"},
      {{"--fhir", "-", dir + "/a.xml"}, "does not end in .json and is not a"},
      {{"--rise", ".2", "--fhir", "-", dir + "/a.json"},
       "unknown option --rise for health records"},
      {{"--fhir", "-", "--history", "-", dir + "/a.json"},
       "one of --fhir, --bench-fhir, --history"},
      {{"--patient-system", "urn:a b", "--fhir", "-", dir + "/a.json"},
       "--patient-system: \"urn:a b\" is not an absolute URI"},
      {{"--patient-system", "clinic", "--fhir", "-", dir + "/a.json"},
       "is not an absolute URI"},
      // Two sites' patient 100 would be one.
      {{"--fhir", "-", dir + "/a.json"}, "--fhir needs --patient-system URI"},
      {{"--patient-system", "1.2.3", "--bundle-entries", "8", "--fhir", "-",
        dir + "/a.json"},
       "OUTPUT must be a folder"},
      {{"--patient-system", "1.2.3", "--bundle-entries", "2", "--fhir", "-",
        dir + "/b/"},
       "--bundle-entries needs at least 3"},
      {{"--bundle-bytes", "1k", "--fhir", "-", dir + "/b/"},
       "--bundle-bytes needs a size"},
      // An export named as its own output, through a link too.
      {{"--patient-system", "urn:x", "--fhir", dir + "/v.json",
        dir + "/v.json"},
       "is the file read"},
      {{"--patient-system", "urn:x", "--fhir", dir + "/v.json", dir + "/l/"},
       "is the file read"},
  };
  for (const Case &c : cases) {
    Outcome r = Main(c.args);
    EXPECT_EQ(kExitUsage, r.status) << c.message;
    EXPECT_NE(std::string::npos, r.err.find(c.message)) << r.err;
  }
  EXPECT_FALSE(Exists(dir + "/a.png"));
  EXPECT_FALSE(Exists(dir + "/a.json"));
  std::ifstream kept(dir + "/v.json");
  EXPECT_EQ(visits, std::string(std::istreambuf_iterator<char>(kept), {}));
}

TEST(RenderMain, WritesOnePictureInTheFormatOfItsName) {
  const std::string dir = TempDir();
  for (const char *name : {"/a.png", "/a.svg", "/a.pdf"}) {
    Outcome r = Main({".30|.40|3|-.20", dir + name});
    EXPECT_EQ(kExitOk, r.status) << r.err;
    EXPECT_TRUE(Exists(dir + name)) << name;
  }
  Outcome r = Main({".30|.40|3|-.20", dir + "/missing/a.png"});
  EXPECT_EQ(kExitFailed, r.status);
  EXPECT_NE(std::string::npos, r.err.find("cannot write")) << r.err;
}

TEST(NameForRow, PadsTheRowNumberToTheRunOfHashes) {
  EXPECT_EQ("s-0007.png", NameForRow("s-####.png", 7));
  EXPECT_EQ("s-12345.png", NameForRow("s-####.png", 12345));
  EXPECT_EQ("3.svg", NameForRow("#.svg", 3));
  EXPECT_EQ("out/r042x.pdf", NameForRow("out/r###x.pdf", 42));
}

TEST(Batch, ReportsBadRowsByNumberAndGoesOn) {
  const std::string dir = TempDir();
  const std::string rows = ".30|.40|3|-.20\n"
                           ".3|.40|3|-.20\n"
                           "\n"
                           "1|1|12|1\r\n"
                           ".30|.40|13|0\n"
                           ".50|.50|9|0|Left eye\n"
                           "0|0|6|.05";
  Outcome r = Main({"--batch", "-", dir + "/s-##.png"}, rows);
  EXPECT_EQ(kExitFailed, r.status);
  EXPECT_NE(std::string::npos,
            r.err.find("row 2: horizontal ratio \".3\" is not one of"))
      << r.err;
  EXPECT_NE(std::string::npos, r.err.find("row 5: location \"13\"")) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("row 6: expected 4 values")) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("3 of 6 rows failed")) << r.err;
  EXPECT_EQ(std::string::npos, r.err.find("row 3")) << "a blank line is no row";
  EXPECT_EQ(std::string::npos, r.err.find("row 4")) << r.err;
  for (int row : {1, 4, 7})
    EXPECT_TRUE(Exists(NameForRow(dir + "/s-##.png", row))) << row;
  for (int row : {2, 3, 5, 6})
    EXPECT_FALSE(Exists(NameForRow(dir + "/s-##.png", row))) << row;
}

TEST(Batch, ShowsProgressOnlyOnASmartTerminalUnlessQuiet) {
  const std::string dir = TempDir();
  const std::string rows = ".30|.40|3|-.20\n.3|.40|3|-.20\n1|1|12|1\n";
  const std::string visits = "patient,eye,date,values\nA,R,2020-01-01,"
                             ".30|.40|3|-.20\nA,L,2020-01-01,.33|.40|3|-.20\n"
                             "A,L,2021-01-01,1|1|12|1\n";
  const struct {
    bool history, smart, quiet, bar;
  } cases[] = {{false, true, false, true},
               {false, true, true, false},
               {false, false, false, false},
               {true, true, false, true},
               {true, true, true, false}};
  for (const auto &c : cases) {
    std::vector<std::string> args = {"--batch", "-", dir + "/s-#.png"};
    if (c.history)
      args = {"--history", "-", dir + "/r.html"};
    if (c.quiet)
      args.push_back("--quiet");
    Outcome r = Main(args, c.history ? visits : rows, c.smart);
    EXPECT_EQ(kExitFailed, r.status) << r.err;
    EXPECT_EQ(c.bar,
              r.err.find(c.history ? "] 2/2" : "] 3/3") != std::string::npos)
        << r.err;
    if (!c.bar && !c.history) {
      EXPECT_EQ("orbitrace-render: row 2: horizontal ratio \".3\" is not one "
                "of 1, .95 ... .05, 0\norbitrace-render: 1 of 3 rows failed\n",
                r.err)
          << "only the messages that matter";
    }
  }
}

TEST(Batch, SucceedsWhenEveryRowIsDrawnAndReadsFiles) {
  const std::string dir = TempDir();
  const std::string list = dir + "/rows.txt";
  FILE *f = fopen(list.c_str(), "w");
  ASSERT_NE(nullptr, f);
  fputs(".30|.40|3|-.20\n.95|.05|11|-.95\n", f);
  fclose(f);
  // Every number of threads from 1 to 64 is taken.
  for (const char *threads : {"1", "64"}) {
    Outcome r = Main(
        {"--quiet", "--threads", threads, "--batch", list, dir + "/#.svg"});
    EXPECT_EQ(kExitOk, r.status) << threads << ": " << r.err;
    EXPECT_EQ("", r.err);
    EXPECT_TRUE(Exists(dir + "/1.svg"));
    EXPECT_TRUE(Exists(dir + "/2.svg"));
    remove((dir + "/1.svg").c_str());
    remove((dir + "/2.svg").c_str());
  }

  Outcome r = Main({"--batch", dir + "/absent.txt", dir + "/#.png"});
  EXPECT_EQ(kExitFailed, r.status);
  EXPECT_NE(std::string::npos, r.err.find("cannot read")) << r.err;
}

TEST(StatusPrinter, ShowsABarOnlyOnASmartTerminalAfterTheFirstSecond) {
  std::ostringstream err;
  double now = 100.0;
  StatusPrinter bar(
      err, [&] { return now; }, true);
  bar.SetTotal(4);
  now = 100.5;
  bar.Update(1);
  bar.Message("row 2: bad");
  EXPECT_EQ("orbitrace-render: row 2: bad\n", err.str())
      << "no bar within the first second";
  now = 101.5;
  bar.Update(2);
  EXPECT_NE(std::string::npos, err.str().find("] 2/4"));
  EXPECT_NE(std::string::npos, err.str().find("[###############     "));
  bar.Message("row 3: bad");
  now = 101.7;
  bar.Message("row 4: bad");
  // Each message stands on a line of its own; the bar comes back under it
  // once a tenth of a second has passed since it was drawn.
  const std::string s = err.str();
  EXPECT_NE(std::string::npos, s.find("\rorbitrace-render: row 3: bad\n"
                                      "orbitrace-render: row 4: bad\n\r["))
      << s;
  bar.Finish();
  const std::string finished = err.str();
  EXPECT_EQ('\n', finished.back());
  // A message after the end stands alone, with no bar drawn again.
  bar.Message("1 of 4 rows failed");
  EXPECT_EQ(finished + "orbitrace-render: 1 of 4 rows failed\n", err.str());

  // At most ten redraws a second, whatever the number of updates; the last
  // one is always drawn.
  std::ostringstream busy;
  now = 0;
  StatusPrinter fast(
      busy, [&] { return now += 0.001; }, true);
  fast.SetTotal(3000);
  for (long done = 1; done <= 3000; ++done)
    fast.Update(done);
  fast.Finish();
  const std::string drawn = busy.str();
  const auto draws = std::count(drawn.begin(), drawn.end(), '\r');
  EXPECT_GE(draws, 15) << "2 s of bar";
  EXPECT_LE(draws, 22) << "2 s of bar";
  EXPECT_NE(std::string::npos, drawn.find("] 3000/3000\n"));

  // A file or a pipe gets the messages and nothing else, however long the
  // work takes.
  std::ostringstream log;
  StatusPrinter plain(
      log, [&] { return now += 10; }, false);
  plain.SetTotal(4);
  plain.Update(1);
  plain.Message("row 2: bad");
  plain.Update(4);
  plain.Finish();
  EXPECT_EQ("orbitrace-render: row 2: bad\n", log.str());
}

TEST(SmartTerminal, IsATerminalThatIsNotDumb) {
  const struct {
    bool isTerminal;
    const char *term;
    bool smart;
  } cases[] = {{true, "xterm-256color", true},
               {true, "dumb", false},
               {true, nullptr, false},
               {true, "", false},
               {false, "xterm", false}};
  for (const auto &c : cases)
    EXPECT_EQ(c.smart, SmartTerminal(c.isTerminal, c.term))
        << c.isTerminal << " " << (c.term ? c.term : "(unset)");
}

} // namespace
