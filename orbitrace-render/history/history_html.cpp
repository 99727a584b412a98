// The report as one self-contained web page: sketches and charts are
// inline SVG drawn by the renderer's own code through cairo's SVG surface,
// so the page needs no script, file or network, and prints on A4. An
// archive too large for a browser to open as one page becomes an index
// page and a folder of pages of a bounded size.
#include "orbitrace-render/history/history_html.h"
#include "orbitrace-render/history/history_chart.h"
#include "orbitrace-render/history/report_text.h"
#include "orbitrace-render/history/svg_inline.h"
#include "orbitrace-render/history/visit_date.h"
#include "orbitrace-render/output_file.h"

#include <cairo-svg.h>

#include <functional>
#include <memory>
#include <unordered_map>

#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Display sizes in CSS pixels.
const double kSketchWidth = 176, kPrintSketchWidth = 100;
const double kChartWidth = 660, kChartHeight = 210;
// The chart is shown at its own size, so this is in CSS pixels.
const double kChartFontSize = 12;

cairo_status_t AppendTo(void *closure, const unsigned char *data,
                        unsigned int size) {
  static_cast<std::string *>(closure)->append(
      reinterpret_cast<const char *>(data), size);
  return CAIRO_STATUS_SUCCESS;
}

// A cairo SVG document of the given size in points, drawn by `draw`.
template <typename Draw>
std::string SvgDocument(double width, double height, Draw draw) {
  std::string svg;
  cairo_surface_t *surface =
      cairo_svg_surface_create_for_stream(AppendTo, &svg, width, height);
  cairo_t *cr = cairo_create(surface);
  draw(cr);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  cairo_surface_destroy(surface);
  return svg;
}

// A page's file name in the folder, 1 for the first.
const char kPagePrefix[] = "page-", kPageSuffix[] = ".html";
std::string PageName(int page) {
  return NumberedName(kPagePrefix, page, kPageSuffix);
}

bool IsPageName(const char *name) {
  int page;
  char end;
  return sscanf(name, "page-%d.htm%c", &page, &end) == 2 && end == 'l' &&
         PageName(page) == name;
}

// Takes away a folder of pages; a folder that holds anything else stays.
bool RemovePages(const std::string &folder) {
  DIR *dir = opendir(folder.c_str());
  if (!dir)
    return errno == ENOENT;
  while (const dirent *entry = readdir(dir))
    if (IsPageName(entry->d_name))
      unlink((folder + "/" + entry->d_name).c_str());
  closedir(dir);
  return rmdir(folder.c_str()) == 0;
}

class HtmlReport : public ReportWriter {
public:
  HtmlReport(OutputFile *file, const HistoryOptions &options)
      : index_(file), file_(file), output_(file->path()), options_(options),
        geometry_(
            GeometryFor(options.render.areaWidth, options.render.areaHeight)) {
    options_.render.darkFigures = true;
    const std::string &output = output_;
    const size_t slash = output.rfind('/');
    const size_t dot = output.rfind('.');
    folderName_ = output.substr(slash == std::string::npos ? 0 : slash + 1);
    folderName_ = folderName_.substr(0, folderName_.rfind('.')) + "-pages";
    folder_ = output.substr(0, dot) + "-pages";
  }
  ~HtmlReport() override {
    page_.Discard();
    if (!partialFolder_.empty())
      RemovePages(partialFolder_);
    Untrack(folderTracked_);
  }
  void Summary(const ReportSummary &summary) override;
  void Patient(int section, const PatientHistory &history,
               const std::vector<VisitColumn> &columns,
               const std::vector<Flag> &flags) override;
  bool Finish(std::string *error) override;

private:
  void Put(const std::string &text) {
    if (file_)
      file_->Write(text);
    bytes_ += static_cast<long>(text.size());
  }
  void Sketch(const Visit &visit, Eye eye);
  // The patient's section on the page that has room, noted in the pages'
  // spans when split; false when no page can be opened.
  bool PlaceSection(int section, const PatientHistory &history);
  // The sketches in bands of columns, a row for each eye; false when the
  // section could not go on on a new page.
  bool Bands(const PatientHistory &history,
             const std::vector<VisitColumn> &columns);
  // Closes the section on a full page and opens it again, its heading
  // marked, on the next.
  bool ContinueSection(const PatientHistory &history);
  void Chart(int section, const PatientHistory &history);
  // The document's start, up to and with <main>: the whole page is the
  // report, for a screen reader to find as its main content.
  std::string Head(const std::string &title) const;
  // The summary, with each flagged patient linked by `link`.
  std::string SummaryHtml(const ReportSummary &s,
                          const std::function<std::string(int)> &link) const;
  bool NextPage(std::string *error);
  bool ClosePage(bool more, std::string *error);

