#include "orbitrace-render/sketch_cairo.h"
#include "sketch/value_lists.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Join(const char *h, const char *v, const char *loc,
                 const char *rim) {
  return std::string(h) + "|" + v + "|" + loc + "|" + rim;
}

TEST(ParseValues, AcceptsEveryItemOfEachListInItsField) {
  StoredValues v;
  std::string error;
  for (const char *ratio : kRatioItems) {
    ASSERT_TRUE(ParseValues(Join(ratio, ".50", "6", "0"), &v, &error)) << error;
    EXPECT_EQ(ratio, v.horizontal);
    ASSERT_TRUE(ParseValues(Join(".50", ratio, "6", "0"), &v, &error)) << error;
    EXPECT_EQ(ratio, v.vertical);
  }
  for (const char *position : kHourItems) {
    ASSERT_TRUE(ParseValues(Join(".50", ".50", position, "0"), &v, &error));
    EXPECT_EQ(position, v.position);
  }
  for (const char *rim : kRimItems) {
    ASSERT_TRUE(ParseValues(Join(".50", ".50", "6", rim), &v, &error));
    EXPECT_EQ(rim, v.rim);
  }
}

TEST(ParseValues, KeepsTheFieldsInTheOrderTheDrawCallReturnsThem) {
  StoredValues v;
  std::string error;
  ASSERT_TRUE(ParseValues(".30|.40|3|-.20", &v, &error)) << error;
  EXPECT_EQ(".30", v.horizontal);
  EXPECT_EQ(".40", v.vertical);
  EXPECT_EQ("3", v.position);
  EXPECT_EQ("-.20", v.rim);
  // FormatValues is its inverse.
  EXPECT_EQ(".30|.40|3|-.20", FormatValues(v));
}

TEST(ParseValues, RefusesTextsThatAreNotItemsRatherThanGuessing) {
  struct Case {
    const char *row;
    const char *reason; // part of the message
  } cases[] = {
      {".3|.40|3|0", "horizontal ratio \".3\""},
      {"0.30|.40|3|0", "horizontal ratio \"0.30\""},
      {".30|-.20|3|0", "vertical ratio \"-.20\""}, // a rim item, not a ratio
      {".30|.40|13|0", "location \"13\""},
      {".30|.40|0|0", "location \"0\""},
      {".30|.40|03|0", "location \"03\""},
      {".30|.40|3|-1", "rim \"-1\""},
      {".30|.40|3|-.97", "rim \"-.97\""},
      {".30| .40|3|0", "vertical ratio \" .40\""},
      {".30|.40|3|", "rim \"\""},
      {".30|.40|3|0|Right eye", "found 5"},
      {".30|.40|3", "found 3"},
      {"", "found 1"},
  };
  for (const Case &c : cases) {
    StoredValues v;
    std::string error;
    EXPECT_FALSE(ParseValues(c.row, &v, &error)) << c.row;
    EXPECT_NE(std::string::npos, error.find(c.reason))
        << c.row << " gave: " << error;
  }
}

TEST(GeometryFor, SketchAreasOfEachDpiGiveTheCapturedPicture) {
  // Measured under Wine at 96, 120 and 144 dpi: the sketch area, and the
  // capture frame less the row the capture drops, with the area's corner.
  struct Case {
    int areaWidth, areaHeight, width, height, areaX, areaY;
  };
  const Case cases[] = {{289, 263, 350, 323, 26, 26},
                        {371, 338, 450, 415, 34, 34},
                        {454, 394, 550, 485, 41, 39}};
  for (const Case &c : cases) {
    const PictureGeometry g = GeometryFor(c.areaWidth, c.areaHeight);
    const std::string got =
        std::to_string(g.width) + "x" + std::to_string(g.height) + " at (" +
        std::to_string(g.areaX) + ", " + std::to_string(g.areaY) + ")";
    const std::string want =
        std::to_string(c.width) + "x" + std::to_string(c.height) + " at (" +
        std::to_string(c.areaX) + ", " + std::to_string(c.areaY) + ")";
    EXPECT_EQ(want, got) << "sketch area " << c.areaWidth << "x"
                         << c.areaHeight;
  }
}

TEST(GeometryFor, KeepsTheDialogsProportionsAtOtherSizes) {
  for (int w : {100, 289, 578, 1155, 4000})
    for (int h : {90, 263, 526, 1052}) {
      const PictureGeometry g = GeometryFor(w, h);
      // Frame 200 x 185 units around an area of 165 x 150, 15 units in;
      // within a pixel, since the dialog rounds area and frame separately.
      EXPECT_NEAR(200.0 * w / 165, g.width, 1.0) << w;
      EXPECT_NEAR(185.0 * h / 150 - 1, g.height, 1.0) << h;
      EXPECT_NEAR(15.0 * w / 165, g.areaX, 1.0) << w;
      EXPECT_NEAR(15.0 * h / 150, g.areaY, 1.0) << h;
      EXPECT_LT(g.areaX + w, g.width);
      EXPECT_LT(g.areaY + h, g.height);
    }
}

TEST(FormatForName, FollowsTheExtensionInAnyCase) {
  OutputFormat f;
  ASSERT_TRUE(FormatForName("a.png", &f));
  EXPECT_EQ(OutputFormat::kPng, f);
  ASSERT_TRUE(FormatForName("dir.pdf/b.SVG", &f));
  EXPECT_EQ(OutputFormat::kSvg, f);
  ASSERT_TRUE(FormatForName("c.Pdf", &f));
  EXPECT_EQ(OutputFormat::kPdf, f);
  EXPECT_FALSE(FormatForName("d.jpg", &f));
  EXPECT_FALSE(FormatForName("png", &f));
  EXPECT_FALSE(FormatForName("dir.png/e", &f));
}

} // namespace
