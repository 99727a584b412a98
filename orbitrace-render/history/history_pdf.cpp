// The report as a PDF of A4 pages, drawn with the renderer's own code on a
// cairo PDF surface. A row of sketches, both eyes of one band of dates, is
// never split: what does not fit goes to the next page whole, together
// with the patient's heading when it is the first band.
#include "orbitrace-render/history/history_pdf.h"
#include "orbitrace-render/history/history_chart.h"
#include "orbitrace-render/history/report_font.h"
#include "orbitrace-render/history/report_text.h"
#include "orbitrace-render/history/visit_date.h"
#include "orbitrace-render/output_file.h"

#include <cairo-pdf.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <unordered_map>

namespace {

// A4 in points, and the area that is written on.
const double kPageWidth = 595.276, kPageHeight = 841.89;
const double kMargin = 40, kTop = 32, kBottom = kPageHeight - 40;
const double kWidth = kPageWidth - 2 * kMargin;
// A band of sketches: a label column, then kBandColumns columns.
const double kLabelWidth = 44;
const double kColumnWidth = (kWidth - kLabelWidth) / kBandColumns;
const double kSketchWidth = kColumnWidth - 8;
const double kCaptionHeight = 27; // the date and two lines of values
const double kChartHeight = 112;
// 12 px at 100 % zoom.
const double kChartFontSize = 9;
const double kLineSpacing = 1.35;
const double kHeadingHeight = 31, kFlagSize = 9, kSectionGap = 14;

// The number at `at` in the line, moving past it; false when none.
bool Number(const char *line, size_t length, size_t *at, long *number) {
  const size_t start = *at;
  *number = 0;
  while (*at < length && line[*at] >= '0' && line[*at] <= '9' &&
         *at - start < 9)
    *number = *number * 10 + (line[(*at)++] - '0');
  return *at > start;
}

// Whether the line goes on with `text` at `at`, moving past it.
bool Next(const char *line, size_t length, size_t *at, const char *text) {
  const size_t n = strlen(text);
  if (length - *at < n || memcmp(line + *at, text, n) != 0)
    return false;
  *at += n;
  return true;
}

// cairo 1.16 names a form in the resources of a page, or of a form, each
// time it is painted there: a kept drawing painted twice on one page is
// named twice, where a PDF dictionary's keys must be unique. Such a line,
// "   /XObject << /x5 5 0 R /x5 5 0 R >>", has each repeated entry turned
// to spaces, so that no byte moves and the file's table of where each
// object starts stays true. A line of any other form is left as it is.
void BlankRepeatedForms(char *line, size_t length) {
  size_t at = 0;
  if (!Next(line, length, &at, "   /XObject <<"))
    return;
  std::vector<std::pair<size_t, size_t>> repeated; // start, end
  std::unordered_map<long, long> named;            // name: object
  while (!Next(line, length, &at, " >>")) {
    const size_t start = at;
    long name, object;
    if (!Next(line, length, &at, " /x") || !Number(line, length, &at, &name) ||
        !Next(line, length, &at, " ") || !Number(line, length, &at, &object) ||
        !Next(line, length, &at, " 0 R"))
      return;
    auto found = named.emplace(name, object);
    if (!found.second) {
      if (found.first->second != object)
        return;
      repeated.push_back({start, at});
    }
  }
  if (at != length)
    return;
  for (const auto &entry : repeated)
    memset(line + entry.first, ' ', entry.second - entry.first);
}

// The PDF on its way to the file, each line's repeated forms blanked; a
// line is held until its end comes.
struct PdfOutput {
  explicit PdfOutput(OutputFile *to) : file(to) {}
  bool Write(const unsigned char *data, unsigned int size) {
    pending.append(reinterpret_cast<const char *>(data), size);
    size_t start = 0, end;
    while ((end = pending.find('\n', start)) != std::string::npos) {
      BlankRepeatedForms(&pending[start], end - start);
      start = end + 1;
    }
    const bool written = file->Write(pending.data(), start);
    pending.erase(0, start);
    return written;
  }
  // The last line, which no line break ends.
  bool Flush() {
    BlankRepeatedForms(&pending[0], pending.size());
    const bool written = file->Write(pending);
    pending.clear();
    return written;
  }

