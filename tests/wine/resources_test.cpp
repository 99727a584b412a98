// Checks the resources compiled into the built plug-in library: the host
// reads the string table by number, the dialog procedure depends on the
// template's control IDs and order, and the step buttons on the bitmaps.
// Past the usual length: every resource is read raw through the one
// fixture that loads the library as data, and the numbers here are written
// out, not taken from the plug-in's header, because they are what the host
// and the template must agree on.
//
// The library is ORBT_PLUGIN, or Orbitrace.fmx beside this program.

#include <windows.h>

#include <gtest/gtest.h>

#include "stand-in-host/plugin_host.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

std::string PluginPath() { return DefaultPluginPath(); }

class PluginResources : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    path_ = PluginPath();
    if (!path_.empty()) {
      // As a data file: the resources are all that is checked here, and no
      // code of the library should run.
      module_ =
          LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
      loadError_ = module_ ? 0 : GetLastError();
    }
  }
  static void TearDownTestSuite() {
    if (module_)
      FreeLibrary(module_);
    module_ = nullptr;
  }
  void SetUp() override {
    ASSERT_FALSE(path_.empty())
        << "ORBT_PLUGIN is not set; set it to the path of the built plug-in "
           "library (Orbitrace.fmx)";
    ASSERT_NE(module_, nullptr)
        << "LoadLibraryExA(\"" << path_ << "\") failed, error " << loadError_;
  }

  // The raw bytes of a resource in one language; empty if it is absent.
  static std::vector<std::uint8_t> Raw(LPCSTR type, LPCSTR name, WORD lang) {
    HRSRC info = FindResourceExA(module_, type, name, lang);
    if (!info)
      return {};
    HGLOBAL res = LoadResource(module_, info);
    const auto *data = static_cast<const std::uint8_t *>(LockResource(res));
    if (!data)
      return {};
    return std::vector<std::uint8_t>(data,
                                     data + SizeofResource(module_, info));
  }

  static std::string path_;
  static HMODULE module_;
  static DWORD loadError_;
};

std::string PluginResources::path_;
HMODULE PluginResources::module_ = nullptr;
DWORD PluginResources::loadError_ = 0;

// --- String table -----------------------------------------------------------

std::string LoadText(HMODULE module, UINT id, int *length) {
  char buffer[512];
  std::memset(buffer, 0x55, sizeof buffer);
  *length = LoadStringA(module, id, buffer, sizeof buffer);
  return std::string(buffer, *length > 0 ? *length : 0);
}

TEST_F(PluginResources, HostStringsHaveTheirExactTexts) {
  const struct {
    UINT id;
    const char *text;
  } expected[] = {
      {128, "Orbitrace"},    {129, "Orbitrace Plug-in "}, {131, "QNTX1nYYYnn"},
      {144, "ORBT_Version"}, {146, "ORBT_Draw"},
  };
  for (const auto &e : expected) {
    int length = 0;
    const std::string got = LoadText(module_, e.id, &length);
    EXPECT_EQ(got, e.text) << "string " << e.id;
    EXPECT_EQ(length, static_cast<int>(std::strlen(e.text)))
        << "length of string " << e.id;
  }
}

TEST_F(PluginResources, DescriptionEndsWithOneSpace) {
  int length = 0;
  const std::string got = LoadText(module_, 129, &length);
  ASSERT_GE(got.size(), 2u) << "string 129 is \"" << got << "\"";
  EXPECT_EQ(got.back(), ' ') << "string 129 is \"" << got << "\"";
  EXPECT_NE(got[got.size() - 2], ' ') << "string 129 is \"" << got << "\"";
}

TEST_F(PluginResources, FunctionIdsBetweenTheNamedOnesHaveNoName) {
  for (UINT id : {130u, 145u, 147u}) {
    int length = -1;
    const std::string got = LoadText(module_, id, &length);
    EXPECT_EQ(length, 0) << "string " << id << " should be absent, got \""
                         << got << "\"";
  }
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
  auto *names = reinterpret_cast<std::vector<ULONG_PTR> *>(param);
  names->push_back(reinterpret_cast<ULONG_PTR>(name));
  return TRUE;
}

