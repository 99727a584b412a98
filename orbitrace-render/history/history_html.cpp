// The report as one self-contained web page: sketches and charts are
// inline SVG drawn by the renderer's own code through cairo's SVG surface,
// so the page needs no script, file or network, and prints on A4.
#include "orbitrace-render/history/history_html.h"
#include "orbitrace-render/history/history_chart.h"
#include "orbitrace-render/history/report_text.h"
#include "orbitrace-render/history/svg_inline.h"
#include "orbitrace-render/history/visit_date.h"

#include <cairo-svg.h>

#include <unordered_map>

#include <stdio.h>
#include <string.h>

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

class HtmlReport : public ReportWriter {
public:
  HtmlReport(FILE *file, const HistoryOptions &options)
      : file_(file), options_(options),
        geometry_(
            GeometryFor(options.render.areaWidth, options.render.areaHeight)) {
    options_.render.darkFigures = true;
    // Large writes, since a sketch is a few kilobytes.
    setvbuf(file_, nullptr, _IOFBF, 1 << 16);
  }
  ~HtmlReport() override {
    if (file_)
      fclose(file_);
  }
  void Summary(const ReportSummary &summary) override;
  void Patient(int section, const PatientHistory &history,
               const std::vector<VisitColumn> &columns,
               const std::vector<Flag> &flags) override;
  bool Finish(std::string *error) override;

private:
  void Put(const std::string &text) {
    fwrite(text.data(), 1, text.size(), file_);
  }
  void Sketch(const Visit &visit, Eye eye);

  FILE *file_;
  HistoryOptions options_;
  PictureGeometry geometry_;
  SvgGlyphs glyphs_;
  long pictures_ = 0;
  // Drawn documents by their values: cairo's SVG writer is most of the
  // report's time, and an archive repeats values (steps of .05 and twelve
  // hours). Emptied when full, so memory stays bounded (a few KB each).
  std::unordered_map<std::string, std::string> drawn_;
  static const size_t kDrawnKept = 1024;
};

