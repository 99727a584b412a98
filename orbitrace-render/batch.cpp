#include "orbitrace-render/batch.h"

#include "orbitrace-render/status.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <istream>
#include <mutex>
#include <thread>
#include <vector>

bool CheckPattern(const std::string &pattern, std::string *error) {
  std::string::size_type first = pattern.find('#');
  if (first == std::string::npos) {
    *error = "pattern \"" + pattern + "\" has no '#' for the row number";
    return false;
  }
  std::string::size_type end = pattern.find_first_not_of('#', first);
  if (end != std::string::npos && pattern.find('#', end) != std::string::npos) {
    *error = "pattern \"" + pattern + "\" has more than one run of '#'";
    return false;
  }
  OutputFormat format;
  if (!FormatForName(pattern, &format)) {
    *error = "pattern \"" + pattern + "\" does not end in .png, .svg or .pdf";
    return false;
  }
  return true;
}

std::string NameForRow(const std::string &pattern, int row) {
  std::string::size_type first = pattern.find('#');
  std::string::size_type end = pattern.find_first_not_of('#', first);
  if (end == std::string::npos)
    end = pattern.size();
  std::string number = std::to_string(row);
  if (number.size() < end - first)
    number.insert(0, end - first - number.size(), '0');
  return pattern.substr(0, first) + number + pattern.substr(end);
}

int DefaultThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(std::min(cores, 64u));
}

namespace {

// What became of one row; `error` is empty when its picture was written.
struct RowOutcome {
  bool done = false;
  std::string error;
};

std::string RenderRow(const std::string &line, const std::string &path,
                      const RenderOptions &options, bool cairoPng) {
  StoredValues values;
  std::string error;
  if (!ParseValues(line, &values, &error))
    return error;
  if (!cairoPng)
    return RenderToFile(values, options, path, &error) ? "" : error;
  cairo_surface_t *surface = RenderToImage(values, options);
  const cairo_status_t status =
      cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS)
    return "cannot write \"" + path + "\": " + cairo_status_to_string(status);
  return "";
}

struct Row {
  int number;
  std::string values;
};

// The rows that hold values, each with its line number; blank lines
// skipped.
std::vector<Row> ReadRows(std::istream &rows) {
  std::vector<Row> work;
  int number = 0;
  for (std::string line; std::getline(rows, line);) {
    ++number;
    // Files written on Windows end their lines in CR LF.
    while (!line.empty() &&
           (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    line.erase(0, line.find_first_not_of(" \t"));
    if (!line.empty())
      work.push_back({number, line});
  }
  return work;
}

} // namespace

BatchResult RunBatch(std::istream &rows, const std::string &pattern,
                     const RenderOptions &options, const BatchOptions &batch,
                     Status *status) {
  // Rows are read first so that the status knows the total.
  const std::vector<Row> work = ReadRows(rows);
  status->SetTotal(static_cast<long>(work.size()));

  // Each row is a file of its own, so workers take rows in any order; this
  // thread reports them in row order, so the messages, the files and the
  // result do not depend on the number of threads.
  std::vector<RowOutcome> outcomes(work.size());
  std::mutex mutex;
  std::condition_variable rowDone;
  std::atomic<size_t> next{0};
  auto worker = [&] {
    for (size_t i; (i = next++) < work.size();) {
      std::string error =
          RenderRow(work[i].values, NameForRow(pattern, work[i].number),
                    options, batch.cairoPng);
      std::lock_guard<std::mutex> lock(mutex);
      outcomes[i].error = std::move(error);
      outcomes[i].done = true;
      rowDone.notify_one();
    }
  };
  const size_t threads = std::max<size_t>(
      1, std::min<size_t>(static_cast<size_t>(batch.threads), work.size()));
  std::vector<std::thread> pool;
  for (size_t t = 0; t < threads; ++t)
    pool.emplace_back(worker);

  BatchResult result;
  for (size_t i = 0; i < work.size(); ++i) {
    std::string error;
    {
      std::unique_lock<std::mutex> lock(mutex);
      rowDone.wait(lock, [&] { return outcomes[i].done; });
      error.swap(outcomes[i].error);
    }
    if (!error.empty()) {
      status->Message("row " + std::to_string(work[i].number) + ": " + error);
      ++result.failed;
    } else {
      ++result.rendered;
    }
    status->Update(static_cast<long>(i + 1));
  }
  for (std::thread &t : pool)
    t.join();
  status->Finish();
  return result;
}