// Each string-table block holds 16 counted UTF-16 strings.
std::vector<std::wstring> Block(const std::vector<std::uint8_t> &raw) {
  std::vector<std::wstring> texts;
  size_t at = 0;
  for (int i = 0; i < 16 && at + 2 <= raw.size(); ++i) {
    const WORD n = raw[at] | (raw[at + 1] << 8);
    at += 2;
    std::wstring s;
    for (WORD k = 0; k < n && at + 2 <= raw.size(); ++k, at += 2)
      s.push_back(static_cast<wchar_t>(raw[at] | (raw[at + 1] << 8)));
    texts.push_back(s);
  }
  return texts;
}

TEST_F(PluginResources, StringTableHoldsNoOtherStrings) {
  std::vector<ULONG_PTR> blocks;
  EnumResourceNamesA(module_, RT_STRING, CollectName,
                     reinterpret_cast<LONG_PTR>(&blocks));
  // The host's two blocks, and the plug-in's own far from them (IDs 4112
  // to 4127: the prompt and the step buttons' names).
  ASSERT_EQ(blocks.size(), 3u) << "expected only the blocks of IDs 128..143, "
                                  "144..159 and 4112..4127";
  EXPECT_EQ(blocks[0], 9u) << "first string block";
  EXPECT_EQ(blocks[1], 10u) << "second string block";
  EXPECT_EQ(blocks[2], 258u) << "the plug-in's own block";

  for (ULONG_PTR block : {9u, 10u}) {
    const auto raw = Raw(RT_STRING, MAKEINTRESOURCEA(block), kEnglishUs);
    ASSERT_FALSE(raw.empty())
        << "string block " << block << " is missing in U.S. English";
    const auto texts = Block(raw);
    ASSERT_EQ(texts.size(), 16u) << "string block " << block;
    for (int i = 0; i < 16; ++i) {
      const UINT id = (block - 1) * 16 + i;
      const bool used =
          id == 128 || id == 129 || id == 131 || id == 144 || id == 146;
      EXPECT_EQ(!texts[i].empty(), used)
          << "string " << id << " has " << texts[i].size() << " characters";
    }
  }
}

// --- Dialog template --------------------------------------------------------

class TemplateReader {
public:
  explicit TemplateReader(const std::vector<std::uint8_t> &data)
      : data_(data) {}
  bool ok() const { return ok_; }
  size_t offset() const { return at_; }
  void AlignDword() { at_ = (at_ + 3) & ~size_t(3); }
  WORD Word() {
    if (at_ + 2 > data_.size()) {
      ok_ = false;
      return 0;
    }
    const WORD w = data_[at_] | (data_[at_ + 1] << 8);
    at_ += 2;
    return w;
  }
  DWORD Dword() {
    const DWORD lo = Word();
    return lo | (DWORD(Word()) << 16);
  }
  short Short() { return static_cast<short>(Word()); }
  // A zero-terminated UTF-16 text, as UTF-8.
  std::string Text() {
    std::string s;
    for (WORD w = Word(); ok_ && w != 0; w = Word()) {
      if (w < 0x80) {
        s.push_back(static_cast<char>(w));
      } else if (w < 0x800) {
        s.push_back(static_cast<char>(0xC0 | w >> 6));
        s.push_back(static_cast<char>(0x80 | (w & 0x3F)));
      } else {
        s.push_back(static_cast<char>(0xE0 | w >> 12));
        s.push_back(static_cast<char>(0x80 | (w >> 6 & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (w & 0x3F)));
      }
    }
    return s;
  }
  // A name-or-ordinal field: "#<n>" for an ordinal, the text otherwise.
  std::string NameOrOrdinal() {
    const size_t start = at_;
    if (Word() == 0xFFFF)
      return "#" + std::to_string(Word());
    at_ = start;
    return Text();
  }

private:
  const std::vector<std::uint8_t> &data_;
  size_t at_ = 0;
  bool ok_ = true;
};

struct Item {
  WORD id;
  const char *className;
  WORD atom;
  DWORD style;
  short x, y, cx, cy;
  const char *text;
};

const Item kItems[24] = {
    {101, "COMBOBOX", 0x85, 0x50210003, 225, 40, 40, 52, ""},
    {110, "STATIC", 0x82, 0x50000012, 221, 30, 65, 35, ""},
    {101, "STATIC", 0x82, 0x50020000, 227, 27, 32, 8, "Horizontal"},
    {112, "BUTTON", 0x80, 0x5000000B, 270, 37, 10, 10, ""},
    {113, "BUTTON", 0x80, 0x5000000B, 270, 46, 10, 10, ""},
    {109, "COMBOBOX", 0x85, 0x50210003, 295, 40, 40, 62, ""},
    {105, "STATIC", 0x82, 0x50000012, 291, 30, 65, 35, ""},
    {106, "STATIC", 0x82, 0x50020000, 297, 27, 32, 8, "Vertical"},
    {107, "BUTTON", 0x80, 0x5000000B, 340, 37, 10, 10, ""},
    {108, "BUTTON", 0x80, 0x5000000B, 340, 46, 10, 10, ""},
    {114, "COMBOBOX", 0x85, 0x50210003, 225, 100, 40, 52, ""},
    {120, "STATIC", 0x82, 0x50000012, 221, 90, 65, 35, ""},
    {121, "STATIC", 0x82, 0x50020000, 227, 87, 28, 8, "Location"},
    {122, "BUTTON", 0x80, 0x5000000B, 270, 97, 10, 10, ""},
    {123, "BUTTON", 0x80, 0x5000000B, 270, 106, 10, 10, ""},
    {119, "COMBOBOX", 0x85, 0x50210003, 295, 100, 40, 52, ""},
    {115, "STATIC", 0x82, 0x50000012, 291, 90, 65, 35, ""},
    {116, "STATIC", 0x82, 0x50020000, 297, 87, 12, 8, "Rim"},
    {117, "BUTTON", 0x80, 0x5000000B, 340, 97, 10, 10, ""},
    {118, "BUTTON", 0x80, 0x5000000B, 340, 106, 10, 10, ""},
    {124, "STATIC", 0x82, 0x50000006, 35, 15, 165, 150, ""},
    {155, "BUTTON", 0x80, 0x5000000B, 20, 0, 200, 185, ""},
    {120, "BUTTON", 0x80, 0x50010001, 225, 150, 60, 14, "OK"},
    {126, "BUTTON", 0x80, 0x50010000, 295, 150, 60, 14, "Reset"},
};

std::string Hex(DWORD v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(v));
  return buf;
}