  OutputFile *index_; // the report's own file, the index when split
  OutputFile page_;   // a page of the folder
  OutputFile *file_;  // the one being written
  std::string output_;
  std::string folder_, folderName_; // the folder of pages: path, and name
  std::string partialFolder_;       // where its pages are written first
  int folderTracked_ = -1;          // its pages, for an interrupted run
  HistoryOptions options_;
  PictureGeometry geometry_;
  SvgGlyphs glyphs_;
  // The chart's labels measured, for the report's first chart's surface.
  std::unique_ptr<ReportText> text_;
  long pictures_ = 0;
  long bytes_ = 0; // written to the page
  // Split: the summary, kept for the index, the page of each section
  // (from 1) and the first and last patient of each page.
  bool split_ = false;
  ReportSummary summary_;
  std::vector<int> sectionPage_;
  struct PageSpan {
    int first, last;
    std::string firstName, lastName;
    bool continued; // it starts within its first patient's section
  };
  std::vector<PageSpan> pages_;
  bool failed_ = false;
  std::string failure_; // why, when a page could not be written
  // Drawn documents by their values: cairo's SVG writer is most of the
  // report's time, and an archive repeats values (steps of .05 and twelve
  // hours). Emptied when full, so memory stays bounded (a few KB each).
  std::unordered_map<std::string, std::string> drawn_;
  static const size_t kDrawnKept = 1024;
};

