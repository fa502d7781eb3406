// The window as it opens: every control of the form with its window class,
// text, place and size (at 96 dpi), what is shown and hidden, the window's
// caption, frame and keyboard order, and the resources it is made of.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "release_info.h"
#include "window_harness.h"

#include <commctrl.h>

#include "window_win32/control_ids.h"
#include "window_win32/wide_text.h"

namespace tarvik::testing {
namespace {

using form::ControlDescription;
using form::Id;
using form::Kind;
using win32::Widen;

class WindowAtStart : public ::testing::Test {
 protected:
  WindowHarness h;
};

std::wstring ExpectedClass(const ControlDescription& c) {
  switch (c.kind) {
    case Kind::Picture:
    case Kind::Label:
    case Kind::Glyph:
    case Kind::Panel: return L"Static";
    case Kind::Button:
    case Kind::CheckBox: return L"Button";
    case Kind::TextList: return L"ListBox";
    case Kind::RichText: return L"RICHEDIT50W";
    case Kind::ProgressBar: return PROGRESS_CLASSW;
    case Kind::PageContainer: return WC_TABCONTROLW;
    case Kind::StatusBar: return STATUSCLASSNAMEW;
    case Kind::Page: return win32::kPageWindowClass;
    case Kind::Window: return win32::kFormWindowClass;
  }
  return {};
}

TEST_F(WindowAtStart, EveryControlIsAStandardControlOfItsKind) {
  for (const ControlDescription& c : form::Controls()) {
    SCOPED_TRACE(c.name);
    HWND control = h.Control(c.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(_wcsicmp(ClassOf(control).c_str(), ExpectedClass(c).c_str()), 0) << ClassOf(control);
    if (c.kind == Kind::Window) continue;
    EXPECT_EQ(::GetDlgCtrlID(control), win32::ControlIdOf(c.id));
    const auto style = ::GetWindowLongPtrW(control, GWL_STYLE);
    if (c.kind == Kind::Button) {
      EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON) << "never a default button";
    }
    if (c.kind == Kind::CheckBox) {
      EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX);
    }
    if (c.kind == Kind::TextList) {
      EXPECT_EQ(style & (WS_BORDER | LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE | LBS_SORT), 0);
      EXPECT_EQ(::GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    }
    if (c.kind == Kind::RichText) {
      // The scroll bars come and go with the text (the box keeps their
      // style bits to match).
      EXPECT_EQ(style & (ES_MULTILINE | ES_READONLY), ES_MULTILINE | ES_READONLY);
    }
  }
}

TEST_F(WindowAtStart, NoControlAnswersToTheDialogKeysOwnIds) {
  EXPECT_EQ(::GetDlgItem(h.window->Handle(), IDOK), nullptr);
  EXPECT_EQ(::GetDlgItem(h.window->Handle(), IDCANCEL), nullptr);
}

TEST_F(WindowAtStart, EveryControlHasItsPlaceAndSizeAt96Dpi) {
  ASSERT_EQ(h.window->Dpi(), 96u) << "the Wine prefix runs at 96 dpi";
  for (const ControlDescription& c : form::Controls()) {
    if (c.kind == Kind::Window || c.kind == Kind::Page) continue;
    SCOPED_TRACE(c.name);
    const RECT place = PlaceOf(h.Control(c.id));
    EXPECT_EQ(place.top, c.rect.top);
    EXPECT_EQ(place.bottom - place.top, c.rect.height);
    if (c.kind == Kind::Label) {
      // A label grows to fit its text when the font is wider than the form's.
      EXPECT_GE(place.right - place.left, c.rect.width);
      if (c.align == form::Align::Right)
        EXPECT_EQ(place.right, c.rect.right()) << "right-aligned words end at the same place";
      else
        EXPECT_EQ(place.left, c.rect.left);
    } else {
      EXPECT_EQ(place.left, c.rect.left);
      EXPECT_EQ(place.right - place.left, c.rect.width);
    }
  }
  // Spot checks against the form as drawn.
  EXPECT_EQ(PlaceOf(h.Control(Id::btnNEXT)).top, 359) << "one pixel above Back and Cancel";
  EXPECT_EQ(PlaceOf(h.Control(Id::btnBACK)).top, 360);
  EXPECT_EQ(PlaceOf(h.Control(Id::StatusBar1)).top, 392);
}

TEST_F(WindowAtStart, ThePagesFillTheContainerBelowItsTabRowAndOnlyPageOneShows) {
  RECT container{};
  ::GetClientRect(h.Control(Id::PageControl1), &container);
  for (int page = 1; page <= form::kPageCount; ++page) {
    SCOPED_TRACE(page);
    HWND sheet = h.Control(form::PageId(page));
    EXPECT_EQ(::GetParent(sheet), h.Control(Id::PageControl1));
    EXPECT_EQ(Shown(sheet), page == 1);
    const RECT area = PlaceOf(sheet);
    EXPECT_GT(area.top, 0) << "below the tab row";
    EXPECT_LE(area.right, container.right);
    EXPECT_LE(area.bottom, container.bottom);
  }
  // The panel lies over the tab row, where page 1's tab is.
  RECT panel{}, tabs{};
  ::GetWindowRect(h.Control(Id::Panel1), &panel);
  ::GetWindowRect(h.Control(Id::PageControl1), &tabs);
  RECT tab{};
  ASSERT_TRUE(::SendMessageW(h.Control(Id::PageControl1), TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tab)));
  ::MapWindowPoints(h.Control(Id::PageControl1), HWND_DESKTOP, reinterpret_cast<POINT*>(&tab), 2);
  EXPECT_TRUE(tab.left >= panel.left && tab.right <= panel.right && tab.bottom <= panel.bottom);
  EXPECT_EQ(::GetWindow(h.window->Handle(), GW_CHILD), h.Control(Id::Panel1)) << "painted on top";
}

TEST_F(WindowAtStart, ThePageTabsAreGoneButPageOnesWithoutACaption) {
  HWND tabs = h.Control(Id::PageControl1);
  EXPECT_EQ(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 1);
  wchar_t caption[16] = L"x";
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = caption;
  item.cchTextMax = 16;
  ::SendMessageW(tabs, TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(item.pszText, L"");
}

TEST_F(WindowAtStart, EveryTextIsReadableAsAScreenReaderReadsIt) {
  for (const ControlDescription& c : form::Controls()) {
    SCOPED_TRACE(c.name);
    HWND control = h.Control(c.id);
    switch (c.kind) {
      case Kind::Label:
      case Kind::Button:
      case Kind::CheckBox:
      case Kind::Window:
        EXPECT_EQ(TextOf(control), Widen(c.text));
        break;
      case Kind::TextList: {
        std::vector<std::wstring> expected;
        for (const char* line : c.lines) expected.push_back(Widen(line));
        EXPECT_EQ(LinesOf(control), expected);
        break;
      }
      case Kind::Glyph:
      case Kind::Picture:  // drawn: its text is what it is called
        EXPECT_EQ(TextOf(control), Widen(form::AccessibleName(c.id)));
        break;
      case Kind::RichText: EXPECT_EQ(TextOf(control), Widen(kTestWelcomeText)); break;
      default: break;
    }
  }
  // The build's version (1.3.1 unless the release gives another).
  EXPECT_EQ(h.Text(Id::Form1), L"GPS Tarvik Update to v." + Widen(TARVIK_VERSION));
  EXPECT_EQ(h.Text(Id::lbNotConnected), L"НЕ УСТАНОВЛЕНО");
  EXPECT_EQ(LinesOf(h.Control(Id::ListBox3)).at(5), L"версия: v." + Widen(TARVIK_VERSION));
}

TEST_F(WindowAtStart, ShowsPageOneWithNoIndicatorAndBackHidden) {
  EXPECT_EQ(h.window->ActivePage(), 1);
  for (const ControlDescription& c : form::Controls()) {
    if (c.kind == Kind::Page || c.kind == Kind::Window) continue;
    SCOPED_TRACE(c.name);
    const bool expected = c.id == Id::btnBACK ? false : c.shownAtStart;
    EXPECT_EQ(Shown(h.Control(c.id)), expected);
    EXPECT_TRUE(Enabled(h.Control(c.id)));
  }
  EXPECT_EQ(h.Text(Id::btnNEXT), L"Далее");
  EXPECT_EQ(::SendMessageW(h.Control(Id::cbKeepUser), BM_GETCHECK, 0, 0), BST_CHECKED);
  for (Id bar : {Id::BarWrite, Id::BarVerify}) {
    PBRANGE range{};
    ::SendMessageW(h.Control(bar), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    EXPECT_EQ(BarOf(h.Control(bar)), 0);
  }
  EXPECT_EQ(::SendMessageW(h.Control(Id::StatusBar1), SB_GETTEXTLENGTHW, 0, 0) & 0xFFFF, 0);
  EXPECT_TRUE(h.window->RegisteredForDeviceChanges());
}

TEST_F(WindowAtStart, HasAFixedBorderWithMinimiseAndMaximiseAndTheFormsClientArea) {
  HWND window = h.window->Handle();
  const auto style = ::GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_EQ(style & WS_THICKFRAME, 0);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  RECT client{}, outer{};
  ::GetClientRect(window, &client);
  ::GetWindowRect(window, &outer);
  EXPECT_EQ(client.right, 622);
  EXPECT_EQ(client.bottom, 409);
  EXPECT_EQ(outer.left, 368);
  EXPECT_EQ(outer.top, 173);
  EXPECT_NE(::GetClassLongPtrW(window, GCLP_HICON), 0u) << "MAINICON";
}

TEST_F(WindowAtStart, TheKeyboardOrderIsPagesSideListCancelBackNext) {
  auto order = [&] {
    std::vector<HWND> stops;
    HWND first = ::GetNextDlgTabItem(h.window->Handle(), nullptr, FALSE);
    for (HWND at = first; at != nullptr && stops.size() < 20;) {
      stops.push_back(at);
      at = ::GetNextDlgTabItem(h.window->Handle(), at, FALSE);
      if (at == first) break;
    }
    return stops;
  };
  EXPECT_EQ(order(), (std::vector<HWND>{h.Control(Id::RichEdit1), h.Control(Id::ListBox3),
                                        h.Control(Id::btnESC), h.Control(Id::btnNEXT)}));
  h.Click(Id::btnNEXT);
  h.Click(Id::btnNEXT);
  EXPECT_EQ(order(), (std::vector<HWND>{h.Control(Id::ListBox6), h.Control(Id::btnConnect),
                                        h.Control(Id::ListBox2), h.Control(Id::cbKeepUser),
                                        h.Control(Id::ListBox3), h.Control(Id::btnESC),
                                        h.Control(Id::btnBACK)}))
      << "Next is disabled on page 3 until the tracker answers";
}

// The program's resources (the tests carry the same ones): icon, logo at
// two sizes, the manifest for common controls 6 and DPI awareness, and the
// build's version.
TEST(ProgramResources, IconLogoManifestAndVersion) {
  EXPECT_NE(::FindResourceW(nullptr, L"MAINICON", MAKEINTRESOURCEW(14)), nullptr);  // RT_GROUP_ICON
  for (const wchar_t* logo : {L"LOGO", L"LOGO2X"})
    EXPECT_NE(::FindResourceW(nullptr, logo, MAKEINTRESOURCEW(2)), nullptr) << logo;  // RT_BITMAP
  auto bytes = [](const wchar_t* name, const wchar_t* type) {
    HRSRC found = ::FindResourceW(nullptr, name, type);
    if (found == nullptr) return std::string();
    const char* data = static_cast<const char*>(::LockResource(::LoadResource(nullptr, found)));
    return std::string(data, ::SizeofResource(nullptr, found));
  };
  const std::string manifest = bytes(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
  const std::string version = bytes(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));  // RT_VERSION
  // VS_FIXEDFILEINFO follows its signature 0xFEEF04BD.
  const std::size_t at = version.find(std::string("\xBD\x04\xEF\xFE", 4));
  ASSERT_NE(at, std::string::npos);
  VS_FIXEDFILEINFO fixed{};
  ASSERT_LE(at + sizeof fixed, version.size());
  std::memcpy(&fixed, version.data() + at, sizeof fixed);
  const unsigned numbers[] = {TARVIK_VERSION_NUMBERS};
  EXPECT_EQ(fixed.dwFileVersionMS, numbers[0] << 16 | numbers[1]);
  EXPECT_EQ(fixed.dwFileVersionLS, numbers[2] << 16 | numbers[3]);
}

}  // namespace
}  // namespace tarvik::testing