TEST_F(PluginResources, SketchDialogIsLanguageNeutral) {
  EXPECT_FALSE(Raw(RT_DIALOG, MAKEINTRESOURCEA(4009), kNeutral).empty())
      << "dialog 4009 not found with language neutral (0, 0)";
}

TEST_F(PluginResources, EnglishDialogsAlsoInUsEnglishAsTheyAreNeutral) {
  // Found by its exact language, not by the loader's choice.
  for (int id : {4009, 4010}) {
    const auto neutral = Raw(RT_DIALOG, MAKEINTRESOURCEA(id), kNeutral);
    EXPECT_FALSE(neutral.empty()) << "dialog " << id;
    EXPECT_TRUE(Raw(RT_DIALOG, MAKEINTRESOURCEA(id), kEnglishUs) == neutral)
        << "dialog " << id;
  }
}

TEST_F(PluginResources, SketchDialogHeader) {
  const auto data = Raw(RT_DIALOG, MAKEINTRESOURCEA(4009), kNeutral);
  ASSERT_FALSE(data.empty()) << "dialog 4009 not found";
  TemplateReader r(data);
  const WORD first = r.Word();
  const WORD second = r.Word();
  ASSERT_FALSE(first == 1 && second == 0xFFFF)
      << "dialog 4009 is an extended template (DLGTEMPLATEEX); expected a "
         "plain DLGTEMPLATE";
  const DWORD style = first | (DWORD(second) << 16);
  EXPECT_EQ(style, 0x10C000C0u)
      << "style is " << Hex(style) << ", expected 0x10C000C0";
  EXPECT_EQ(style & WS_SYSMENU, 0u) << "the caption must have no close box";
  EXPECT_EQ(style & WS_POPUP, 0u) << "style " << Hex(style);
  const DWORD exStyle = r.Dword();
  EXPECT_EQ(exStyle, 0u) << "extended style is " << Hex(exStyle);
  const WORD count = r.Word();
  EXPECT_EQ(count, 24) << "number of controls";
  const short x = r.Short(), y = r.Short(), cx = r.Short(), cy = r.Short();
  EXPECT_EQ(x, 100) << "x";
  EXPECT_EQ(y, 100) << "y";
  EXPECT_EQ(cx, 410) << "width";
  EXPECT_EQ(cy, 200) << "height";
  EXPECT_EQ(r.NameOrOrdinal(), "") << "menu";
  EXPECT_EQ(r.NameOrOrdinal(), "") << "window class";
  EXPECT_EQ(r.Text(), "") << "caption";
  EXPECT_EQ(r.Word(), 9) << "font point size";
  EXPECT_EQ(r.Text(), "MS Sans Serif") << "font name";
  EXPECT_TRUE(r.ok()) << "template is truncated";
}

