// The form's controls as Win32 controls, built from the form's description:
// each at its place and size scaled from 96 dpi to the window's DPI, in its
// font, with its text. The window's own controls are created in the
// description's order, which is also their keyboard order (a child window
// created earlier comes first); Panel1 is then raised above the page
// container, which it covers in part.
#include "win32_headers.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>

#include "accessibility.h"
#include "control_ids.h"
#include "dpi.h"
#include "form_window.h"
#include "glyphs.h"
#include "rich_text.h"
#include "text_lists.h"
#include "wide_text.h"

namespace tarvik::win32 {
namespace {

using form::ControlDescription;
using form::Id;
using form::Kind;

// A fixed single border: no sizing frame, but the system menu and the
// minimise and maximise boxes.
constexpr DWORD kFormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;
constexpr DWORD kChild = WS_CHILD | WS_CLIPSIBLINGS;

struct WindowKind {
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
};

WindowKind KindOf(const ControlDescription& c) {
  switch (c.kind) {
    case Kind::Picture: return {L"STATIC", kChild | SS_OWNERDRAW, 0};
    case Kind::PageContainer:
      // Flat one-pixel button tabs that never take the focus; the tab row is
      // covered by Panel1 and the page cannot be picked.
      return {WC_TABCONTROLW,
              kChild | WS_CLIPCHILDREN | TCS_BUTTONS | TCS_FLATBUTTONS | TCS_FIXEDWIDTH |
                  TCS_FOCUSNEVER,
              WS_EX_CONTROLPARENT};
    case Kind::Page: return {kPageWindowClass, kChild | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    case Kind::RichText:
      return {RichEditClass(),
              kChild | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                  ES_AUTOVSCROLL,
              WS_EX_CLIENTEDGE};
    case Kind::TextList: return {WC_LISTBOXW, kChild | WS_TABSTOP | TextListStyle(), 0};
    case Kind::Label:
      return {L"STATIC",
              kChild | SS_NOPREFIX | (c.align == form::Align::Right ? SS_RIGHT : SS_LEFT), 0};
    case Kind::Glyph: return {L"STATIC", kChild | SS_OWNERDRAW | SS_NOPREFIX, 0};
    case Kind::Button: return {L"BUTTON", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0};
    case Kind::CheckBox: return {L"BUTTON", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 0};
    case Kind::ProgressBar: return {PROGRESS_CLASSW, kChild, 0};
    case Kind::Panel: return {L"STATIC", kChild, 0};
    case Kind::StatusBar:
      // Placed by the window, not by itself: the form gives it 17 pixels.
      return {STATUSCLASSNAMEW, kChild | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, 0};
    case Kind::Window: break;
  }
  return {L"STATIC", kChild, 0};
}

std::wstring TextOf(const ControlDescription& c) {
  // The glyphs and the logo are drawn; their text is what a screen reader
  // calls them.
  if (c.kind == Kind::Glyph || c.kind == Kind::Picture) return Widen(form::AccessibleName(c.id));
  return Widen(c.text);
}

}  // namespace

void FormWindow::CreateFormWindow() {
  const ControlDescription& form = form::Describe(Id::Form1);
  ::CreateWindowExW(kFormExStyle, kFormWindowClass, Widen(form.text).c_str(), kFormStyle,
                    form.rect.left, form.rect.top, form::kClientWidth, form::kClientHeight,
                    nullptr, nullptr, instance_, this);
  if (window_ == nullptr) return;
  controls_[static_cast<std::size_t>(Id::Form1)] = window_;
  dpi_ = DpiOfWindow(window_);
  SizeToClientArea();
  CreateFonts();
  LoadLogo();
}

void FormWindow::SizeToClientArea() {
  const int width = Scale(form::kClientWidth, dpi_);
  const int height = Scale(form::kClientHeight, dpi_);
  SIZE outer{};
  if (DpiOfWindow(window_) == dpi_) {
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_EXSTYLE));
    outer = OuterSize(width, height, style, exStyle, dpi_);
  } else {
    // The frame the window has now, where the system scales it apart from
    // the DPI this window was told.
    RECT window{}, client{};
    ::GetWindowRect(window_, &window);
    ::GetClientRect(window_, &client);
    outer = {width + (window.right - window.left) - client.right,
             height + (window.bottom - window.top) - client.bottom};
  }
  ::SetWindowPos(window_, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::BuildControls() {
  if (window_ == nullptr) return;
  for (const ControlDescription& c : form::Controls()) {
    if (c.kind == Kind::Window) continue;
    controls_[static_cast<std::size_t>(c.id)] = BuildControl(c);
  }
  // Panel1 lies above the page container (painting follows the order of
  // the children, the keyboard ignores the panel).
  ::SetWindowPos(Control(Id::Panel1), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ApplyFonts();
  Layout();
  MakeAccessible();
}

void FormWindow::MakeAccessible() {
  for (const ControlDescription& c : form::Controls()) {
    HWND control = Control(c.id);
    const std::wstring name = Widen(form::AccessibleName(c.id));
    switch (c.kind) {
      // Windows' list proxy would offer the lines as items to select, and
      // name the list after the label before it.
      case Kind::TextList: OverrideAccessible(control, name, ROLE_SYSTEM_STATICTEXT, true); break;
      case Kind::ProgressBar: OverrideAccessible(control, name, ROLE_SYSTEM_PROGRESSBAR, false); break;
      case Kind::Glyph:
      case Kind::Picture: OverrideAccessible(control, name, ROLE_SYSTEM_GRAPHIC, false); break;
      default: break;
    }
    // An alert, never drawn (no size), for what is said when c appears.
    const std::wstring said = Widen(form::AnnouncementOnShow(c.id));
    if (said.empty()) continue;
    HWND announcer = ::CreateWindowExW(0, L"STATIC", said.c_str(), kChild | WS_VISIBLE | SS_NOPREFIX,
                                       0, 0, 0, 0, window_, nullptr, instance_, nullptr);
    OverrideAccessible(announcer, said, ROLE_SYSTEM_ALERT, false);
    announcers_[static_cast<std::size_t>(c.id)] = announcer;
  }
}

HWND FormWindow::BuildControl(const ControlDescription& c) {
  const WindowKind kind = KindOf(c);
  if (kind.className == nullptr) return nullptr;  // no RichEdit on this system
  HWND parent = c.kind == Kind::Page ? tabs_ : Control(c.parent);
  if (parent == nullptr) return nullptr;
  // The page container shows one page at a time itself; everything else
  // starts as the form says.
  const bool shown = c.kind == Kind::Page ? form::PageNumber(c.id) == activePage_ : c.shownAtStart;
  HWND control = ::CreateWindowExW(
      kind.exStyle, kind.className, TextOf(c).c_str(), kind.style | (shown ? WS_VISIBLE : 0), 0, 0,
      0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlIdOf(c.id))), instance_,
      nullptr);
  if (control == nullptr) return nullptr;

  switch (c.kind) {
    case Kind::PageContainer: {
      tabs_ = control;
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      wchar_t empty[] = L"";
      item.pszText = empty;
      for (int page = 0; page < form::kPageCount; ++page)
        ::SendMessageW(control, TCM_INSERTITEMW, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&item));
      ::SendMessageW(control, TCM_SETITEMSIZE, 0, MAKELPARAM(1, 0));
      break;
    }
    case Kind::RichText:
      PrepareRichEdit(control);
      SetBuiltInText(control, c.lines, FontFor(c));
      break;
    case Kind::TextList:
      FillTextList(control, c.lines);
      focusCues_.Follow(control);
      break;
    case Kind::CheckBox:
      ::SendMessageW(control, BM_SETCHECK, c.checkedAtStart ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case Kind::ProgressBar:
      ::SendMessageW(control, PBM_SETRANGE32, 0, 100);
      ::SendMessageW(control, PBM_SETPOS, 0, 0);
      break;
    default: break;
  }
  return control;
}

// --- fonts -----------------------------------------------------------------

void FormWindow::CreateFonts() {
  std::map<std::pair<int, bool>, FontHandle> fonts;
  for (const ControlDescription& c : form::Controls()) {
    const auto key = std::make_pair(c.font.pixelHeight, c.font.bold);
    if (c.kind != Kind::Glyph && fonts.find(key) == fonts.end())
      fonts.emplace(key, FontHandle(CreateTextFont(c.font.pixelHeight, c.font.bold, dpi_)));
  }
  // The old fonts go only after every control has let go of them.
  std::swap(fonts_, fonts);
  FontHandle glyph(CreateGlyphFont(ChosenGlyphFace(), dpi_));
  std::swap(glyphFont_, glyph);
  ApplyFonts();
}

HFONT FormWindow::FontFor(const ControlDescription& c) const {
  const auto found = fonts_.find(std::make_pair(c.font.pixelHeight, c.font.bold));
  return found == fonts_.end() ? nullptr : found->second.get();
}

void FormWindow::ApplyFonts() {
  for (const ControlDescription& c : form::Controls()) {
    HWND control = Control(c.id);
    if (control == nullptr || c.kind == Kind::Glyph || c.kind == Kind::Picture) continue;
    if (c.kind == Kind::RichText && welcomeIsRichText_) continue;  // it keeps its own fonts
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(c)), FALSE);
  }
}