std::string HtmlReport::Head(const std::string &title) const {
  const double ratio = static_cast<double>(geometry_.height) / geometry_.width;
  char css[4096];
  snprintf(
      css, sizeof css,
      "body{font:14px/1.4 \"DejaVu Sans\",Verdana,sans-serif;color:#222;"
      "margin:24px auto;max-width:1260px;padding:0 16px}\n"
      "h1{font-size:24px;margin:0 0 4px}h2{font-size:19px;margin:0 0 2px}\n"
      // The summary's own headings, below its h1 and above no section.
      ".summary h2{font-size:15px;margin:14px 0 4px}\n"
      ".summary{border-bottom:3px solid #666;padding-bottom:12px}\n"
      ".summary dl{display:grid;grid-template-columns:max-content auto;"
      "gap:2px 14px;margin:10px 0}\n"
      ".summary dt{font-weight:bold}.summary dd{margin:0}\n"
      ".note{color:#444;font-size:13px;max-width:60em}\n"
      ".patient{border-bottom:1px solid #aaa;padding:16px 0}\n"
      ".seen{color:#555;font-size:13px;margin:0 0 8px}\n"
      // A band wider than a phone scrolls inside its row, the eye's label
      // staying in view; the page itself never scrolls sideways. A band
      // takes the keyboard's focus, so that its arrows scroll it.
      ".band{overflow-x:auto;max-width:100%%}\n"
      "table.visits{border-collapse:collapse;margin:4px 0 8px}\n"
      "table.visits th{text-align:left;font-size:13px;padding:0 10px 0 0;"
      "vertical-align:middle;white-space:nowrap;position:sticky;left:0;"
      "background:#fff}\n"
      "h1,h2,.summary dd,.flagged,.flags{overflow-wrap:anywhere}\n"
      "table.visits td{padding:3px 4px;text-align:center;vertical-align:top;"
      "width:%.0fpx}\n"
      ".sketch svg{display:block;width:%.0fpx;height:%.0fpx}\n"
      ".cap{font-size:11px;line-height:1.3}\n"
      // The lightest grey that keeps small text legible on white (WCAG's
      // contrast ratio of 4.5).
      "td.none{color:#767676;font-size:11px;vertical-align:middle}\n"
      ".chart{margin:8px 0}.chart svg{display:block;max-width:100%%;"
      "height:auto}\n"
      ".flags{margin:6px 0 0;padding-left:20px}.flags li{margin:3px 0}\n"
      "nav{margin:8px 0;font-size:13px}\n"
      "@page{size:A4;margin:12mm}\n"
      "@media print{body{margin:0;padding:0;font-size:11px}"
      ".band{overflow:visible}"
      "table.visits td{width:%.0fpx}"
      ".sketch svg{width:%.0fpx;height:%.0fpx}"
      "table.visits,.chart,.patient h2,.seen{break-inside:avoid}"
      ".patient h2,.seen{break-after:avoid}"
      ".patient{padding:10px 0}}\n",
      kSketchWidth, kSketchWidth, kSketchWidth * ratio, kPrintSketchWidth,
      kPrintSketchWidth, kPrintSketchWidth * ratio);
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta "
         "charset=\"utf-8\">\n<meta name=\"viewport\" "
         "content=\"width=device-width, initial-scale=1\">\n<title>" +
         title + "</title>\n<style>\n" + css +
         "</style>\n</head>\n<body>\n<main>\n";
}

std::string
HtmlReport::SummaryHtml(const ReportSummary &s,
                        const std::function<std::string(int)> &link) const {
  std::string h = Head("Visit history: " + HtmlText(s.source)) +
                  "<header class=\"summary\">\n<h1>Visit history</h1>\n<p "
                  "class=\"seen\">From " +
                  HtmlText(s.source) + ", made " + HtmlText(MadeText(s.made)) +
                  ".</p>\n<dl>\n";
  for (const SummaryRow &row : SummaryRows(s))
    h += "<dt>" + HtmlText(row.label) + "</dt><dd>" + HtmlText(row.value) +
         "</dd>\n";
  h += "</dl>\n<p class=\"note\">" +
       HtmlText(FlagsExplained(options_.thresholds)) + "</p>\n";
  h += std::string("<h2>") + kFlaggedHeading + "</h2>\n";
  if (s.flagged.empty()) {
    h += "<p>None.</p>\n";
  } else {
    h += "<ul class=\"flagged\">\n";
    for (const ReportSummary::Flagged &f : s.flagged) {
      h += "<li><a href=\"" + link(f.section) + "\">" + HtmlText(f.patient) +
           "</a>: ";
      for (size_t i = 0; i < f.labels.size(); ++i)
        h += (i ? ", " : "") + HtmlText(f.labels[i]);
      h += "</li>\n";
    }
    h += "</ul>\n";
  }
  if (s.problemCount > 0) {
    h += std::string("<h2>") + kLeftOutHeading +
         "</h2>\n<ul class=\"problems\">\n";
    for (const VisitProblem &p : s.problems)
      h += "<li>" + HtmlText(LeftOutLine(p)) + "</li>\n";
    h += "</ul>\n";
    const std::string more = LeftOutBeyondList(s);
    if (!more.empty())
      h += "<p class=\"note\">" + more + "</p>\n";
  }
  return h;
}