struct ParsedItem {
  DWORD style, exStyle;
  short x, y, cx, cy;
  WORD id;
  std::string cls, text;
  WORD extra;
};

// Reads the controls of a plain DLGTEMPLATE with DS_SETFONT; stops early if
// the data ends. *end receives the offset after the last control.
std::vector<ParsedItem> ParseControls(const std::vector<std::uint8_t> &data,
                                      size_t *end) {
  TemplateReader r(data);
  r.Dword();
  r.Dword();
  const WORD count = r.Word();
  for (int i = 0; i < 4; ++i)
    r.Short();
  r.NameOrOrdinal(); // menu
  r.NameOrOrdinal(); // class
  r.Text();          // caption
  r.Word();          // point size
  r.Text();          // font
  std::vector<ParsedItem> items;
  for (int i = 0; i < count; ++i) {
    ParsedItem p;
    r.AlignDword();
    p.style = r.Dword();
    p.exStyle = r.Dword();
    p.x = r.Short();
    p.y = r.Short();
    p.cx = r.Short();
    p.cy = r.Short();
    p.id = r.Word();
    p.cls = r.NameOrOrdinal();
    p.text = r.NameOrOrdinal();
    p.extra = r.Word();
    if (!r.ok())
      break;
    items.push_back(p);
  }
  r.AlignDword();
  *end = r.offset();
  return items;
}

bool IsClass(const std::string &cls, WORD atom, const char *name) {
  return cls == "#" + std::to_string(atom) || lstrcmpiA(cls.c_str(), name) == 0;
}

TEST_F(PluginResources, SketchDialogControls) {
  const auto data = Raw(RT_DIALOG, MAKEINTRESOURCEA(4009), kNeutral);
  ASSERT_FALSE(data.empty()) << "dialog 4009 not found";
  size_t end = 0;
  const auto items = ParseControls(data, &end);
  ASSERT_EQ(items.size(), 24u) << "controls read from the template";
  for (size_t i = 0; i < items.size(); ++i) {
    const Item &e = kItems[i];
    const ParsedItem &p = items[i];
    SCOPED_TRACE("control #" + std::to_string(i + 1) + " (expected ID " +
                 std::to_string(e.id) + ")");
    EXPECT_EQ(p.id, e.id) << "ID";
    EXPECT_EQ(p.style, e.style)
        << "style is " << Hex(p.style) << ", expected " << Hex(e.style);
    EXPECT_EQ(p.exStyle, 0u) << "extended style is " << Hex(p.exStyle);
    EXPECT_EQ(p.x, e.x) << "x";
    EXPECT_EQ(p.y, e.y) << "y";
    EXPECT_EQ(p.cx, e.cx) << "width";
    EXPECT_EQ(p.cy, e.cy) << "height";
    EXPECT_TRUE(IsClass(p.cls, e.atom, e.className))
        << "class is \"" << p.cls << "\", expected " << e.className << " (atom "
        << e.atom << ")";
    EXPECT_EQ(p.text, e.text) << "text";
    EXPECT_EQ(p.extra, 0) << "creation data";
  }
  EXPECT_GE(end + 3, data.size()) << "template has " << data.size() - end
                                  << " bytes after the last control";
}

