// The SVG and PDF outputs are read back: the disc, the cup and their clips
// must be curves that trace the expected ellipses, and no raster image.
#include "orbitrace-render/sketch_cairo.h"
#include "render/cup_layout.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string TempPath(const char *name) {
  static std::string dir;
  if (dir.empty()) {
    char tmpl[] = "/tmp/orbt_vector_XXXXXX";
    dir = mkdtemp(tmpl);
  }
  return dir + "/" + name;
}

std::string Slurp(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

std::string Render(const char *row, const char *name) {
  StoredValues v;
  std::string error;
  EXPECT_TRUE(ParseValues(row, &v, &error)) << error;
  const std::string path = TempPath(name);
  EXPECT_TRUE(RenderToFile(v, RenderOptions(), path, &error)) << error;
  return Slurp(path);
}

// The extent of a path's end points and how many cubic curves it has.
struct Outline {
  double left = 1e9, top = 1e9, right = -1e9, bottom = -1e9;
  int curves = 0;
};

Outline Trace(const std::string &d, const std::string &curveOp) {
  Outline o;
  std::istringstream in(d);
  std::vector<double> numbers;
  for (std::string token; in >> token;) {
    char *end = nullptr;
    double n = strtod(token.c_str(), &end);
    if (*end == '\0') {
      numbers.push_back(n);
      continue;
    }
    // An operator ends a segment: its last two numbers are the end point
    // (SVG writes the letter first, PDF last; both work for the extent).
    if (numbers.size() >= 2) {
      double x = numbers[numbers.size() - 2], y = numbers.back();
      o.left = std::min(o.left, x), o.right = std::max(o.right, x);
      o.top = std::min(o.top, y), o.bottom = std::max(o.bottom, y);
    }
    numbers.clear();
    o.curves += token == curveOp;
  }
  if (numbers.size() >= 2) {
    double x = numbers[numbers.size() - 2], y = numbers.back();
    o.left = std::min(o.left, x), o.right = std::max(o.right, x);
    o.top = std::min(o.top, y), o.bottom = std::max(o.bottom, y);
  }
  return o;
}

void ExpectOutline(const Outline &o, double l, double t, double r, double b,
                   const char *what) {
  EXPECT_GE(o.curves, 4) << what;
  EXPECT_NEAR(l, o.left, 0.01) << what;
  EXPECT_NEAR(t, o.top, 0.01) << what;
  EXPECT_NEAR(r, o.right, 0.01) << what;
  EXPECT_NEAR(b, o.bottom, 0.01) << what;
}

// A minimal reading of the XML that cairo writes: every element with its
// attributes, the clip paths its ancestors name, and the clipPath it is in.
struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::vector<std::string> clippedBy;
  std::string inClipPath;
};

std::vector<Element> ParseXml(const std::string &xml) {
  std::vector<Element> elements, open;
  size_t i = 0;
  while ((i = xml.find('<', i)) != std::string::npos) {
    size_t end = xml.find('>', i);
    if (end == std::string::npos)
      break;
    std::string tag = xml.substr(i + 1, end - i - 1);
    i = end + 1;
    if (tag.empty() || tag[0] == '?' || tag[0] == '!')
      continue;
    if (tag[0] == '/') {
      if (!open.empty())
        open.pop_back();
      continue;
    }
    const bool selfClosing = tag.back() == '/';
    if (selfClosing)
      tag.pop_back();
    Element e;
    size_t p = tag.find_first_of(" \n\t");
    e.name = tag.substr(0, p);
    while (p != std::string::npos) {
      size_t eq = tag.find('=', p);
      if (eq == std::string::npos)
        break;
      size_t q1 = tag.find('"', eq), q2 = tag.find('"', q1 + 1);
      std::string key = tag.substr(p, eq - p);
      key.erase(0, key.find_first_not_of(" \n\t"));
      e.attributes[key] = tag.substr(q1 + 1, q2 - q1 - 1);
      p = q2 + 1;
    }
    for (const Element &a : open) {
      auto c = a.attributes.find("clip-path");
      if (c != a.attributes.end())
        e.clippedBy.push_back(c->second);
      if (a.name == "clipPath")
        e.inClipPath = a.attributes.at("id");
    }
    elements.push_back(e);
    if (!selfClosing)
      open.push_back(e);
  }
  return elements;
}

const Element *FilledPath(const std::vector<Element> &all, const char *rgb) {
  for (const Element &e : all)
    if (e.name == "path" && e.inClipPath.empty() &&
        e.attributes.count("style") &&
        e.attributes.at("style").find(rgb) != std::string::npos)
      return &e;
  return nullptr;
}

// The curved outline among the clip paths that clip `e`.
std::vector<Outline> CurvedClips(const std::vector<Element> &all,
                                 const Element &e) {
  std::vector<Outline> clips;
  for (const std::string &ref : e.clippedBy)
    for (const Element &c : all)
      if (c.name == "path" && "url(#" + c.inClipPath + ")" == ref) {
        Outline o = Trace(c.attributes.at("d"), "C");
        if (o.curves > 0)
          clips.push_back(o);
      }
  return clips;
}

const char kRow[] = ".30|.40|3|-.20";

