// orbitrace-render's whole program run in the test process, as a person
// would run it, with its status and both output streams.
#pragma once

#include "orbitrace-render/render_cli.h"

#include <stdlib.h>

#include <sstream>
#include <string>
#include <vector>

struct Outcome {
  int status;
  std::string out, err;
};

// Standard input as a pipe gives it: read once, with no going back.
class PipeInput : public std::streambuf {
public:
  explicit PipeInput(const std::string &text) : text_(text) {
    setg(&text_[0], &text_[0], &text_[0] + text_.size());
  }

private:
  std::string text_;
};

inline Outcome Main(std::vector<std::string> args,
                    const std::string &input = "") {
  args.insert(args.begin(), "orbitrace-render");
  std::vector<const char *> argv;
  for (const std::string &a : args)
    argv.push_back(a.c_str());
  PipeInput pipe(input);
  std::istream in(&pipe);
  std::ostringstream out, err;
  Outcome r;
  r.status =
      RenderMain(static_cast<int>(argv.size()), argv.data(), in, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

// A new folder for one test's files.
inline std::string TempDir() {
  char tmpl[] = "/tmp/orbt_render_XXXXXX";
  return mkdtemp(tmpl);
}