void HtmlReport::Summary(const ReportSummary &s) {
  split_ = ReportInPages(s);
  if (!split_) {
    Put(SummaryHtml(
            s, [](int section) { return "#p" + std::to_string(section); }) +
        "</header>\n");
    return;
  }
  // The index is written last, when each patient's page is known.
  summary_ = s;
  file_ = nullptr;
  std::string folder = folder_ + ".XXXXXX";
  if (mkdtemp(&folder[0])) {
    partialFolder_ = folder;
    folderTracked_ = TrackTemporaryFolder(folder, kPagePrefix, kPageSuffix);
    // mkdtemp makes the folder private; a report gets the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(folder.c_str(), 0777 & ~mask);
  } else {
    failed_ = true;
  }
}

// Closes the page being written, with a link to the next when `more`.
bool HtmlReport::ClosePage(bool more, std::string *error) {
  const int page = static_cast<int>(pages_.size());
  // Named apart from the links at the top, which a screen reader lists too.
  Put("<nav aria-label=\"Page links, bottom\"><a href=\"../" +
      HtmlText(output_.substr(output_.rfind('/') + 1)) +
      "\">Summary and pages</a>" +
      (more ? " \u00B7 <a href=\"" + PageName(page + 1) + "\">Next page</a>"
            : std::string()) +
      "</nav>\n</main>\n</body>\n</html>\n");
  file_ = nullptr;
  if (!page_.Commit(error))
    return false;
  TrackedFiles(folderTracked_, page);
  return true;
}

bool HtmlReport::NextPage(std::string *error) {
  if (file_ && !ClosePage(true, error))
    return false;
  const int page = static_cast<int>(pages_.size()) + 1;
  if (!page_.Open(partialFolder_ + "/" + PageName(page), error))
    return false;
  file_ = &page_;
  pages_.push_back(PageSpan{0, 0, "", "", false});
  bytes_ = 0;
  // Glyph outlines are defined on each page that uses them.
  glyphs_ = SvgGlyphs();
  const std::string index = HtmlText(output_.substr(output_.rfind('/') + 1));
  Put(Head("Visit history: " + HtmlText(summary_.source) + ", page " +
           std::to_string(page)) +
      "<h1>Visit history, page " + std::to_string(page) +
      "</h1>\n<nav aria-label=\"Page links, top\"><a "
      "href=\"../" +
      index + "\">Summary and pages</a>" +
      (page > 1
           ? " \u00B7 <a href=\"" + PageName(page - 1) + "\">Previous page</a>"
           : std::string()) +
      "</nav>\n");
  return true;
}

// The labels as SVG text in the page's typeface.
std::string ChartText(const std::vector<ChartLabel> &labels) {
  char font[96];
  snprintf(font, sizeof font,
           "<g font-family=\"DejaVu Sans,Verdana,sans-serif\" "
           "font-size=\"%g\">",
           kChartFontSize);
  std::string text = font;
  for (const ChartLabel &l : labels) {
    char tag[160];
    snprintf(tag, sizeof tag,
             "<text x=\"%.1f\" y=\"%.1f\"%s fill=\"#%02x%02x%02x\">", l.x, l.y,
             l.align >= 1  ? " text-anchor=\"end\""
             : l.align > 0 ? " text-anchor=\"middle\""
                           : "",
             static_cast<int>(l.grey * 255 + .5),
             static_cast<int>(l.grey * 255 + .5),
             static_cast<int>(l.grey * 255 + .5));
    text += tag + HtmlText(l.text) + "</text>";
  }
  return text + "</g>";
}

void HtmlReport::Sketch(const Visit &visit, Eye eye) {
  const std::string values = FormatValues(visit.values);
  auto found = drawn_.find(values);
  if (found == drawn_.end()) {
    if (drawn_.size() >= kDrawnKept)
      drawn_.clear();
    found = drawn_
                .emplace(values, SvgDocument(geometry_.width, geometry_.height,
                                             [&](cairo_t *cr) {
                                               DrawSketch(cr, visit.values,
                                                          options_.render);
                                             }))
                .first;
  }
  std::string svg =
      InlineSvg(found->second, "s" + std::to_string(++pictures_) + "-",
                geometry_.width, geometry_.height, &glyphs_);
  const std::string date = FormatIsoDate(visit.date);
  svg.insert(4, std::string(" role=\"img\" aria-label=\"") +
                    (eye == kRightEye ? "Right" : "Left") + " eye " + date +
                    ": " + values + "\"");
  const ValueLines lines = LabelledValues(visit.values);
  Put("<td><div class=\"sketch\">" + svg + "</div><div class=\"cap\"><b>" +
      date + "</b><br>" + HtmlText(lines.ratios) + "<br>" +
      HtmlText(lines.place) + "</div></td>\n");
}

