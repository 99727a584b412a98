#include "orbitrace-render/status_printer.h"

#include <ostream>

namespace {

// A bar redrawn more often than this looks no smoother and costs the
// terminal a line each time.
const double kRedrawSeconds = 0.1;
const int kBarWidth = 30;

} // namespace

bool SmartTerminal(bool isTerminal, const char *term) {
  return isTerminal && term && *term && std::string(term) != "dumb";
}

StatusPrinter::StatusPrinter(std::ostream &err, std::function<double()> now,
                             bool smart)
    : err_(err), now_(std::move(now)), start_(now_()), smart_(smart) {}

void StatusPrinter::Draw(double now) {
  const int filled = total_ > 0
                         ? static_cast<int>(1LL * kBarWidth * done_ / total_)
                         : kBarWidth;
  err_ << "\r[" << std::string(filled, '#')
       << std::string(kBarWidth - filled, ' ') << "] " << done_ << "/" << total_
       << std::flush;
  drawn_ = now;
  onScreen_ = true;
}

void StatusPrinter::Update(long done) {
  done_ = done;
  if (!smart_)
    return;
  const double now = now_();
  if (!shown_ && now - start_ <= 1.0)
    return;
  // The last update is always drawn, so the bar ends full.
  if (shown_ && done != total_ && now - drawn_ < kRedrawSeconds)
    return;
  shown_ = true;
  Draw(now);
}

void StatusPrinter::Message(const std::string &line) {
  if (onScreen_)
    err_ << "\r" << std::string(50, ' ') << "\r";
  onScreen_ = false;
  err_ << "orbitrace-render: " << line << "\n";
  // The bar comes back under the message when it is due; otherwise the
  // next update brings it back.
  if (shown_) {
    const double now = now_();
    if (now - drawn_ >= kRedrawSeconds)
      Draw(now);
  }
  err_ << std::flush;
}

void StatusPrinter::Finish() {
  if (shown_) {
    Draw(now_());
    err_ << "\n" << std::flush;
  }
  // What is said after the end, such as the count of failures, stands alone.
  shown_ = onScreen_ = false;
}