TEST_F(PluginResources, LookupsOfRepeatedIdsFindTheIntendedControl) {
  // A lookup by ID finds the first control of that ID in template order:
  // 101 must be the Horizontal combo box, not its label, and the OK button
  // must not be the first 120.
  const auto data = Raw(RT_DIALOG, MAKEINTRESOURCEA(4009), kNeutral);
  ASSERT_FALSE(data.empty()) << "dialog 4009 not found";
  size_t end = 0;
  const auto items = ParseControls(data, &end);
  const ParsedItem *first101 = nullptr;
  const ParsedItem *first120 = nullptr;
  int count101 = 0, count120 = 0;
  for (const ParsedItem &p : items) {
    if (p.id == 101 && !count101++)
      first101 = &p;
    if (p.id == 120 && !count120++)
      first120 = &p;
  }
  EXPECT_EQ(count101, 2) << "controls with ID 101";
  EXPECT_EQ(count120, 2) << "controls with ID 120";
  ASSERT_NE(first101, nullptr) << "no control with ID 101";
  ASSERT_NE(first120, nullptr) << "no control with ID 120";
  EXPECT_TRUE(IsClass(first101->cls, 0x85, "COMBOBOX"))
      << "first control 101 has class \"" << first101->cls << "\"";
  EXPECT_TRUE(IsClass(first120->cls, 0x82, "STATIC"))
      << "first control 120 has class \"" << first120->cls << "\" and text \""
      << first120->text << "\"; expected the frame";
}

// --- Translations -----------------------------------------------------------

// The host's other languages: German, French, Italian, Spanish, Dutch,
// Swedish, Japanese.
const WORD kTranslations[] = {0x0407, 0x040C, 0x0410, 0x0C0A,
                              0x0413, 0x041D, 0x0411};

struct Header {
  DWORD style, exStyle;
  WORD count;
  short x, y, cx, cy;
  std::string menu, cls, caption;
  WORD points;
  std::string font;
};

Header ReadHeader(const std::vector<std::uint8_t> &data) {
  TemplateReader r(data);
  Header h;
  h.style = r.Dword();
  h.exStyle = r.Dword();
  h.count = r.Word();
  h.x = r.Short();
  h.y = r.Short();
  h.cx = r.Short();
  h.cy = r.Short();
  h.menu = r.NameOrOrdinal();
  h.cls = r.NameOrOrdinal();
  h.caption = r.Text();
  h.points = r.Word();
  h.font = r.Text();
  return h;
}

TEST_F(PluginResources, TranslationsChangeOnlyTheTexts) {
  for (WORD language : kTranslations) {
    for (int id : {4009, 4010}) {
      SCOPED_TRACE("dialog " + std::to_string(id) + ", language " +
                   Hex(language));
      const auto english = Raw(RT_DIALOG, MAKEINTRESOURCEA(id), kNeutral);
      const auto data = Raw(RT_DIALOG, MAKEINTRESOURCEA(id), language);
      ASSERT_FALSE(data.empty()) << "not translated";
      const Header e = ReadHeader(english), t = ReadHeader(data);
      EXPECT_EQ(e.style, t.style);
      EXPECT_EQ(e.exStyle, t.exStyle);
      EXPECT_EQ(e.count, t.count);
      EXPECT_TRUE(e.x == t.x && e.y == t.y && e.cx == t.cx && e.cy == t.cy)
          << "position and size";
      EXPECT_TRUE(e.menu == t.menu && e.cls == t.cls) << "menu, class";
      EXPECT_EQ(e.caption.empty(), t.caption.empty()) << "caption";
      EXPECT_EQ(e.points, t.points) << "font size";
      // MS Sans Serif cannot show Japanese (Q152099), and Windows 95 to NT
      // 4.0 link no other font to it.
      EXPECT_EQ(language == 0x0411 ? "ＭＳ Ｐゴシック" : e.font, t.font)
          << "font";
      size_t end = 0;
      const auto es = ParseControls(english, &end);
      const auto ts = ParseControls(data, &end);
      ASSERT_EQ(es.size(), ts.size()) << "controls";
      for (size_t i = 0; i < es.size(); ++i) {
        const ParsedItem &a = es[i], &b = ts[i];
        EXPECT_TRUE(a.id == b.id && a.style == b.style &&
                    a.exStyle == b.exStyle && a.cls == b.cls &&
                    a.extra == b.extra)
            << "control #" << i + 1 << ": ID, class or style";
        // A group's label (after its frame) may be as wide as its word,
        // inside the frame.
        const bool label = a.style == 0x50020000 && i > 0;
        const bool width =
            label ? b.cx >= a.cx && b.x + b.cx <= es[i - 1].x + es[i - 1].cx
                  : a.cx == b.cx;
        EXPECT_TRUE(a.x == b.x && a.y == b.y && width && a.cy == b.cy)
            << "control #" << i + 1 << ": position or size";
        EXPECT_EQ(a.text.empty(), b.text.empty()) << "control #" << i + 1;
      }
    }
    // The plug-in's own strings in the language; the host's only in
    // English.
    const auto own = Raw(RT_STRING, MAKEINTRESOURCEA(258), language);
    const auto texts = Block(own);
    ASSERT_EQ(texts.size(), 16u) << "block 258 in " << Hex(language);
    for (int i = 0; i < 16; ++i)
      EXPECT_EQ(!texts[i].empty(), i <= 9)
          << "string " << 4112 + i << " in " << Hex(language);
    for (int block : {9, 10})
      EXPECT_TRUE(Raw(RT_STRING, MAKEINTRESOURCEA(block), language).empty())
          << "the host's block " << block << " in " << Hex(language);
  }
}