  OutputFile *file;
  std::string pending;
};

void ForgetDrawings(std::unordered_map<std::string, cairo_surface_t *> *kept) {
  for (auto &drawn : *kept)
    if (drawn.second)
      cairo_surface_destroy(drawn.second);
  kept->clear();
}

class PdfReport : public ReportWriter {
public:
  PdfReport(cairo_surface_t *surface, std::unique_ptr<PdfOutput> output,
            const HistoryOptions &options)
      : output_(std::move(output)), surface_(surface),
        cr_(cairo_create(surface)), text_(cr_, true), options_(options),
        geometry_(
            GeometryFor(options.render.areaWidth, options.render.areaHeight)) {
    options_.render.darkFigures = true;
    scale_ = kSketchWidth / geometry_.width;
    rowHeight_ = geometry_.height * scale_ + kCaptionHeight;
  }
  ~PdfReport() override {
    ForgetSketches();
    ForgetDrawings(&dates_);
    if (chartFrame_)
      cairo_surface_destroy(chartFrame_);
    if (cr_)
      cairo_destroy(cr_);
    if (surface_)
      cairo_surface_destroy(surface_);
  }
  void Summary(const ReportSummary &summary) override;
  void Patient(int section, const PatientHistory &history,
               const std::vector<VisitColumn> &columns,
               const std::vector<Flag> &flags) override;
  bool Finish(std::string *error) override;

private:
  void Font(double size, bool bold, double grey = 0.13);
  double TextWidth(const std::string &text);
  // Cut with an ellipsis to `width` when that is over 0. A link's text is
  // drawn as glyphs (`glyphs`), which give the link its place.
  void Text(const std::string &text, double x, double y, double align = 0,
            double width = 0, bool glyphs = false);
  std::vector<std::string> Wrap(const std::string &text, double width);
  void Paragraph(const std::string &text, double size, double x, double width,
                 const std::string &link = std::string());
  // Starts a new page unless `height` fits below y_.
  void Need(double height);
  void NewPage();
  void Band(const PatientHistory &history,
            const std::vector<VisitColumn> &columns, size_t first, size_t end);
  // The sketch of these values, drawn once and kept; painted from it, the
  // PDF holds each drawing once and refers to it from every page.
  cairo_surface_t *DrawnSketch(const StoredValues &values);
  void ForgetSketches();
  // The charts' frame, drawn once (see DrawChart).
  cairo_surface_t *ChartFrame(const PatientHistory &history);
  // The dates along a chart's foot, drawn once for the first and last visit
  // of a second patient with them (patients seen on the same days share
  // them); null the first time, for them to be drawn on the page.
  cairo_surface_t *ChartDates(const PatientHistory &history);

