#pragma once
// The form as designed: every control with its kind, name, parent, place,
// size, font, colour, text and start-up state, in pixels at 96 dpi. Both
// front ends build their controls from this one table, and scale it to the
// screen themselves. Texts are UTF-8.
#include <cstdint>
#include <span>
#include <string_view>

#include "release_info.h"

namespace tarvik::form {

// Every control of the form, by its name on the form. Form1 is the window.
enum class Id : std::uint8_t {
  Form1,
  Image6,
  PageControl1,
  TabSheet1,
  RichEdit1,
  TabSheet2,
  ListBox1,
  TabSheet3,
  Label1,
  lbConnected,
  lbNotConnected,
  ListBox6,
  txtConnFail,
  txtConnOK,
  btnConnect,
  ListBox2,
  cbKeepUser,
  TabSheet4,
  lbWrite,
  BarWrite,
  lbWriteOn,
  lbWriteOK,
  lbWriteErr,
  lbVerify,
  BarVerify,
  lbVerifyOn,
  lbVerifyOK,
  lbVerifyErr,
  txtWriteOK,
  txtWriteFail,
  ListWriteOK,
  ListWriteFail,
  TabSheet5,
  ListBox4,
  ListBox3,
  btnESC,
  btnBACK,
  btnNEXT,
  Panel1,
  StatusBar1,
};
inline constexpr int kControlCount = static_cast<int>(Id::StatusBar1) + 1;

enum class Kind : std::uint8_t {
  Window,
  Picture,        // the logo, drawn unscaled at its top-left corner
  PageContainer,  // tabs hidden; only the wizard changes the page
  Page,
  RichText,       // read-only, word wrap, both scroll bars
  TextList,       // a list box used as printed text: one line an item
  Label,
  Glyph,          // one big check mark or cross
  Button,
  CheckBox,
  ProgressBar,    // range 0 to 100
  Panel,          // empty, no border, face colour
  StatusBar,      // no panels, no text
};

enum class Colour : std::uint8_t { Text, Green, Red, Olive };
enum class Align : std::uint8_t { Left, Right };
enum class Glyph : std::uint8_t { None, Check, Cross };

struct Rgb {
  std::uint8_t red, green, blue;
};
// The fixed colours; Colour::Text is the system's window-text colour.
Rgb ColourValue(Colour colour);

struct Rect {
  int left, top, width, height;
  constexpr int right() const { return left + width; }
  constexpr int bottom() const { return top + height; }
};

struct Font {
  int pixelHeight;  // character height at 96 dpi
  bool bold;
};

struct ControlDescription {
  Id id;
  std::string_view name;
  Kind kind;
  Id parent;  // Form1 or a page
  Rect rect;  // relative to the parent's client area (a page's area lies below the tab row)
  Font font;
  Colour colour;
  Align align;
  Glyph glyph;
  std::string_view text;                // caption, empty for none
  std::span<const char* const> lines;   // the lines of a text list or of the built-in welcome text
  bool shownAtStart;
  bool checkedAtStart;
};

// The window itself; the name and version are the release's (release_info.h).
inline constexpr std::string_view kCaption = TARVIK_PRODUCT_NAME " to v." TARVIK_VERSION;
inline constexpr int kClientWidth = 622;
inline constexpr int kClientHeight = 409;
inline constexpr int kScreenLeft = 368;
inline constexpr int kScreenTop = 173;
inline constexpr Font kDefaultFont{11, false};
// The form was drawn with this font; the front ends pick metric-compatible
// substitutes where it is missing.
inline constexpr std::string_view kFontFamily = "MS Sans Serif";
// The glyphs are characters of the symbol font: 0xFC the check mark, 0xFB the cross.
inline constexpr std::string_view kGlyphFontFamily = "Wingdings";
inline constexpr int kGlyphPixelHeight = 64;
inline constexpr std::uint8_t kWingdingsCheck = 0xFC;
inline constexpr std::uint8_t kWingdingsCross = 0xFB;
// Maximised, the page container keeps this distance to the right edge, and
// the status bar stays along the bottom.
inline constexpr int kPagesRightGap = 13;
inline constexpr int kPageCount = 5;

// The whole form, parents before their children. The window's own controls
// come in their stacking order, bottom first, which is also the keyboard
// order of those that take the focus; each page's controls follow its page.
std::span<const ControlDescription> Controls();
const ControlDescription& Describe(Id id);

// The page control of page 1 to 5, and the page (1 to 5) of a page control, 0 for others.
Id PageId(int page);
int PageNumber(Id id);

// The built-in welcome text, one entry a line.
std::span<const char* const> BuiltInWelcomeLines();

}  // namespace tarvik::form
