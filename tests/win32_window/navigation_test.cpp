// The buttons reach the form's handlers and the form's states reach the
// controls, on every page (which page follows which is the form's own
// business, tested headless); the keyboard as the form wants it; closing
// by every road; the window maximised.
#include <gtest/gtest.h>

#include "window_harness.h"

#include <commctrl.h>


namespace tarvik::testing {
namespace {

using form::Id;

class WindowNavigation : public ::testing::Test {
 protected:
  WindowHarness h;

  struct Buttons {
    bool back, cancel;
    const wchar_t* next;
    bool nextEnabled;
  };
  void ExpectPage(int page, const Buttons& b) {
    SCOPED_TRACE(page);
    EXPECT_EQ(h.window->ActivePage(), page);
    for (int p = 1; p <= form::kPageCount; ++p) EXPECT_EQ(Shown(h.Control(form::PageId(p))), p == page);
    EXPECT_EQ(h.Shown(Id::btnBACK), b.back);
    EXPECT_EQ(h.Shown(Id::btnESC), b.cancel);
    EXPECT_TRUE(h.Shown(Id::btnNEXT));
    EXPECT_EQ(h.Text(Id::btnNEXT), b.next);
    EXPECT_EQ(h.Enabled(Id::btnNEXT), b.nextEnabled);
  }

