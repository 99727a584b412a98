#include "render/cup_layout.h"
#include "render/ring_layout.h"
#include "orbitrace-render/sketch_cairo.h"

#include <gtest/gtest.h>

#include <stdint.h>

#include <set>

namespace {

const uint32_t kFace = 0xF5F5F5, kWhite = 0xFFFFFF, kDisc = 0xE6571A,
               kCup = 0xFFFF00, kGrey = 0xD1D1D1;

class Picture {
public:
  Picture(const char *row, const RenderOptions &options = RenderOptions())
      : options_(options),
        g_(GeometryFor(options.areaWidth, options.areaHeight)) {
    std::string error;
    EXPECT_TRUE(ParseValues(row, &values_, &error)) << error;
    surface_ = RenderToImage(values_, options);
    cairo_surface_flush(surface_);
  }
  ~Picture() { cairo_surface_destroy(surface_); }
  int Width() const { return cairo_image_surface_get_width(surface_); }
  int Height() const { return cairo_image_surface_get_height(surface_); }
  uint32_t At(int x, int y) const {
    const unsigned char *row = cairo_image_surface_get_data(surface_) +
                               y * cairo_image_surface_get_stride(surface_);
    return reinterpret_cast<const uint32_t *>(row)[x] & 0xFFFFFF;
  }
  // In the sketch area's coordinates.
  uint32_t Area(int x, int y) const { return At(x + g_.areaX, y + g_.areaY); }
  IntRect Cup() const {
    return LayoutCup(IntRect{0, 0, g_.areaWidth, g_.areaHeight},
                     values_.horizontal.c_str(), values_.vertical.c_str(),
                     values_.rim.c_str(), values_.position.c_str());
  }
  std::set<uint32_t> Colours() const {
    std::set<uint32_t> colours;
    for (int y = 0; y < Height(); ++y)
      for (int x = 0; x < Width(); ++x)
        colours.insert(At(x, y));
    return colours;
  }
  const PictureGeometry &G() const { return g_; }
  const RenderOptions &Options() const { return options_; }

private:
  RenderOptions options_;
  PictureGeometry g_;
  StoredValues values_;
  cairo_surface_t *surface_;
};

TEST(RasterPicture, HasTheCapturedPicturesSizeAndLayers) {
  Picture p(".30|.40|3|-.20");
  const PictureGeometry &g = p.G();
  ASSERT_EQ(350, p.Width());
  ASSERT_EQ(323, p.Height());
  // The dialog face in the margin, the white area's corners outside the
  // disc, the disc at the centre.
  EXPECT_EQ(kFace, p.At(0, 0));
  EXPECT_EQ(kFace, p.At(g.areaX - 1, g.areaY + g.areaHeight / 2));
  EXPECT_EQ(kWhite, p.Area(0, 0));
  EXPECT_EQ(kWhite, p.Area(g.areaWidth - 1, g.areaHeight - 1));
  EXPECT_EQ(kDisc, p.Area(g.areaWidth / 2, g.areaHeight / 2));
  EXPECT_EQ(kFace, p.At(g.areaX + g.areaWidth, g.areaY));
}

TEST(RasterPicture, DrawsTheCupAtItsLayoutClippedInsideTheDisc) {
  Picture p(".30|.40|3|-.20");
  const IntRect cup = p.Cup();
  const int cy = (cup.top + cup.bottom) / 2;
  // The rim breaks through the edge: the rectangle reaches past the clip
  // ellipse (area inset by 5), and what lies outside it is not yellow.
  ASSERT_GT(cup.right, p.G().areaWidth - 5);
  EXPECT_EQ(kCup, p.Area(cup.left + 3, cy));
  EXPECT_EQ(kCup, p.Area(p.G().areaWidth - 8, cy));
  for (int x = p.G().areaWidth - 5; x < cup.right; ++x)
    EXPECT_NE(kCup, p.Area(x, cy)) << x;
  EXPECT_EQ(kDisc, p.Area(cup.left - 3, cy));
}

TEST(RasterPicture, WithoutAntialiasingHasOnlyThePluginsColours) {
  Picture p(".75|.60|5|-.45");
  const std::set<uint32_t> expected = {kFace, kWhite, kDisc, kCup, kGrey};
  EXPECT_EQ(expected, p.Colours());

  RenderOptions smooth;
  smooth.antialias = true;
  Picture q(".75|.60|5|-.45", smooth);
  EXPECT_GT(q.Colours().size(), expected.size());
}

TEST(RasterPicture, AZeroRatioDrawsNoCupOnlyWhereTheBoxIsEmpty) {
  // With even reference boxes a ratio of 0 leaves an empty rectangle.
  RenderOptions even;
  even.areaWidth = 290;
  even.areaHeight = 264;
  for (const char *row : {"0|.50|3|0", ".50|0|12|-.95", "0|0|6|1"}) {
    Picture p(row, even);
    EXPECT_EQ(0u, p.Colours().count(kCup)) << row;
    EXPECT_EQ(1u, p.Colours().count(kDisc)) << row;
  }
  // With an odd width the halves leave one pixel's width: a sliver, as the
  // plug-in's ellipse draws it.
  Picture odd("0|.50|3|0");
  const IntRect cup = odd.Cup();
  ASSERT_EQ(1, cup.right - cup.left);
  EXPECT_EQ(kCup, odd.Area(cup.left, (cup.top + cup.bottom) / 2));
  EXPECT_NE(kCup, odd.Area(cup.left - 1, (cup.top + cup.bottom) / 2));
}

TEST(RasterPicture, PutsGreyFiguresInEveryLabelCellAndNowhereInTheArea) {
  Picture p("1|1|1|1");
  cairo_surface_t *probe = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
  cairo_t *cr = cairo_create(probe);
  const LabelMetrics m = SelectLabelFont(cr, p.Options());
  cairo_destroy(cr);
  cairo_surface_destroy(probe);
  EXPECT_GT(m.lineHeight, 10);
  EXPECT_GT(m.averageWidth, 4);

  RingLabel labels[kRingLabelCount];
  LayoutRing(IntRect{0, 0, p.G().areaWidth, p.G().areaHeight}, m.lineHeight,
             m.averageWidth, labels);
  for (const RingLabel &l : labels) {
    int grey = 0;
    for (int y = l.yPos; y < l.yPos + m.lineHeight; ++y)
      for (int x = l.xPos; x < l.xPos + l.count * m.averageWidth + 2; ++x)
        grey += p.Area(x, y) == kGrey;
    EXPECT_GT(grey, 5) << l.text;
  }
  // Inside the disc's box nothing is grey: the figures stand around it.
  for (int y = 40; y < p.G().areaHeight - 40; ++y)
    for (int x = 40; x < p.G().areaWidth - 40; ++x)
      ASSERT_NE(kGrey, p.Area(x, y)) << x << "," << y;
}

TEST(RasterPicture, ScalesWithTheSketchArea) {
  RenderOptions big;
  big.areaWidth = 2 * kDefaultAreaWidth;
  big.areaHeight = 2 * kDefaultAreaHeight;
  Picture small(".50|.50|9|0"), large(".50|.50|9|0", big);
  EXPECT_EQ(large.G().width, large.Width());
  EXPECT_EQ(large.G().height, large.Height());
  // The cup's left edge at 9 o'clock meets the disc's box at either size.
  for (const Picture *p : {&small, &large}) {
    const IntRect cup = p->Cup();
    const int cy = (cup.top + cup.bottom) / 2;
    EXPECT_EQ(6, cup.left);
    EXPECT_EQ(kCup, p->Area(cup.left + 2, cy));
    EXPECT_EQ(kCup, p->Area(cup.right - 2, cy));
    EXPECT_EQ(kDisc, p->Area(cup.right + 2, cy));
  }
}

} // namespace
