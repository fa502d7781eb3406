// What a screen reader gets from the native window: the MSAA names and
// roles of what shows no text of its own or reads as text, and the
// WinEvents of a page change, the connection and the outcome. Wine hands
// the events of a window to a hook in the same process only, so the hook
// is here, beside the window. The names and roles are those of the
// window's own accessible objects (Wine's generic proxy alone would give a
// control's window text and the role "client" for every control).
#include <gtest/gtest.h>

#include <oleacc.h>

#include <functional>
#include <string>
#include <vector>

#include "window_harness.h"
#include "window_win32/wide_text.h"

namespace tarvik::testing {
namespace {

using form::Id;
using win32::Widen;

struct MsaaObject {
  HRESULT found = E_FAIL;
  std::wstring name;
  long role = 0;
  long children = -1;
};

MsaaObject Msaa(HWND control) {
  MsaaObject result;
  IAccessible* object = nullptr;
  // __uuidof: see window_win32/accessibility.cpp.
  result.found = ::AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                              reinterpret_cast<void**>(&object));
  if (FAILED(result.found)) return result;
  VARIANT self;
  ::VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  if (object->get_accName(self, &name) == S_OK && name != nullptr) {
    result.name = name;
    ::SysFreeString(name);
  }
  VARIANT role;
  ::VariantInit(&role);
  if (object->get_accRole(self, &role) == S_OK && role.vt == VT_I4) result.role = role.lVal;
  object->get_accChildCount(&result.children);
  object->Release();
  return result;
}

// The events a screen reader hears of, raised in this process.
class WinEvents {
 public:
  struct Event {
    DWORD event;
    HWND window;
    bool operator==(const Event&) const = default;
  };

  WinEvents() {
    current_ = this;
    hook_ = ::SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, Record, ::GetCurrentProcessId(), 0,
                              WINEVENT_OUTOFCONTEXT);
  }
  ~WinEvents() {
    ::UnhookWinEvent(hook_);
    current_ = nullptr;
  }
  bool Hooked() const { return hook_ != nullptr; }
  // What came since the last call: focus, name changes of a page's client
  // area and alerts.
  std::vector<Event> Take() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    return std::exchange(events_, {});
  }

 private:
  static void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                              DWORD, DWORD) {
    if (current_ == nullptr || child != CHILDID_SELF) return;
    const bool wanted = (event == EVENT_OBJECT_FOCUS && object == OBJID_CLIENT) ||
                        (event == EVENT_OBJECT_NAMECHANGE && object == OBJID_CLIENT) ||
                        event == EVENT_SYSTEM_ALERT;
    if (wanted) current_->events_.push_back({event, window});
  }

  static inline WinEvents* current_ = nullptr;
  HWINEVENTHOOK hook_ = nullptr;
  std::vector<Event> events_;
};

TEST(WindowForScreenReaders, WhatShowsNoTextOfItsOwnIsNamedAndATextListIsStaticText) {
  WindowHarness h;
  for (const form::ControlDescription& c : form::Controls()) {
    long role = 0;
    switch (c.kind) {
      case form::Kind::TextList: role = ROLE_SYSTEM_STATICTEXT; break;
      case form::Kind::ProgressBar: role = ROLE_SYSTEM_PROGRESSBAR; break;
      case form::Kind::Glyph:
      case form::Kind::Picture: role = ROLE_SYSTEM_GRAPHIC; break;
      default: break;
    }
    if (role != 0) {
      SCOPED_TRACE(c.name);
      const MsaaObject object = Msaa(h.Control(c.id));
      EXPECT_EQ(object.found, S_OK);
      EXPECT_EQ(object.name, Widen(form::AccessibleName(c.id)));
      EXPECT_EQ(object.role, role);
      if (c.kind == form::Kind::TextList) {
        EXPECT_EQ(object.children, 0);
      }
    }
    if (HWND announcer = h.window->AnnouncerOf(c.id)) {
      const MsaaObject object = Msaa(announcer);
      EXPECT_EQ(object.name, Widen(form::AnnouncementOnShow(c.id)));
      EXPECT_EQ(object.role, ROLE_SYSTEM_ALERT);
    }
  }
}

TEST(WindowForScreenReaders, PageChangesTheConnectionAndTheOutcomeAreHeard) {
  WindowHarness h;
  WinEvents events;
  ASSERT_TRUE(events.Hooked());
  using Event = WinEvents::Event;
  auto focus = [&](Id id) { return Event{EVENT_OBJECT_FOCUS, h.Control(id)}; };
  auto page = [&](int number) {
    return Event{EVENT_OBJECT_NAMECHANGE, h.Control(form::PageId(number))};
  };
  auto alert = [&](Id id) { return Event{EVENT_SYSTEM_ALERT, h.window->AnnouncerOf(id)}; };
  // As from the keyboard: the button has the focus when it is pressed.
  auto press = [&](Id id) {
    ::SetFocus(h.Control(id));
    events.Take();
    h.Click(id);
  };
  const struct {
    const char* step;
    std::function<void()> act;
    std::vector<Event> heard;
  } steps[] = {
      {"Next", [&] { press(Id::btnNEXT); }, {focus(Id::ListBox1), page(2)}},
      {"Next", [&] { press(Id::btnNEXT); }, {focus(Id::ListBox6), page(3)}},
      {"Connect without the bridge", [&] { press(Id::btnConnect); }, {alert(Id::lbNotConnected)}},
      // Connect goes grey: the focus moves on to Next.
      {"Connect",
       [&] {
         h.PlugInBridge();
         press(Id::btnConnect);
       },
       {focus(Id::btnNEXT), alert(Id::lbConnected)}},
      // The update: the side list holds the focus, never Cancel; at its end
      // the way on takes it.
      {"Next",
       [&] { press(Id::btnNEXT); },
       {focus(Id::ListBox3), alert(Id::lbWrite), alert(Id::lbVerify), focus(Id::btnNEXT),
        alert(Id::ListWriteOK)}},
      {"Next", [&] { press(Id::btnNEXT); }, {focus(Id::ListBox4), page(5)}},
      {"Back", [&] { press(Id::btnBACK); }, {focus(Id::ListBox1), page(2)}},
      {"the bridge plugged in",
       [&] {
         h.window->Form1().ClosePort();
         h.SendDeviceChange(0x8000, kBridgePath, true);
       },
       {focus(Id::ListBox6), page(3), alert(Id::lbConnected)}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.step);
    step.act();
    h.RunUntilIdle();
    EXPECT_EQ(events.Take(), step.heard);
  }
  // A page is named with its text while it shows.
  EXPECT_EQ(Msaa(h.Control(Id::TabSheet3)).name, Widen(form::PageText(3)));
  EXPECT_EQ(Msaa(h.Control(Id::TabSheet2)).name, L"");
}

}  // namespace
}  // namespace tarvik::testing