  // Written to until the surface is let go, which it outlives.
  std::unique_ptr<PdfOutput> output_;
  cairo_surface_t *surface_;
  cairo_t *cr_;
  ReportText text_;
  HistoryOptions options_;
  PictureGeometry geometry_;
  double scale_, rowHeight_;
  double y_ = kTop;
  int page_ = 1;
  std::string made_;
  // Whose the page is, for its footer: the patients with a part of their
  // section on it, and the one whose section is being drawn.
  std::vector<std::string> pagePatients_;
  std::string patient_;
  // By their values, emptied when full so that memory stays bounded: an
  // archive repeats values (steps of .05 and twelve hours).
  std::unordered_map<std::string, cairo_surface_t *> drawn_;
  static const size_t kDrawnKept = 1024;
  cairo_surface_t *chartFrame_ = nullptr;
  // By first and last day; null for dates drawn once so far. Emptied when
  // full, as the sketches.
  std::unordered_map<std::string, cairo_surface_t *> dates_;
};

cairo_surface_t *PdfReport::ChartFrame(const PatientHistory &history) {
  if (!chartFrame_) {
    const cairo_rectangle_t extents = {0, 0, kWidth, kChartHeight};
    chartFrame_ =
        cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
    cairo_t *cr = cairo_create(chartFrame_);
    DrawChart(cr, history, options_.thresholds, kWidth, kChartHeight,
              kChartFontSize, &text_, nullptr, ChartParts::kFrame);
    cairo_destroy(cr);
  }
  return chartFrame_;
}

cairo_surface_t *PdfReport::ChartDates(const PatientHistory &history) {
  int first = 0, last = 0;
  bool any = false;
  for (const std::vector<Visit> &visits : history.eyes)
    for (const Visit &v : visits) {
      first = any ? std::min(first, v.date) : v.date;
      last = any ? std::max(last, v.date) : v.date;
      any = true;
    }
  const std::string key =
      "dates " + std::to_string(first) + " " + std::to_string(last);
  auto found = dates_.find(key);
  if (found == dates_.end()) {
    if (dates_.size() >= kDrawnKept)
      ForgetDrawings(&dates_);
    dates_.emplace(key, nullptr);
    return nullptr;
  }
  if (!found->second) {
    const cairo_rectangle_t extents = {0, 0, kWidth, kChartHeight};
    found->second =
        cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
    cairo_t *cr = cairo_create(found->second);
    DrawChart(cr, history, options_.thresholds, kWidth, kChartHeight,
              kChartFontSize, &text_, nullptr, ChartParts::kDates);
    cairo_destroy(cr);
    SetDrawingId(found->second, key);
  }
  return found->second;
}

void PdfReport::ForgetSketches() { ForgetDrawings(&drawn_); }

cairo_surface_t *PdfReport::DrawnSketch(const StoredValues &values) {
  const std::string key = FormatValues(values);
  auto found = drawn_.find(key);
  if (found != drawn_.end())
    return found->second;
  if (drawn_.size() >= kDrawnKept)
    ForgetSketches();
  const cairo_rectangle_t extents = {0, 0, static_cast<double>(geometry_.width),
                                     static_cast<double>(geometry_.height)};
  cairo_surface_t *surface =
      cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
  cairo_t *cr = cairo_create(surface);
  DrawSketch(cr, values, options_.render);
  cairo_destroy(cr);
  SetDrawingId(surface, "sketch " + key);
  drawn_.emplace(key, surface);
  return surface;
}

void PdfReport::Font(double size, bool bold, double grey) {
  text_.Font(size, bold);
  cairo_set_source_rgb(cr_, grey, grey, grey);
}

double PdfReport::TextWidth(const std::string &text) {
  return text_.Width(cr_, text);
}

void PdfReport::Text(const std::string &text, double x, double y, double align,
                     double width, bool glyphs) {
  if (glyphs)
    text_.ShowGlyphs(cr_, text, x, y, align, width);
  else
    text_.Show(cr_, text, x, y, align, width);
}

// The text in lines of at most `width`, broken at spaces (a longer word is
// cut when drawn).
std::vector<std::string> PdfReport::Wrap(const std::string &text,
                                         double width) {
  std::vector<std::string> lines;
  // Most texts fit: measured once, not word by word.
  if (!text.empty() && text.front() != ' ' && text.back() != ' ' &&
      TextWidth(text) <= width)
    return {text};
  std::string line;
  size_t at = 0;
  while (at < text.size()) {
    size_t space = text.find(' ', at);
    if (space == std::string::npos)
      space = text.size();
    const std::string word = text.substr(at, space - at);
    if (!line.empty() && TextWidth(line + " " + word) > width) {
      lines.push_back(line);
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    at = space + 1;
  }
  if (!line.empty())
    lines.push_back(line);
  return lines;
}

void PdfReport::Paragraph(const std::string &text, double size, double x,
                          double width, const std::string &link) {
  const double lineHeight = size * kLineSpacing;
  for (const std::string &line : Wrap(text, width)) {
    Need(lineHeight);
    // A link inside a paragraph's structure element: outside any, cairo
    // 1.16 makes it the child of a structure root that it never writes,
    // and the PDF refers to an object it does not hold.
    if (!link.empty()) {
      cairo_tag_begin(cr_, "P", "");
      cairo_tag_begin(cr_, CAIRO_TAG_LINK, ("dest='" + link + "'").c_str());
    }
    Text(line, x, y_ + size, 0, width, !link.empty());
    if (!link.empty()) {
      cairo_tag_end(cr_, CAIRO_TAG_LINK);
      cairo_tag_end(cr_, "P");
    }
    y_ += lineHeight;
  }
}

void PdfReport::NewPage() {
  // A printed page says whose it is and when it was made. The footer
  // leaves the font and colour of the text it interrupts.
  cairo_save(cr_);
  Font(7.5, false, 0.45);
  const std::string number = "page " + std::to_string(page_);
  Text(number, kPageWidth - kMargin, kPageHeight - 24, 1);
  std::string whose;
  for (const std::string &patient : pagePatients_)
    whose += (whose.empty() ? "" : "; ") + patient;
  Text("Visit history, made " + made_ +
           (whose.empty() ? std::string(": summary") : ": " + whose),
       kMargin, kPageHeight - 24, 0, kWidth - TextWidth(number) - 12);
  cairo_restore(cr_);
  cairo_show_page(cr_);
  ++page_;
  y_ = kTop;
  pagePatients_.clear();
  if (!patient_.empty())
    pagePatients_.push_back(patient_);
}

void PdfReport::Need(double height) {
  if (y_ + height > kBottom && y_ > kTop)
    NewPage();
}

void PdfReport::Summary(const ReportSummary &s) {
  made_ = MadeText(s.made);
  Font(20, true);
  Text("Visit history", kMargin, y_ + 20);
  y_ += 30;
  Font(10, false, 0.3);
  Paragraph("From " + DisplayText(s.source) + ", made " + made_ + ".", 10,
            kMargin, kWidth);
  y_ += 6;
  // The values start past the widest label and wrap inside the margin, so
  // that no label runs into its value and no value off the page.
  const std::vector<SummaryRow> rows = SummaryRows(s);
  Font(10.5, true);
  double labels = 90;
  for (const SummaryRow &row : rows)
    labels = std::max(labels, TextWidth(row.label) + 8);
  for (const SummaryRow &row : rows) {
    Font(10.5, true);
    Text(row.label, kMargin, y_ + 11);
    Font(10.5, false);
    for (const std::string &line : Wrap(row.value, kWidth - labels)) {
      Need(15);
      Text(line, kMargin + labels, y_ + 11, 0, kWidth - labels);
      y_ += 15;
    }
  }
  y_ += 6;
  Font(9, false, 0.3);
  Paragraph(FlagsExplained(options_.thresholds), 9, kMargin, kWidth);
  y_ += 10;
  Need(40);
  Font(12, true);
  Text(kFlaggedHeading, kMargin, y_ + 12);
  y_ += 20;
  Font(10, false);
  if (s.flagged.empty())
    Paragraph("None.", 10, kMargin, kWidth);
  for (const ReportSummary::Flagged &f : s.flagged) {
    std::string line = DisplayText(f.patient) + ":";
    for (size_t i = 0; i < f.labels.size(); ++i)
      line += (i ? ", " : " ") + f.labels[i];
    Font(10, false, 0.1);
    Paragraph(line, 10, kMargin, kWidth, "p" + std::to_string(f.section));
  }
  if (s.problemCount > 0) {
    y_ += 10;
    Need(40);
    Font(12, true);
    Text(kLeftOutHeading, kMargin, y_ + 12);
    y_ += 20;
    Font(9.5, false);
    for (const VisitProblem &p : s.problems)
      Paragraph(DisplayText(LeftOutLine(p)), 9.5, kMargin, kWidth);
    const std::string more = LeftOutBeyondList(s);
    if (!more.empty())
      Paragraph(more, 9.5, kMargin, kWidth);
  }
  NewPage();
}

void PdfReport::Band(const PatientHistory &history,
                     const std::vector<VisitColumn> &columns, size_t first,
                     size_t end) {
  for (int eye = kRightEye; eye <= kLeftEye; ++eye) {
    Font(9, true);
    Text(eye == kRightEye ? "Right eye" : "Left eye", kMargin,
         y_ + geometry_.height * scale_ / 2 + 3);
    for (size_t c = first; c < end; ++c) {
      const double x = kMargin + kLabelWidth + (c - first) * kColumnWidth;
      const double centre = x + kColumnWidth / 2;
      const std::string date = FormatIsoDate(columns[c].date);
      const int v = columns[c].visit[eye];
      if (v < 0) {
        Font(7.5, false, 0.55);
        Text("no sketch", centre, y_ + geometry_.height * scale_ / 2, 0.5);
        Text(date, centre, y_ + geometry_.height * scale_ / 2 + 10, 0.5);
        continue;
      }
      const StoredValues &values = history.eyes[eye][v].values;
      cairo_save(cr_);
      cairo_translate(cr_, x + 4, y_);
      cairo_scale(cr_, scale_, scale_);
      cairo_set_source_surface(cr_, DrawnSketch(values), 0, 0);
      cairo_paint(cr_);
      cairo_restore(cr_);
      const double base = y_ + geometry_.height * scale_;
      Font(7.5, true);
      Text(date, centre, base + 8.5, 0.5);
      Font(7.5, false, 0.25);
      const ValueLines lines = LabelledValues(values);
      Text(lines.ratios, centre, base + 16.5, 0.5);
      Text(lines.place, centre, base + 24.5, 0.5);
    }
    y_ += rowHeight_;
  }
  y_ += 8;
}

void PdfReport::Patient(int section, const PatientHistory &history,
                        const std::vector<VisitColumn> &columns,
                        const std::vector<Flag> &flags) {
  const double band = 2 * rowHeight_ + 8;
  // A section that fits on a page is not split; a longer one starts where
  // its heading and first band fit.
  Font(kFlagSize, false);
  size_t flagLines = flags.empty() ? 1 : 0;
  for (const Flag &f : flags)
    flagLines +=
        Wrap("- " + FlagSentence(f, options_.thresholds), kWidth).size();
  const size_t bands = (columns.size() + kBandColumns - 1) / kBandColumns;
  const double whole = kHeadingHeight + bands * band +
                       (columns.empty() ? 0 : kChartHeight + 6) +
                       flagLines * kFlagSize * kLineSpacing;
  if (whole <= kBottom - kTop)
    Need(whole);
  else
    Need(kHeadingHeight + (columns.empty() ? 0 : band));
  patient_ = DisplayText(PatientHeading(history));
  pagePatients_.push_back(patient_);
  cairo_set_source_rgb(cr_, 0.6, 0.6, 0.6);
  cairo_set_line_width(cr_, 0.5);
  cairo_move_to(cr_, kMargin, y_);
  cairo_line_to(cr_, kMargin + kWidth, y_);
  cairo_stroke(cr_);
  const std::string dest = "name='p" + std::to_string(section) + "'";
  cairo_tag_begin(cr_, CAIRO_TAG_DEST, dest.c_str());
  Font(13, true);
  Text(DisplayText(PatientHeading(history)), kMargin, y_ + 16, 0, kWidth, true);
  cairo_tag_end(cr_, CAIRO_TAG_DEST);
  Font(8.5, false, 0.35);
  Text(VisitsSeen(columns), kMargin, y_ + 27);
  y_ += kHeadingHeight;

  for (size_t first = 0; first < columns.size(); first += kBandColumns) {
    Need(band);
    Band(history, columns, first,
         std::min(columns.size(), first + kBandColumns));
  }
  if (!columns.empty()) {
    Need(kChartHeight + 6);
    cairo_save(cr_);
    cairo_translate(cr_, kMargin, y_);
    cairo_set_source_surface(cr_, ChartFrame(history), 0, 0);
    cairo_paint(cr_);
    if (cairo_surface_t *dates = ChartDates(history)) {
      cairo_set_source_surface(cr_, dates, 0, 0);
      cairo_paint(cr_);
    } else {
      DrawChart(cr_, history, options_.thresholds, kWidth, kChartHeight,
                kChartFontSize, &text_, nullptr, ChartParts::kDates);
    }
    DrawChart(cr_, history, options_.thresholds, kWidth, kChartHeight,
              kChartFontSize, &text_, nullptr, ChartParts::kSeries);
    cairo_restore(cr_);
    y_ += kChartHeight + 6;
  }
  Font(kFlagSize, false);
  if (flags.empty())
    Paragraph(kNoFlaggedChange, kFlagSize, kMargin, kWidth);
  for (const Flag &f : flags)
    Paragraph("- " + FlagSentence(f, options_.thresholds), kFlagSize, kMargin,
              kWidth);
  y_ += kSectionGap;
  patient_.clear();
}

bool PdfReport::Finish(std::string *error) {
  if (y_ > kTop)
    NewPage();
  cairo_destroy(cr_);
  cr_ = nullptr;
  cairo_surface_finish(surface_);
  const cairo_status_t status = cairo_surface_status(surface_);
  cairo_surface_destroy(surface_);
  surface_ = nullptr;
  output_->Flush();
  // A failed write stops cairo with a status of its own; the file's
  // reason says more.
  std::string closing;
  if (!output_->file->Close(&closing)) {
    *error = closing;
    return false;
  }
  if (status != CAIRO_STATUS_SUCCESS) {
    *error = std::string("cannot write the report: ") +
             cairo_status_to_string(status);
    return false;
  }
  return true;
}

cairo_status_t WritePdf(void *output, const unsigned char *data,
                        unsigned int size) {
  return static_cast<PdfOutput *>(output)->Write(data, size)
             ? CAIRO_STATUS_SUCCESS
             : CAIRO_STATUS_WRITE_ERROR;
}

} // namespace

std::unique_ptr<ReportWriter> OpenPdfReport(OutputFile *file,
                                            const HistoryOptions &options,
                                            std::string *error) {
  std::unique_ptr<PdfOutput> output(new PdfOutput(file));
  cairo_surface_t *surface = cairo_pdf_surface_create_for_stream(
      WritePdf, output.get(), kPageWidth, kPageHeight);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    *error = std::string("cannot write the report: ") +
             cairo_status_to_string(cairo_surface_status(surface));
    cairo_surface_destroy(surface);
    return nullptr;
  }
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE,
                                 "Visit history");
  return std::unique_ptr<ReportWriter>(
      new PdfReport(surface, std::move(output), options));
}