void HtmlReport::Summary(const ReportSummary &s) {
  const double ratio = static_cast<double>(geometry_.height) / geometry_.width;
  char css[2048];
  snprintf(
      css, sizeof css,
      "body{font:14px/1.4 \"DejaVu Sans\",Verdana,sans-serif;color:#222;"
      "margin:24px auto;max-width:1260px;padding:0 16px}\n"
      "h1{font-size:24px;margin:0 0 4px}h2{font-size:19px;margin:0 0 2px}\n"
      "h3{font-size:15px;margin:14px 0 4px}\n"
      ".summary{border-bottom:3px solid #666;padding-bottom:12px}\n"
      ".summary dl{display:grid;grid-template-columns:max-content auto;"
      "gap:2px 14px;margin:10px 0}\n"
      ".summary dt{font-weight:bold}.summary dd{margin:0}\n"
      ".note{color:#444;font-size:13px;max-width:60em}\n"
      ".patient{border-bottom:1px solid #aaa;padding:16px 0}\n"
      ".seen{color:#555;font-size:13px;margin:0 0 8px}\n"
      "table.visits{border-collapse:collapse;margin:4px 0 8px}\n"
      "table.visits th{text-align:left;font-size:13px;padding:0 10px 0 0;"
      "vertical-align:middle;white-space:nowrap}\n"
      "table.visits td{padding:3px 4px;text-align:center;vertical-align:top;"
      "width:%.0fpx}\n"
      ".sketch svg{display:block;width:%.0fpx;height:%.0fpx}\n"
      ".cap{font-size:11px;line-height:1.3}\n"
      "td.none{color:#888;font-size:11px;vertical-align:middle}\n"
      ".chart{margin:8px 0}.chart svg{display:block;max-width:100%%;"
      "height:auto}\n"
      ".flags{margin:6px 0 0;padding-left:20px}.flags li{margin:3px 0}\n"
      "@page{size:A4;margin:12mm}\n"
      "@media print{body{margin:0;padding:0;font-size:11px}"
      "table.visits td{width:%.0fpx}"
      ".sketch svg{width:%.0fpx;height:%.0fpx}"
      "table.visits,.chart,h2,.seen{break-inside:avoid}"
      "h2,.seen{break-after:avoid}"
      ".patient{padding:10px 0}}\n",
      kSketchWidth, kSketchWidth, kSketchWidth * ratio, kPrintSketchWidth,
      kPrintSketchWidth, kPrintSketchWidth * ratio);

  std::string h =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, "
      "initial-scale=1\">\n<title>Visit history: " +
      HtmlText(s.source) + "</title>\n<style>\n" + css +
      "</style>\n</head>\n<body>\n<header class=\"summary\">\n"
      "<h1>Visit history</h1>\n<p class=\"seen\">From " +
      HtmlText(s.source) + ", made " + HtmlText(MadeText(s.made)) +
      ".</p>\n<dl>\n";
  for (const SummaryRow &row : SummaryRows(s))
    h += "<dt>" + row.label + "</dt><dd>" + row.value + "</dd>\n";
  h += "</dl>\n<p class=\"note\">" +
       HtmlText(FlagsExplained(options_.thresholds)) + "</p>\n";
  h += std::string("<h3>") + kFlaggedHeading + "</h3>\n";
  if (s.flagged.empty()) {
    h += "<p>None.</p>\n";
  } else {
    h += "<ul class=\"flagged\">\n";
    for (const ReportSummary::Flagged &f : s.flagged) {
      h += "<li><a href=\"#p" + std::to_string(f.section) + "\">" +
           HtmlText(f.patient) + "</a>: ";
      for (size_t i = 0; i < f.labels.size(); ++i)
        h += (i ? ", " : "") + HtmlText(f.labels[i]);
      h += "</li>\n";
    }
    h += "</ul>\n";
  }
  if (s.problemCount > 0) {
    h += std::string("<h3>") + kLeftOutHeading +
         "</h3>\n<ul class=\"problems\">\n";
    for (const VisitProblem &p : s.problems)
      h += "<li>" + HtmlText(LeftOutLine(p)) + "</li>\n";
    h += "</ul>\n";
    const std::string more = LeftOutBeyondList(s);
    if (!more.empty())
      h += "<p class=\"note\">" + more + "</p>\n";
  }
  h += "</header>\n";
  Put(h);
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

void HtmlReport::Patient(int section, const PatientHistory &history,
                         const std::vector<VisitColumn> &columns,
                         const std::vector<Flag> &flags) {
  const size_t seen[2] = {history.eyes[kRightEye].size(),
                          history.eyes[kLeftEye].size()};
  std::string h = "<section class=\"patient\" id=\"p" +
                  std::to_string(section) + "\">\n<h2>" +
                  HtmlText(history.patient) + "</h2>\n<p class=\"seen\">" +
                  VisitsSeen(columns);
  if (!columns.empty())
    h += "; sketches: right eye " + std::to_string(seen[kRightEye]) +
         ", left eye " + std::to_string(seen[kLeftEye]);
  Put(h + "</p>\n");

  for (size_t band = 0; band < columns.size(); band += kBandColumns) {
    const size_t end = std::min(columns.size(), band + kBandColumns);
    Put("<table class=\"visits\">\n");
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
    Put("</table>\n");
  }

  if (!columns.empty()) {
    const std::string chart =
        SvgDocument(kChartWidth, kChartHeight, [&](cairo_t *cr) {
          DrawChart(cr, history, options_.thresholds, kChartWidth, kChartHeight,
                    kChartFontSize);
        });
    std::string svg = InlineSvg(chart, "c" + std::to_string(section) + "-",
                                kChartWidth, kChartHeight, &glyphs_);
    svg.insert(4, " role=\"img\" aria-label=\"Chart of the horizontal and "
                  "vertical cup-to-disc ratios of both eyes against time\"");
    Put("<figure class=\"chart\">" + svg + "</figure>\n");
  }

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
  Put("</body>\n</html>\n");
  const bool ok = !ferror(file_);
  const bool closed = fclose(file_) == 0;
  file_ = nullptr;
  if (!ok || !closed) {
    *error = std::string("cannot write the report: ") + strerror(errno);
    return false;
  }
  return true;
}

} // namespace

std::unique_ptr<ReportWriter> OpenHtmlReport(const std::string &path,
                                             const HistoryOptions &options,
                                             std::string *error) {
  FILE *file = fopen(path.c_str(), "wb");
  if (!file) {
    *error = "cannot write \"" + path + "\": " + strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<ReportWriter>(new HtmlReport(file, options));
}
