// The window's life: creation and FormCreate, its messages, the view the
// form draws through, the dialog keys and closing.
#include "form_window.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>

#include "control_ids.h"
#include "device_window_win32.h"
#include "error_box.h"
#include "message_loop.h"
#include "rich_text.h"
#include "wide_text.h"

namespace tarvik::win32 {
namespace {

using form::Id;

// IDC_ARROW, which is an 8-bit resource name without UNICODE.
const wchar_t* const kArrowCursor = MAKEINTRESOURCEW(32512);

// Posted to the window: present a page change and the alerts (Present).
constexpr UINT kPresentMessage = WM_APP + 1;

FormWindow* FromHandle(HWND window) {
  return reinterpret_cast<FormWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool IsPushButton(HWND control) {
  wchar_t name[16] = {};
  ::GetClassNameW(control, name, 16);
  if (_wcsicmp(name, L"Button") != 0) return false;
  const auto type = ::GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

}  // namespace

FormWindow::FormWindow(SerialApi& serial, DeviceInfoApi& devices, HINSTANCE instance)
    : instance_(instance != nullptr ? instance : ::GetModuleHandleW(nullptr)) {
  RegisterClasses(instance_);
  CreateFormWindow();
  BuildControls();
  form_.emplace(*this, serial, devices, nullptr);
}

FormWindow::~FormWindow() {
  if (window_ != nullptr) {
    // Its owner ends it: no close request, no end of the message loop.
    destroyedByOwner_ = true;
    ::DestroyWindow(window_);
  }
  if (logo_ != nullptr) ::DeleteObject(logo_);
  if (logoLarge_ != nullptr) ::DeleteObject(logoLarge_);
}

void FormWindow::RegisterClasses(HINSTANCE instance) {
  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = FormProc;
  form.hInstance = instance;
  form.hCursor = ::LoadCursorW(nullptr, kArrowCursor);
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form.lpszClassName = kFormWindowClass;
  form.hIcon = static_cast<HICON>(::LoadImageW(instance, L"MAINICON", IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXICON),
                                               ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  form.hIconSm = static_cast<HICON>(::LoadImageW(instance, L"MAINICON", IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON),
                                                 ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  ::RegisterClassExW(&form);  // fails harmlessly for a second window

  WNDCLASSEXW page{};
  page.cbSize = sizeof page;
  page.lpfnWndProc = PageProc;
  page.hInstance = instance;
  page.hCursor = ::LoadCursorW(nullptr, kArrowCursor);
  page.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  page.lpszClassName = kPageWindowClass;
  ::RegisterClassExW(&page);
}

LRESULT CALLBACK FormWindow::FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* self = static_cast<FormWindow*>(create->lpCreateParams);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  FormWindow* self = FromHandle(window);
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

LRESULT CALLBACK FormWindow::PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  // What the controls on a page tell their parent goes to the window.
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_NEXTDLGCTL:
      if (HWND form = ::GetAncestor(page, GA_ROOT); form != nullptr && form != page)
        return ::SendMessageW(form, message, wParam, lParam);
      break;
    default:
      break;
  }
  return ::DefWindowProcW(page, message, wParam, lParam);
}

LRESULT FormWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = window_;
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_NOTIFY: {
      // Only the wizard changes the page.
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header != nullptr && header->hwndFrom == tabs_ && header->code == TCN_SELCHANGING)
        return TRUE;
      break;
    }
    case WM_NEXTDLGCTL:
      // The rich-text box asks for this on Tab.
      if (LOWORD(lParam) != 0)
        ::SetFocus(reinterpret_cast<HWND>(wParam));
      else
        MoveFocus(wParam != 0);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM:
      OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) Layout();
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_ACTIVATE:
      // Back to the control that had the focus when the window was left.
      if (LOWORD(wParam) == WA_INACTIVE) {
        focusWhenInactive_ = ::GetFocus();
      } else if (focusWhenInactive_ != nullptr && ::IsChild(window, focusWhenInactive_)) {
        ::SetFocus(focusWhenInactive_);
        return 0;
      }
      break;
    case kPresentMessage:
      Present();
      return 0;
    case WM_DEVICECHANGE:
      // Recorded only; the idle step acts on it.
      TakeDeviceChange(message, wParam, lParam,
                       [this](std::uint32_t code, const std::uint8_t* record, std::size_t size) {
                         if (form_) form_->WMDeviceChange(code, record, size);
                       });
      return 0;
    case WM_CLOSE:
      // Cancel, "OK" on page 5, the close box, the system menu and Alt+F4
      // all come here. An update still running inside a click finds its
      // port closed and fails at once, or at its next block.
      if (closing_) return 0;
      closing_ = true;
      if (form_) form_->FormClose();
      ::DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (!destroyedByOwner_) ::PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      window_ = nullptr;
      tabs_ = nullptr;
      controls_.fill(nullptr);
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      return ::DefWindowProcW(window, message, wParam, lParam);
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void FormWindow::OnCommand(int id, int code, HWND control) {
  // Enter sends IDOK (no control has that id): it presses the button that
  // has the focus, if any. Esc sends IDCANCEL and presses nothing.
  if (id == IDOK) {
    PressFocusedButton();
    return;
  }
  if (code != BN_CLICKED || form_ == std::nullopt) return;
  Id which{};
  if (!FormIdOf(id, which)) return;
  // A click reaches only a button the user can reach: shown, on the page
  // shown, and enabled (a click message can still be on its way when the
  // update disables Back and Next).
  if (control != nullptr && (!::IsWindowEnabled(control) || !::IsWindowVisible(control))) return;
  HWND clicked = control;
  switch (which) {
    case Id::btnNEXT: form_->btnNEXTClick(); break;
    case Id::btnBACK: form_->btnBACKClick(); break;
    case Id::btnESC: form_->btnESCClick(); break;
    case Id::btnConnect: form_->btnConnectClick(); break;
    default: return;
  }
  KeepFocusUsable(clicked);
}

void FormWindow::PressFocusedButton() {
  HWND focus = ::GetFocus();
  if (focus == nullptr || window_ == nullptr || !::IsChild(window_, focus)) return;
  if (!IsPushButton(focus) || !::IsWindowEnabled(focus) || !::IsWindowVisible(focus)) return;
  ::SendMessageW(focus, BM_CLICK, 0, 0);
}

void FormWindow::MoveFocus(bool backwards) {
  if (window_ == nullptr) return;
  HWND focus = ::GetFocus();
  if (focus != nullptr && !::IsChild(window_, focus)) focus = nullptr;
  FocusCues::Tabbing tabbing(focusCues_, true);
  if (HWND next = ::GetNextDlgTabItem(window_, focus, backwards ? TRUE : FALSE)) ::SetFocus(next);
}

void FormWindow::KeepFocusUsable(HWND preferred) {
  // A page change or a disabled button can leave the focus on a hidden or
  // disabled control, or nowhere; the keyboard would then reach nothing.
  // After a page change the page's first control is about to take it. The
  // focus that waited off the page while the update ran goes on to the way
  // on as well.
  if (window_ == nullptr || ::GetActiveWindow() != window_ || focusPending_) return;
  HWND focus = ::GetFocus();
  if (focus != nullptr && focus != parkedOn_ && ::IsChild(window_, focus) &&
      ::IsWindowVisible(focus) && ::IsWindowEnabled(focus))
    return;
  parkedOn_ = nullptr;
  // The clicked button if it can still be pressed, else Next, the wizard's
  // way on, else Connect on the connection page, else Back (after a failed
  // update, the way to try again: Enter must not land on Cancel), else the
  // first button in the keyboard order, else the first control.
  auto usable = [](HWND control) {
    return control != nullptr && ::IsWindow(control) && ::IsWindowVisible(control) &&
           ::IsWindowEnabled(control);
  };
  for (HWND candidate :
       {preferred, Control(Id::btnNEXT), Control(Id::btnConnect), Control(Id::btnBACK)}) {
    if (usable(candidate)) {
      ::SetFocus(candidate);
      return;
    }
  }
  HWND first = ::GetNextDlgTabItem(window_, nullptr, FALSE);
  for (HWND at = first; at != nullptr;) {
    if (IsPushButton(at) && usable(at)) {
      ::SetFocus(at);
      return;
    }
    at = ::GetNextDlgTabItem(window_, at, FALSE);
    if (at == first) break;
  }
  if (first != nullptr) ::SetFocus(first);
}

void FormWindow::Show(int showCommand) {
  if (window_ == nullptr) return;
  ::ShowWindow(window_, showCommand);
  ::UpdateWindow(window_);
  if (HWND first = ::GetNextDlgTabItem(window_, nullptr, FALSE)) ::SetFocus(first);
}

void FormWindow::Idle() {
  if (form_) form_->ApplicationEvents1Idle();
}

bool FormWindow::TranslateDialogKey(MSG& msg) {
  if (window_ == nullptr) return false;
  if (msg.hwnd != window_ && !::IsChild(window_, msg.hwnd)) return false;
  // Tab and Shift+Tab move the focus from in here (the rich-text box's
  // through MoveFocus).
  FocusCues::Tabbing tabbing(focusCues_, msg.message == WM_KEYDOWN && msg.wParam == VK_TAB);
  return ::IsDialogMessageW(window_, &msg) != FALSE;
}

// --- FormView --------------------------------------------------------------

void FormWindow::ShowPage(int page) {
  if (page < 1 || page > form::kPageCount || page == activePage_) return;
  HWND oldPage = Control(form::PageId(activePage_));
  HWND newPage = Control(form::PageId(page));
  activePage_ = page;
  if (newPage != nullptr) {
    // Named with its text while it shows.
    ::SetWindowTextW(newPage, Widen(form::PageText(page)).c_str());
    ::ShowWindow(newPage, SW_SHOWNA);
  }
  if (oldPage != nullptr) {
    ::ShowWindow(oldPage, SW_HIDE);
    ::SetWindowTextW(oldPage, L"");
  }
  // What was said of the page left is over.
  pendingAnnouncements_.clear();
  parkedOn_ = nullptr;
  focusPending_ = true;
  QueuePresent();
}

void FormWindow::QueuePresent() {
  if (presentQueued_ || window_ == nullptr) return;
  presentQueued_ = ::PostMessageW(window_, kPresentMessage, 0, 0) != FALSE;
}

void FormWindow::Present() {
  presentQueued_ = false;
  if (window_ == nullptr) return;
  std::vector<Id> said = std::exchange(pendingAnnouncements_, {});
  if (std::exchange(focusPending_, false)) {
    // The first Tab stop: the page's first control, or (page 4 during the
    // update) the side list after it; never Cancel by itself. Then the
    // page's name, then whatever result it shows as it appears (the jump
    // on plug-in keeps the connection's).
    FocusFirstStop(nullptr);
    HWND page = Control(form::PageId(activePage_));
    if (page != nullptr && ::GetWindowTextLengthW(page) > 0)
      ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, page, OBJID_CLIENT, CHILDID_SELF);
    said.clear();
    for (const form::ControlDescription& c : form::Controls())
      if (c.parent == form::PageId(activePage_) && AnnouncerOf(c.id) != nullptr) said.push_back(c.id);
  }
  for (Id control : said)
    if (::IsWindowVisible(Control(control)))
      ::NotifyWinEvent(EVENT_SYSTEM_ALERT, AnnouncerOf(control), OBJID_CLIENT, CHILDID_SELF);
}