  // A key as the keyboard delivers it: to the focused control, through the
  // window's main loop (and so through its dialog keys).
  void PressKey(UINT key, bool control = false) {
    BYTE state[256] = {};
    ::GetKeyboardState(state);
    state[VK_CONTROL] = control ? 0x80 : 0;
    ::SetKeyboardState(state);
    HWND focus = ::GetFocus();
    ::PostMessageW(focus, WM_KEYDOWN, key, 1);
    ::PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    h.RunUntilIdle();
    state[VK_CONTROL] = 0;
    ::SetKeyboardState(state);
  }
};

// Whether the list, painted as it is now, draws the dotted focus frame: the
// frame's left edge runs down the first column of the caret's line, which
// the text (drawn from one pixel in) leaves in the face colour.
bool DrawsFocusFrame(HWND list) {
  RECT client{}, line{};
  ::GetClientRect(list, &client);
  const LRESULT caret = ::SendMessageW(list, LB_GETCARETINDEX, 0, 0);
  ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(caret), reinterpret_cast<LPARAM>(&line));
  HDC screen = ::GetDC(list);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, client.right, client.bottom);
  ::ReleaseDC(list, screen);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  ::SendMessageW(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  bool drawn = false;
  for (LONG y = line.top; y < line.bottom; ++y)
    drawn |= ::GetPixel(dc, line.left, y) != ::GetSysColor(COLOR_BTNFACE);
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  return drawn;
}

TEST_F(WindowNavigation, NextAndBackThroughEveryPage) {
  h.PlugInBridge();
  ExpectPage(1, {false, true, L"Далее", true});
  h.Click(Id::btnNEXT);
  ExpectPage(2, {true, true, L"Далее", true});
  h.Click(Id::btnNEXT);
  ExpectPage(3, {true, true, L"Далее", false});
  EXPECT_TRUE(h.Enabled(Id::btnConnect));
  h.Click(Id::btnNEXT);  // not connected: stays
  ExpectPage(3, {true, true, L"Далее", false});
  h.Click(Id::btnConnect);
  ExpectPage(3, {true, true, L"Далее", true});
  EXPECT_FALSE(h.Enabled(Id::btnConnect));
  EXPECT_TRUE(h.Shown(Id::lbConnected));
  EXPECT_TRUE(h.Shown(Id::txtConnOK));
  h.Click(Id::btnNEXT);  // the update, to its end inside the click
  ExpectPage(4, {true, true, L"Далее", true});
  EXPECT_TRUE(h.Shown(Id::txtWriteOK));
  h.Click(Id::btnNEXT);
  ExpectPage(5, {true, false, L"OK", true});
  h.Click(Id::btnBACK);
  ExpectPage(2, {true, true, L"Далее", true});
  h.Click(Id::btnBACK);
  ExpectPage(1, {false, true, L"Далее", true});
  EXPECT_TRUE(h.RunUntilIdle()) << "nothing closed the window";
}

TEST_F(WindowNavigation, BackFromPageFourShowsPageThreeWithoutIndicators) {
  h.PlugInBridge();
  h.ConnectOnPage3();
  h.Click(Id::btnNEXT);
  h.Click(Id::btnBACK);
  ExpectPage(3, {true, true, L"Далее", false});
  EXPECT_TRUE(h.Enabled(Id::btnConnect));
  for (Id id : {Id::lbConnected, Id::lbNotConnected, Id::txtConnOK, Id::txtConnFail})
    EXPECT_FALSE(h.Shown(id));
}

TEST_F(WindowNavigation, AFailedConnectShowsTheFailurePair) {
  h.ConnectOnPage3();  // no port at all
  EXPECT_TRUE(h.Shown(Id::lbNotConnected));
  EXPECT_TRUE(h.Shown(Id::txtConnFail));
  EXPECT_FALSE(h.Shown(Id::lbConnected));
  EXPECT_FALSE(h.Enabled(Id::btnNEXT));
}

TEST_F(WindowNavigation, AClickOnAButtonTheUserCannotReachDoesNothing) {
  h.Click(Id::btnConnect);  // on page 3, which is not shown
  EXPECT_TRUE(h.serial.openedPaths.empty());
  h.Click(Id::btnBACK);  // hidden on page 1
  EXPECT_EQ(h.window->ActivePage(), 1);
}

TEST_F(WindowNavigation, EnterPressesOnlyTheFocusedButtonAndEscNone) {
  ::SetFocus(h.Control(Id::btnNEXT));
  PressKey(VK_RETURN);
  EXPECT_EQ(h.window->ActivePage(), 2);
  ::SetFocus(h.Control(Id::ListBox1));
  PressKey(VK_RETURN);
  EXPECT_EQ(h.window->ActivePage(), 2) << "no default button";
  PressKey(VK_ESCAPE);
  EXPECT_EQ(h.window->ActivePage(), 2);
  EXPECT_NE(h.window->Handle(), nullptr) << "no cancel button";
  ::SetFocus(h.Control(Id::btnBACK));
  PressKey(VK_RETURN);
  EXPECT_EQ(h.window->ActivePage(), 1);
}

TEST_F(WindowNavigation, TheFocusGoesToTheNewPageAndMovesOnWhenItsButtonCanNoLongerBePressed) {
  h.PlugInBridge();
  ::SetFocus(h.Control(Id::btnNEXT));
  h.Click(Id::btnNEXT);
  h.RunUntilIdle();
  EXPECT_EQ(::GetFocus(), h.Control(Id::ListBox1));  // the page's text
  EXPECT_FALSE(DrawsFocusFrame(h.Control(Id::ListBox1))) << "it reads as printed";
  ::SetFocus(h.Control(Id::btnNEXT));
  h.Click(Id::btnNEXT);  // page 3: Next is disabled until Connect succeeds
  h.RunUntilIdle();
  EXPECT_EQ(::GetFocus(), h.Control(Id::ListBox6));
  EXPECT_FALSE(DrawsFocusFrame(h.Control(Id::ListBox6)));
  ::SetFocus(h.Control(Id::btnConnect));
  h.Click(Id::btnConnect);  // and now Connect is disabled
  h.RunUntilIdle();
  EXPECT_EQ(::GetFocus(), h.Control(Id::btnNEXT));
}

// A list tabbed to shows the focus; the next page's text again does not.
TEST_F(WindowNavigation, TabMovesFromTheWelcomeBoxToTheSideList) {
  ::SetFocus(h.Control(Id::RichEdit1));
  PressKey(VK_TAB);
  EXPECT_EQ(::GetFocus(), h.Control(Id::ListBox3));
  EXPECT_TRUE(DrawsFocusFrame(h.Control(Id::ListBox3)));
  PressKey(VK_TAB);
  EXPECT_EQ(::GetFocus(), h.Control(Id::btnESC));
  h.Click(Id::btnNEXT);
  h.RunUntilIdle();
  ASSERT_EQ(::GetFocus(), h.Control(Id::ListBox1));
  EXPECT_FALSE(DrawsFocusFrame(h.Control(Id::ListBox1)));
}

TEST_F(WindowNavigation, NoKeyAndNoTabClickChangesThePage) {
  for (Id focus : {Id::RichEdit1, Id::ListBox3, Id::btnNEXT}) {
    ::SetFocus(h.Control(focus));
    for (UINT key : {UINT{VK_TAB}, UINT{VK_NEXT}, UINT{VK_PRIOR}, UINT{VK_RIGHT}, UINT{VK_LEFT}}) {
      PressKey(key, true);
      EXPECT_EQ(h.window->ActivePage(), 1) << key;
    }
  }
  // The tab control itself refuses to change its selection.
  NMHDR changing{h.Control(Id::PageControl1), 0, static_cast<UINT>(TCN_SELCHANGING)};
  EXPECT_EQ(::SendMessageW(h.window->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&changing)), TRUE);
}

