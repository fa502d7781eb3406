#pragma once
// The form as designed: every control with its kind, name, parent, place,
// size, font, colour, text and start-up state, in pixels at 96 dpi. Both
// front ends build their controls from this one table, and scale it to the
// screen themselves. Texts are UTF-8.
#include <cstdint>
#include <span>
#include <string>
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
  TextList,       // a list box used as printed text: one line an item. A
                  // screen reader gets it as one piece of static text, its
                  // lines joined, not as a list of lines to select
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
  // What a screen reader calls a control that shows no text of its own (the
  // logo, the bars, the glyphs); empty for the others, which it reads by
  // their text.
  std::string_view accessibleName;
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

// --- what a screen reader is told --------------------------------------------

// The name a screen reader reads for a control: its text; a text list's
// lines joined, a line's trailing blanks dropped, a space between the lines
// of a paragraph and a line break where an empty line ends one; for the
// logo, the bars and the glyphs their accessibleName.
std::string AccessibleName(Id id);

// What a screen reader is told when the control appears, empty for none:
// the connection's result, the heading of each phase of the update, and the
// update's outcome, each with the text that goes with it. The front ends say
// it whenever the control goes from hidden to shown, whichever handler shows
// it, so that every road to an indicator is heard.
std::string AnnouncementOnShow(Id id);

// The text a page shows when it appears (its labels and text lists that
// show from the start, in order), empty for a page that shows none (page 4)
// or only a box with the welcome text (page 1). Windows names the page's
// window with it.
std::string PageText(int page);

}  // namespace tarvik::form
