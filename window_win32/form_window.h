#pragma once
// The native front end of the form (Windows): a plain Win32 window with the
// form's controls, built from its description and scaled by the window's
// DPI, that draws TForm1 and hands it the clicks, the close request, the
// device changes and the idle moments of the main loop.
#include <array>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "Update_Main/Update_Main.h"
#include "Update_Main/form_description.h"
#include "Update_Main/form_view.h"
#include "accessibility.h"
#include "fonts.h"
#include "text_lists.h"
#include "win32_headers.h"

namespace tarvik::win32 {

class FormWindow : public FormView {
 public:
  // Creates the window (hidden) with its controls and runs FormCreate, whose
  // error box, if any, shows before the window does. The platform layers are
  // the real ones in the program and fakes or spies in tests.
  FormWindow(SerialApi& serial, DeviceInfoApi& devices, HINSTANCE instance = nullptr);
  ~FormWindow() override;
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  TForm1& Form1() { return *form_; }
  // Null once the window has been closed.
  HWND Handle() const { return window_; }
  HWND Control(form::Id control) const { return controls_[static_cast<std::size_t>(control)]; }
  // The alert a screen reader is told of when control appears; null for none.
  HWND AnnouncerOf(form::Id control) const {
    return announcers_[static_cast<std::size_t>(control)];
  }
  UINT Dpi() const { return dpi_; }
  bool RegisteredForDeviceChanges() const { return registered_; }

  // Shows the window and gives the keyboard focus to the first control.
  void Show(int showCommand = SW_SHOWNORMAL);

  // The application's idle moment: the main loop found its queue empty.
  void Idle();

  // The dialog keys (Tab, Shift+Tab, Enter, Esc, arrows in groups): true
  // when msg was one of them and has been handled.
  bool TranslateDialogKey(MSG& msg);

  // FormView.
  int ActivePage() const override { return activePage_; }
  void ShowPage(int page) override;
  void HidePageTabs() override;
  void SetVisible(form::Id control, bool visible) override;
  void SetEnabled(form::Id control, bool enabled) override;
  void SetCaption(form::Id control, std::string_view utf8) override;
  void SetBarPosition(form::Id bar, int position) override;
  bool IsChecked(form::Id checkBox) const override;
  void ProcessMessages() override;
  void Close() override;
  WelcomeFileLoad LoadWelcomeFile() override;
  void ShowErrorBox(std::string_view utf8) override;
  void RegisterDeviceNotifications(DeviceNotifications* source) override;

 private:
  static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
  static void RegisterClasses(HINSTANCE instance);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // form_window_controls.cpp: creation from the description, fonts, layout.
  void CreateFormWindow();
  void BuildControls();
  HWND BuildControl(const form::ControlDescription& control);
  void CreateFonts();
  void ApplyFonts();
  HFONT FontFor(const form::ControlDescription& control) const;
  void Layout();
  RECT PlaceOf(const form::ControlDescription& control, HWND handle) const;
  void SizeToClientArea();
  void OnDpiChanged(UINT dpi, const RECT* suggested);

  // form_window_drawing.cpp: colours and owner-drawn controls.
  LRESULT OnControlColour(HDC dc, HWND control);
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  void LoadLogo();
  void DrawLogo(HDC dc, const RECT& rect);

  // form_window_controls.cpp: what a screen reader gets of the controls.
  void MakeAccessible();

  // What a screen reader hears of a page change and of an indicator that
  // appears, once the handler that made them has set up the page (the
  // update processes its messages right after its first block): the focus
  // on the page's first control and the page's name, then the alerts.
  void QueuePresent();
  void Present();

  void OnCommand(int id, int code, HWND control);
  void PressFocusedButton();
  void MoveFocus(bool backwards);
  void MoveFocusOff(HWND leaving);
  // The first Tab stop but leaving; noted as parked when it is off the page.
  void FocusFirstStop(HWND leaving);
  void KeepFocusUsable(HWND preferred);

  ComApartment com_;  // before the window, whose controls hand out objects
  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  HWND tabs_ = nullptr;  // the page container's own window
  UINT dpi_ = 96;
  int activePage_ = 1;
  bool registered_ = false;
  bool welcomeIsRichText_ = false;
  bool closing_ = false;
  bool destroyedByOwner_ = false;
  HWND focusWhenInactive_ = nullptr;
  HWND parkedOn_ = nullptr;  // where the focus waits off the page
  FocusCues focusCues_;
  std::array<HWND, form::kControlCount> controls_{};
  std::array<HWND, form::kControlCount> announcers_{};
  bool presentQueued_ = false;
  bool focusPending_ = false;
  std::vector<form::Id> pendingAnnouncements_;
  std::map<std::pair<int, bool>, FontHandle> fonts_;  // by character height at 96 dpi, bold
  FontHandle glyphFont_;
  HBITMAP logo_ = nullptr;
  HBITMAP logoLarge_ = nullptr;
  std::optional<TForm1> form_;
};

}  // namespace tarvik::win32