bool HtmlReport::PlaceSection(int section, const PatientHistory &history) {
  if (!split_)
    return true;
  if (failed_ || ((!file_ || bytes_ >= kPageBytes) && !NextPage(&failure_))) {
    failed_ = true;
    return false;
  }
  PageSpan &page = pages_.back();
  if (page.first == 0)
    page.first = section, page.firstName = PatientHeading(history);
  page.last = section, page.lastName = PatientHeading(history);
  sectionPage_.push_back(static_cast<int>(pages_.size()));
  return true;
}

bool HtmlReport::ContinueSection(const PatientHistory &history) {
  Put("</section>\n");
  if (!NextPage(&failure_)) {
    failed_ = true;
    return false;
  }
  PageSpan &page = pages_.back();
  page.first = page.last = static_cast<int>(sectionPage_.size());
  page.firstName = page.lastName = PatientHeading(history);
  page.continued = true;
  Put("<section class=\"patient\">\n<h2>" + HtmlText(PatientHeading(history)) +
      " (continued)</h2>\n");
  return true;
}

bool HtmlReport::Bands(const PatientHistory &history,
                       const std::vector<VisitColumn> &columns) {
  for (size_t band = 0; band < columns.size(); band += kBandColumns) {
    if (split_ && band > 0 && bytes_ >= kPageBytes && !ContinueSection(history))
      return false;
    const size_t end = std::min(columns.size(), band + kBandColumns);
    // Named by its dates, since a keyboard stops at each band.
    const std::string first = FormatIsoDate(columns[band].date);
    const std::string last = FormatIsoDate(columns[end - 1].date);
    Put("<div class=\"band\" tabindex=\"0\" role=\"group\" "
        "aria-label=\"Sketches, " +
        (end - band > 1 ? first + " to " + last : first) +
        "\"><table class=\"visits\"><tbody>\n");
    for (int eye = kRightEye; eye <= kLeftEye; ++eye) {
      Put(eye == kRightEye ? "<tr><th scope=\"row\">Right eye</th>\n"
                           : "<tr><th scope=\"row\">Left eye</th>\n");
      for (size_t c = band; c < end; ++c) {
        const int v = columns[c].visit[eye];
        if (v < 0)
          Put("<td class=\"none\">no sketch<br>" +
              FormatIsoDate(columns[c].date) + "</td>\n");
        else
          Sketch(history.eyes[eye][v], static_cast<Eye>(eye));
      }
      Put("</tr>\n");
    }
    Put("</tbody></table></div>\n");
  }
  return true;
}

void HtmlReport::Chart(int section, const PatientHistory &history) {
  // The chart's labels are the page's own text: outlines of their glyphs
  // would be most of a small chart's bytes and time.
  std::vector<ChartLabel> labels;
  const std::string chart =
      SvgDocument(kChartWidth, kChartHeight, [&](cairo_t *cr) {
        if (!text_)
          text_.reset(new ReportText(cr));
        DrawChart(cr, history, options_.thresholds, kChartWidth, kChartHeight,
                  kChartFontSize, text_.get(), &labels);
      });
  std::string svg = InlineSvg(chart, "c" + std::to_string(section) + "-",
                              kChartWidth, kChartHeight, &glyphs_);
  svg.insert(svg.rfind("</svg>"), ChartText(labels));
  svg.insert(4, " role=\"img\" aria-label=\"Chart of the horizontal and "
                "vertical cup-to-disc ratios of both eyes against time\"");
  Put("<figure class=\"chart\">" + svg + "</figure>\n");
}