// --- Bitmaps ----------------------------------------------------------------

// Bitmap 2 as rows from the top: K black, G mid-grey, . face.
const char *const kStepUp[16] = {
    "KKKKKKKKKKKKKKKK", "KGGGGGGGGGGGGGGK", "KG............GK",
    "KG............GK", "KG............GK", "KG............GK",
    "KG............GK", "KG......K.....GK", "KG.....KKK....GK",
    "KG....KKKKK...GK", "KG...KKKKKKK..GK", "KG............GK",
    "KG............GK", "KG............GK", "KG............GK",
    "KG............GK",
};

COLORREF StepColour(char c) {
  switch (c) {
  case 'K':
    return RGB(0, 0, 0);
  case 'G':
    return RGB(127, 127, 127);
  default:
    return RGB(211, 211, 211);
  }
}

std::string Colour(COLORREF c) {
  return "RGB(" + std::to_string(GetRValue(c)) + ", " +
         std::to_string(GetGValue(c)) + ", " + std::to_string(GetBValue(c)) +
         ")";
}

// Expected colour at (row from the top, column) of bitmap 2 or 3.
COLORREF ExpectedStep(int resource, int row, int col) {
  return StepColour(kStepUp[resource == 2 ? row : 15 - row][col]);
}

// The pixels of a loaded bitmap as COLORREFs, top row first.
std::vector<COLORREF> ReadPixels(HBITMAP bitmap, int width, int height) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height; // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  const int stride = ((width * 3) + 3) & ~3;
  std::vector<BYTE> bits(stride * height);
  HDC dc = GetDC(nullptr);
  const int lines =
      GetDIBits(dc, bitmap, 0, height, bits.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  if (lines != height)
    return {};
  std::vector<COLORREF> out;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const BYTE *p = &bits[y * stride + x * 3];
      out.push_back(RGB(p[2], p[1], p[0]));
    }
  return out;
}

class StepBitmap : public PluginResources,
                   public ::testing::WithParamInterface<int> {};

TEST_P(StepBitmap, LoadedPixelsMatchThePicture) {
  const int id = GetParam();
  HBITMAP bitmap = LoadBitmapA(module_, MAKEINTRESOURCEA(id));
  ASSERT_NE(bitmap, nullptr) << "LoadBitmapA(" << id << ") failed";
  BITMAP info = {};
  ASSERT_NE(GetObjectA(bitmap, sizeof info, &info), 0);
  EXPECT_EQ(info.bmWidth, 16) << "width of bitmap " << id;
  EXPECT_EQ(info.bmHeight, 16) << "height of bitmap " << id;
  const auto pixels = ReadPixels(bitmap, 16, 16);
  DeleteObject(bitmap);
  ASSERT_EQ(pixels.size(), 256u) << "GetDIBits failed on bitmap " << id;
  for (int row = 0; row < 16; ++row)
    for (int col = 0; col < 16; ++col) {
      const COLORREF want = ExpectedStep(id, row, col);
      const COLORREF got = pixels[row * 16 + col];
      EXPECT_EQ(got, want) << "bitmap " << id << " row " << row << " column "
                           << col << ": got " << Colour(got) << ", expected "
                           << Colour(want);
    }
}