// --- layout ----------------------------------------------------------------

RECT FormWindow::PlaceOf(const ControlDescription& c, HWND handle) const {
  RECT place{Scale(c.rect.left, dpi_), Scale(c.rect.top, dpi_), Scale(c.rect.right(), dpi_),
             Scale(c.rect.bottom(), dpi_)};
  if (c.kind != Kind::Label) return place;
  // A label sizes itself to its text: a substitute font a little wider than
  // the form's must not cut it. A right-aligned one keeps its right edge.
  const std::wstring text = Widen(c.text);
  HDC dc = ::GetDC(handle);
  HGDIOBJ old = ::SelectObject(dc, FontFor(c));
  SIZE size{};
  std::size_t visible = text.find_last_not_of(L' ');
  visible = visible == std::wstring::npos ? 0 : visible + 1;
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(visible), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(handle, dc);
  if (size.cx > place.right - place.left) {
    if (c.align == form::Align::Right)
      place.left = place.right - size.cx;
    else
      place.right = place.left + size.cx;
  }
  return place;
}

void FormWindow::Layout() {
  if (window_ == nullptr || tabs_ == nullptr) return;
  RECT client{};
  ::GetClientRect(window_, &client);
  // Maximised, the page container keeps its distance to the right edge and
  // the status bar stays along the bottom; everything else stays put.
  const int extraWidth = std::max(0L, client.right - Scale(form::kClientWidth, dpi_));
  const int extraHeight = std::max(0L, client.bottom - Scale(form::kClientHeight, dpi_));

  RECT pageArea{};
  for (const ControlDescription& c : form::Controls()) {
    HWND control = Control(c.id);
    if (control == nullptr || c.kind == Kind::Window) continue;
    RECT place = PlaceOf(c, control);
    if (c.kind == Kind::Page) {
      place = pageArea;
    } else if (c.kind == Kind::PageContainer) {
      ::OffsetRect(&place, extraWidth, 0);
    } else if (c.kind == Kind::StatusBar) {
      place.top += extraHeight;
      place.right = client.right;
      place.bottom = client.bottom;
    }
    ::SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
                   place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (c.kind == Kind::PageContainer) {
      // The pages fill the container below its (covered) tab row.
      ::GetClientRect(control, &pageArea);
      ::SendMessageW(control, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&pageArea));
    }
  }
}

void FormWindow::OnDpiChanged(UINT dpi, const RECT* suggested) {
  if (dpi == 0 || window_ == nullptr) return;
  dpi_ = dpi;
  CreateFonts();
  if (suggested != nullptr && !::IsZoomed(window_)) {
    ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SizeToClientArea();
  }
  Layout();
  ::InvalidateRect(window_, nullptr, TRUE);
}

}  // namespace tarvik::win32