void HtmlReport::Patient(int section, const PatientHistory &history,
                         const std::vector<VisitColumn> &columns,
                         const std::vector<Flag> &flags) {
  if (!PlaceSection(section, history))
    return;
  const size_t seen[2] = {history.eyes[kRightEye].size(),
                          history.eyes[kLeftEye].size()};
  std::string h = "<section class=\"patient\" id=\"p" +
                  std::to_string(section) + "\">\n<h2>" +
                  HtmlText(PatientHeading(history)) +
                  "</h2>\n<p class=\"seen\">" + VisitsSeen(columns);
  if (!columns.empty())
    h += "; sketches: right eye " + std::to_string(seen[kRightEye]) +
         ", left eye " + std::to_string(seen[kLeftEye]);
  Put(h + "</p>\n");
  if (!Bands(history, columns))
    return;
  if (!columns.empty())
    Chart(section, history);
  if (flags.empty()) {
    Put(std::string("<p class=\"seen\">") + kNoFlaggedChange + "</p>\n");
  } else {
    h = "<ul class=\"flags\">\n";
    for (const Flag &f : flags)
      h += "<li>" + HtmlText(FlagSentence(f, options_.thresholds)) + "</li>\n";
    Put(h + "</ul>\n");
  }
  Put("</section>\n");
}

bool HtmlReport::Finish(std::string *error) {
  if (split_) {
    if (!failed_ && file_ && !ClosePage(false, &failure_))
      failed_ = true;
    if (failed_) {
      *error = failure_.empty() ? "cannot make the folder of pages beside \"" +
                                      output_ + "\""
                                : failure_;
      return false;
    }
    file_ = index_;
    const std::string folder = HtmlText(folderName_) + "/";
    std::string h = SummaryHtml(summary_, [&](int section) {
      return folder + PageName(sectionPage_[section - 1]) + "#p" +
             std::to_string(section);
    });
    h += "<h2>Pages</h2>\n<ol class=\"pages\">\n";
    for (size_t p = 0; p < pages_.size(); ++p) {
      const PageSpan &span = pages_[p];
      const std::string first =
          HtmlText(span.firstName) + (span.continued ? " (continued)" : "");
      h += "<li><a href=\"" + folder + PageName(static_cast<int>(p + 1)) +
           "\">" +
           (span.first == span.last
                ? "Patient " + std::to_string(span.first) + "</a>: " + first
                : "Patients " + std::to_string(span.first) + "\u2013" +
                      std::to_string(span.last) + "</a>: " + first + " to " +
                      HtmlText(span.lastName)) +
           "</li>\n";
    }
    Put(h + "</ol>\n</header>\n");
  }
  Put("</main>\n</body>\n</html>\n");
  file_ = nullptr;
  if (!index_->Close(error))
    return false;
  // The pages of an earlier report of this name go, so that no page is
  // left that this report does not link.
  if (!RemovePages(folder_) && split_) {
    *error =
        "cannot replace the folder \"" + folder_ + "\": it holds other files";
    return false;
  }
  if (split_) {
    if (rename(partialFolder_.c_str(), folder_.c_str()) != 0) {
      *error = "cannot write \"" + folder_ + "\": " + strerror(errno);
      return false;
    }
    partialFolder_.clear();
    Untrack(folderTracked_);
    folderTracked_ = -1;
  }
  return true;
}

} // namespace

bool ReportInPages(const ReportSummary &summary) {
  return summary.patients > kSinglePagePatients ||
         summary.sketches > kSinglePageSketches;
}

std::unique_ptr<ReportWriter> OpenHtmlReport(OutputFile *file,
                                             const HistoryOptions &options) {
  return std::unique_ptr<ReportWriter>(new HtmlReport(file, options));
}