TEST_P(StepBitmap, RawResourceIsUncompressed24BitsAt3780PixelsPerMetre) {
  const int id = GetParam();
  const auto raw = Raw(RT_BITMAP, MAKEINTRESOURCEA(id), kEnglishUs);
  ASSERT_GE(raw.size(), sizeof(BITMAPINFOHEADER))
      << "bitmap " << id << " is missing in U.S. English";
  BITMAPINFOHEADER h;
  std::memcpy(&h, raw.data(), sizeof h);
  EXPECT_EQ(h.biSize, sizeof(BITMAPINFOHEADER)) << "header size";
  EXPECT_EQ(h.biWidth, 16) << "width";
  EXPECT_EQ(h.biHeight, 16) << "height (positive: bottom-up rows)";
  EXPECT_EQ(h.biPlanes, 1) << "planes";
  EXPECT_EQ(h.biBitCount, 24) << "bits per pixel";
  EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB)) << "compression";
  EXPECT_EQ(h.biXPelsPerMeter, 3780) << "horizontal resolution";
  EXPECT_EQ(h.biYPelsPerMeter, 3780) << "vertical resolution";
  EXPECT_EQ(h.biClrUsed, 0u) << "colour table entries";
  const size_t stride = 48;
  ASSERT_GE(raw.size(), h.biSize + stride * 16) << "pixel data is short";
  for (int row = 0; row < 16; ++row) {
    const std::uint8_t *line = &raw[h.biSize + (15 - row) * stride];
    for (int col = 0; col < 16; ++col) {
      const std::uint8_t *p = line + col * 3;
      const COLORREF got = RGB(p[2], p[1], p[0]);
      const COLORREF want = ExpectedStep(id, row, col);
      EXPECT_EQ(got, want) << "bitmap " << id << " row " << row << " column "
                           << col << ": got " << Colour(got) << ", expected "
                           << Colour(want);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(UpAndDown, StepBitmap, ::testing::Values(2, 3));

TEST_F(PluginResources, LowerStepBitmapIsTheUpperOneUpsideDown) {
  HBITMAP up = LoadBitmapA(module_, MAKEINTRESOURCEA(2));
  HBITMAP down = LoadBitmapA(module_, MAKEINTRESOURCEA(3));
  ASSERT_NE(up, nullptr) << "LoadBitmapA(2) failed";
  ASSERT_NE(down, nullptr) << "LoadBitmapA(3) failed";
  const auto a = ReadPixels(up, 16, 16);
  const auto b = ReadPixels(down, 16, 16);
  DeleteObject(up);
  DeleteObject(down);
  ASSERT_EQ(a.size(), 256u);
  ASSERT_EQ(b.size(), 256u);
  int differing = 0;
  for (int row = 0; row < 16; ++row)
    for (int col = 0; col < 16; ++col)
      if (b[row * 16 + col] != a[(15 - row) * 16 + col])
        ++differing;
  EXPECT_EQ(differing, 0) << "pixels of bitmap 3 that differ from bitmap 2 "
                             "mirrored top to bottom";
  EXPECT_NE(a, b) << "bitmaps 2 and 3 are identical; 3 must be 2 mirrored";
}

TEST_F(PluginResources, ToolStripIs60By16With16Colours) {
  const auto raw = Raw(RT_BITMAP, MAKEINTRESOURCEA(2500), kEnglishUs);
  ASSERT_GE(raw.size(), sizeof(BITMAPINFOHEADER))
      << "bitmap 2500 is missing in U.S. English";
  BITMAPINFOHEADER h;
  std::memcpy(&h, raw.data(), sizeof h);
  EXPECT_EQ(h.biWidth, 60) << "width";
  EXPECT_EQ(h.biHeight, 16) << "height";
  ASSERT_EQ(h.biBitCount, 4) << "bits per pixel";
  EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB)) << "compression";
  const DWORD colours = h.biClrUsed ? h.biClrUsed : 16;
  ASSERT_EQ(colours, 16u) << "colour table entries";
  ASSERT_GE(raw.size(), h.biSize + 16 * 4 + 32 * 16) << "resource is short";

  const RGBQUAD *table =
      reinterpret_cast<const RGBQUAD *>(raw.data() + h.biSize);
  auto entry = [&](int i) {
    return RGB(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
  };
  EXPECT_EQ(entry(0), RGB(0, 0, 0)) << "index 0: " << Colour(entry(0));
  EXPECT_EQ(entry(7), RGB(192, 192, 192)) << "index 7: " << Colour(entry(7));
  EXPECT_EQ(entry(8), RGB(128, 128, 128)) << "index 8: " << Colour(entry(8));
  EXPECT_EQ(entry(15), RGB(255, 255, 255)) << "index 15: " << Colour(entry(15));

  const std::uint8_t *bits = raw.data() + h.biSize + 16 * 4;
  auto index = [&](int row, int col) { // row from the top
    const std::uint8_t b = bits[(15 - row) * 32 + col / 2];
    return col % 2 == 0 ? b >> 4 : b & 0x0F;
  };
  // Between and after the three images there is only silver.
  for (int row = 0; row < 16; ++row)
    for (int col = 0; col < 60; ++col) {
      const bool inImage =
          col <= 14 || (col >= 17 && col <= 31) || (col >= 34 && col <= 45);
      if (!inImage) {
        EXPECT_EQ(index(row, col), 7)
            << "row " << row << " column " << col << " outside the images";
      }
    }
  // Each image is outlined in black with white highlights on silver.
  const int lefts[3] = {0, 17, 34};
  const int rights[3] = {14, 31, 45};
  for (int i = 0; i < 3; ++i) {
    int black = 0, white = 0, silver = 0;
    for (int row = 0; row < 16; ++row)
      for (int col = lefts[i]; col <= rights[i]; ++col) {
        const int v = index(row, col);
        black += v == 0;
        white += v == 15;
        silver += v == 7;
      }
    EXPECT_GT(black, 0) << "image " << i + 1 << " has no black outline";
    EXPECT_GT(white, 0) << "image " << i + 1 << " has no white highlight";
    EXPECT_GT(silver, 0) << "image " << i + 1 << " has no silver background";
  }
}

// --- Version resource -------------------------------------------------------

class VersionInfo : public PluginResources {
protected:
  void SetUp() override {
    PluginResources::SetUp();
    if (HasFatalFailure())
      return;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path_.c_str(), &handle);
    ASSERT_NE(size, 0u) << "no version resource in " << path_;
    block_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoA(path_.c_str(), 0, size, block_.data()) !=
                FALSE);
  }
  std::string Value(const char *name) {
    const std::string key = std::string("\\StringFileInfo\\040904e4\\") + name;
    char *text = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block_.data(), key.c_str(),
                        reinterpret_cast<void **>(&text), &length) ||
        !text)
      return "<missing>";
    return std::string(text, strnlen(text, length));
  }
  std::vector<BYTE> block_;
};