void FormWindow::HidePageTabs() {
  if (tabs_ == nullptr) return;
  // Page 1's tab stays, without a caption; the others go.
  while (::SendMessageW(tabs_, TCM_GETITEMCOUNT, 0, 0) > 1)
    ::SendMessageW(tabs_, TCM_DELETEITEM, 1, 0);
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  wchar_t empty[] = L"";
  item.pszText = empty;
  ::SendMessageW(tabs_, TCM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  Layout();
}

void FormWindow::SetVisible(Id control, bool visible) {
  HWND handle = Control(control);
  if (handle == nullptr) return;
  const bool wasShowing = ::IsWindowVisible(handle) != FALSE;
  ::ShowWindow(handle, visible ? SW_SHOWNA : SW_HIDE);
  if (AnnouncerOf(control) == nullptr) return;
  if (!visible) {
    std::erase(pendingAnnouncements_, control);
  } else if (!wasShowing && ::IsWindowVisible(handle)) {
    // Whichever handler shows it: only what appears on the page shown.
    pendingAnnouncements_.push_back(control);
    QueuePresent();
  }
}

void FormWindow::SetEnabled(Id control, bool enabled) {
  HWND handle = Control(control);
  if (handle == nullptr) return;
  // A control that goes grey with the focus would leave it nowhere: the
  // keyboard, and a screen reader, would have nothing until the next click.
  if (!enabled && handle == ::GetFocus()) MoveFocusOff(handle);
  ::EnableWindow(handle, enabled ? TRUE : FALSE);
}

void FormWindow::MoveFocusOff(HWND leaving) {
  // Next, the wizard's way on, when it can be pressed; else the first Tab
  // stop: the page's first control, or during the update the side list,
  // never Cancel, which a key meant for the screen reader would press.
  HWND next = Control(Id::btnNEXT);
  if (next != leaving && ::IsWindowVisible(next) && ::IsWindowEnabled(next))
    ::SetFocus(next);
  else
    FocusFirstStop(leaving);
}

void FormWindow::FocusFirstStop(HWND leaving) {
  HWND first = ::GetNextDlgTabItem(window_, nullptr, FALSE);
  if (first != nullptr && first == leaving) first = ::GetNextDlgTabItem(window_, leaving, FALSE);
  if (first == nullptr || first == leaving) return;
  if (::GetActiveWindow() == window_)
    ::SetFocus(first);
  else
    focusWhenInactive_ = first;
  // Off the page (the side list, while the update runs): only until a way
  // on can be pressed again (KeepFocusUsable after the click).
  HWND page = Control(form::PageId(activePage_));
  parkedOn_ = page != nullptr && ::IsChild(page, first) ? nullptr : first;
}

void FormWindow::SetCaption(Id control, std::string_view utf8) {
  if (HWND handle = Control(control)) ::SetWindowTextW(handle, Widen(utf8).c_str());
}

void FormWindow::SetBarPosition(Id bar, int position) {
  if (HWND handle = Control(bar)) ::SendMessageW(handle, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

bool FormWindow::IsChecked(Id checkBox) const {
  HWND handle = Control(checkBox);
  return handle != nullptr && ::SendMessageW(handle, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void FormWindow::ProcessMessages() {
  // Repaints, the bars, screen readers, keys, Cancel and the close box; no
  // idle step.
  DispatchWaitingMessages(this);
}

void FormWindow::Close() {
  if (window_ != nullptr) ::SendMessageW(window_, WM_CLOSE, 0, 0);
}

WelcomeFileLoad FormWindow::LoadWelcomeFile() {
  const form::ControlDescription& box = form::Describe(Id::RichEdit1);
  return win32::LoadWelcomeFile(Control(Id::RichEdit1), form::BuiltInWelcomeLines(), FontFor(box),
                                welcomeIsRichText_);
}

void FormWindow::ShowErrorBox(std::string_view utf8) { win32::ShowErrorBox(utf8); }

void FormWindow::RegisterDeviceNotifications(DeviceNotifications*) {
  // The window receives WM_DEVICECHANGE itself; there is no other source.
  registered_ = window_ != nullptr && RegisterForDeviceInterfaces(window_);
}

}  // namespace tarvik::win32