TEST(SvgOutput, DrawsDiscAndCupAsClippedEllipses) {
  const std::string svg = Render(kRow, "sketch.svg");
  const std::vector<Element> all = ParseXml(svg);
  const PictureGeometry g = GeometryFor(kDefaultAreaWidth, kDefaultAreaHeight);
  const double x0 = g.areaX, y0 = g.areaY, w = g.areaWidth, h = g.areaHeight;
  for (const Element &e : all)
    EXPECT_NE("image", e.name) << "a raster image in the SVG";
  // cairo counts surfaces over the whole process; the file must not.
  EXPECT_EQ(svg, Render(kRow, "again.svg")) << "the same values drawn again";

  const Element *disc =
      FilledPath(all, "rgb(90.196078%,34.117647%,10.196078%)");
  ASSERT_NE(nullptr, disc);
  // The box inset by 6, widened by the 2-pixel pen on the left and top.
  ExpectOutline(Trace(disc->attributes.at("d"), "C"), x0 + 5, y0 + 5,
                x0 + w - 6, y0 + h - 6, "disc");
  std::vector<Outline> clips = CurvedClips(all, *disc);
  ASSERT_EQ(1u, clips.size());
  ExpectOutline(clips[0], x0 + 0.5, y0 + 0.5, x0 + w - 0.5, y0 + h - 0.5,
                "disc clip");

  const Element *cup = FilledPath(all, "rgb(100%,100%,0%)");
  ASSERT_NE(nullptr, cup);
  const IntRect r = LayoutCup(IntRect{0, 0, g.areaWidth, g.areaHeight}, ".30",
                              ".40", "-.20", "3");
  ExpectOutline(Trace(cup->attributes.at("d"), "C"), x0 + r.left, y0 + r.top,
                x0 + r.right, y0 + r.bottom, "cup");
  clips = CurvedClips(all, *cup);
  ASSERT_EQ(1u, clips.size());
  ExpectOutline(clips[0], x0 + 5.5, y0 + 5.5, x0 + w - 5.5, y0 + h - 5.5,
                "cup clip");
}

std::string InflatedStreams(const std::string &pdf) {
  std::string all;
  size_t i = 0;
  while ((i = pdf.find("stream", i)) != std::string::npos) {
    if (i >= 3 && pdf.compare(i - 3, 3, "end") == 0) {
      i += 6;
      continue;
    }
    size_t start = pdf.find('\n', i) + 1;
    size_t end = pdf.find("endstream", start);
    if (end == std::string::npos)
      break;
    std::vector<unsigned char> out(1 << 20);
    uLongf size = out.size();
    if (uncompress(out.data(), &size,
                   reinterpret_cast<const Bytef *>(pdf.data() + start),
                   end - start) == Z_OK)
      all.append(reinterpret_cast<char *>(out.data()), size);
    i = end + 9;
  }
  return all;
}

// The clip path that ends in "W n" at `at`: cairo sets each shape's
// clip as a bounding rectangle and then the curve, each ending in "W n".
Outline ClipBefore(const std::string &content, size_t at) {
  size_t begin = content.rfind("W n", at - 1);
  begin = begin == std::string::npos ? 0 : begin + 3;
  return Trace(content.substr(begin, at - begin), "c");
}

TEST(PdfOutput, DrawsDiscAndCupAsCurvesInsideCurvedClips) {
  const std::string pdf = Render(kRow, "sketch.pdf");
  ASSERT_EQ(0u, pdf.rfind("%PDF", 0));
  EXPECT_EQ(std::string::npos, pdf.find("/Image")) << "a raster image";
  const std::string content = InflatedStreams(pdf);
  const PictureGeometry g = GeometryFor(kDefaultAreaWidth, kDefaultAreaHeight);
  const double x0 = g.areaX, y0 = g.areaY, w = g.areaWidth, h = g.areaHeight;

  // Each shape: its clip path ("W n"), its colour, its curves, then "f".
  size_t disc = content.find("0.901961 0.341176 0.101961 rg");
  ASSERT_NE(std::string::npos, disc);
  size_t discFill = content.find(" f", disc);
  ExpectOutline(Trace(content.substr(content.find('\n', disc),
                                     discFill - content.find('\n', disc)),
                      "c"),
                x0 + 5, y0 + 5, x0 + w - 6, y0 + h - 6, "disc");
  size_t discClip = content.rfind("W n", disc);
  ASSERT_NE(std::string::npos, discClip);
  ExpectOutline(ClipBefore(content, discClip), x0 + 0.5, y0 + 0.5, x0 + w - 0.5,
                y0 + h - 0.5, "disc clip");

  size_t cup = content.find("1 1 0 rg");
  ASSERT_NE(std::string::npos, cup);
  const IntRect r = LayoutCup(IntRect{0, 0, g.areaWidth, g.areaHeight}, ".30",
                              ".40", "-.20", "3");
  size_t cupFill = content.find(" f", cup);
  ExpectOutline(Trace(content.substr(content.find('\n', cup),
                                     cupFill - content.find('\n', cup)),
                      "c"),
                x0 + r.left, y0 + r.top, x0 + r.right, y0 + r.bottom, "cup");
  size_t cupClip = content.rfind("W n", cup);
  ASSERT_GT(cupClip, disc);
  ExpectOutline(ClipBefore(content, cupClip), x0 + 5.5, y0 + 5.5, x0 + w - 5.5,
                y0 + h - 5.5, "cup clip");
}

} // namespace