TEST_F(VersionInfo, FixedFields) {
  VS_FIXEDFILEINFO *fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block_.data(), "\\",
                             reinterpret_cast<void **>(&fixed), &length) &&
              fixed);
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010003u)
      << "FILEVERSION high part " << Hex(fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u)
      << "FILEVERSION low part " << Hex(fixed->dwFileVersionLS);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010003u)
      << "PRODUCTVERSION high part " << Hex(fixed->dwProductVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u)
      << "PRODUCTVERSION low part " << Hex(fixed->dwProductVersionLS);
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32))
      << "FILEOS " << Hex(fixed->dwFileOS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP))
      << "FILETYPE " << Hex(fixed->dwFileType);
  EXPECT_EQ(fixed->dwFileSubtype, 0u)
      << "FILESUBTYPE " << Hex(fixed->dwFileSubtype);
}

TEST_F(VersionInfo, StringValues) {
  EXPECT_EQ(Value("FileDescription"), "Orbitrace 1.3");
  EXPECT_EQ(Value("FileVersion"), "1.3 9/17/08");
  EXPECT_EQ(Value("InternalName"), "Orbitrace");
  EXPECT_EQ(Value("OriginalFilename"), "Orbitrace.FMX");
  EXPECT_EQ(Value("ProductName"), "Orbitrace 1.3");
  EXPECT_EQ(Value("ProductVersion"), "1.3 9/17/08");
}

TEST_F(VersionInfo, Translation) {
  WORD *pair = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block_.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void **>(&pair), &length) &&
              pair)
      << "no Translation value";
  ASSERT_EQ(length, 4u) << "Translation should hold exactly one pair";
  EXPECT_EQ(pair[0], 0x0409) << "language " << Hex(pair[0]);
  EXPECT_EQ(pair[1], 0x04E4) << "code page " << Hex(pair[1]);
}

} // namespace