TEST_F(WindowNavigation, ClickingALineSelectsItAndChangesNothingElse) {
  HWND list = h.Control(Id::ListBox3);
  RECT item{};
  ::SendMessageW(list, LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&item));
  ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(item.left + 2, item.top + 2));
  ::SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(item.left + 2, item.top + 2));
  EXPECT_EQ(::SendMessageW(list, LB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(LinesOf(list).size(), 8u);
  EXPECT_EQ(h.window->ActivePage(), 1);
}

// Every road to closing runs the form's close handler (which closes an open
// port) and ends the main loop.
TEST_F(WindowNavigation, CancelOKAndTheCloseBoxEachCloseThePortAndEndTheProgram) {
  struct Road {
    const char* what;
    std::function<void(WindowHarness&)> close;
  };
  const Road roads[] = {
      {"Cancel", [](WindowHarness& w) { w.Click(Id::btnESC); }},
      {"OK on page 5",
       [](WindowHarness& w) {
         w.Click(Id::btnNEXT);
         w.Click(Id::btnNEXT);
         w.Click(Id::btnConnect);
         w.Click(Id::btnNEXT);
         w.Click(Id::btnNEXT);
         w.Click(Id::btnNEXT);
       }},
      {"close box", [](WindowHarness& w) { ::SendMessageW(w.window->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const Road& road : roads) {
    SCOPED_TRACE(road.what);
    WindowHarness w;
    w.PlugInBridge();
    w.window->Form1().ConnectPort("COM3");
    ASSERT_TRUE(w.window->Form1().FPortOpen);
    road.close(w);
    EXPECT_FALSE(w.RunUntilIdle()) << "the main loop ends";
    EXPECT_EQ(w.window->Handle(), nullptr);
    EXPECT_FALSE(w.window->Form1().FPortOpen);
    EXPECT_TRUE(w.serial.openHandles.empty());
  }
}

TEST_F(WindowNavigation, MaximisedThePagesKeepTheirGapToTheRightAndTheStatusBarTheBottom) {
  HWND window = h.window->Handle();
  ::ShowWindow(window, SW_MAXIMIZE);
  ASSERT_TRUE(::IsZoomed(window));
  RECT client{};
  ::GetClientRect(window, &client);
  ASSERT_GT(client.right, 622);
  const RECT pages = PlaceOf(h.Control(Id::PageControl1));
  EXPECT_EQ(client.right - pages.right, form::kPagesRightGap);
  EXPECT_EQ(pages.top, 0);
  EXPECT_EQ(pages.right - pages.left, 417);
  const RECT status = PlaceOf(h.Control(Id::StatusBar1));
  EXPECT_EQ(status.bottom, client.bottom);
  EXPECT_EQ(status.left, 0);
  EXPECT_EQ(status.right, client.right);
  EXPECT_EQ(status.bottom - status.top, 17);
  const RECT next = PlaceOf(h.Control(Id::btnNEXT));
  EXPECT_EQ(next.left, 488) << "the rest stays put";
  EXPECT_EQ(next.top, 359);
  ::ShowWindow(window, SW_RESTORE);
  EXPECT_EQ(PlaceOf(h.Control(Id::PageControl1)).left, 192);
}

}  // namespace
}  // namespace tarvik::testing
