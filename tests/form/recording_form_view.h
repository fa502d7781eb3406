#pragma once
// A headless front end: it keeps, for every control of the form, what a
// window would show (visibility, enabled state, caption, bar position, the
// check box), starting from the form's description, and records the close
// requests and error boxes. Close runs the form's FormClose, as a window's
// close event does; a hook runs at each message-processing point, so a test
// can click in the middle of an update.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "Update_Main/Update_Main.h"
#include "Update_Main/form_view.h"

namespace tarvik::testing {

class RecordingFormView : public FormView {
 public:
  struct State {
    bool visible = true;
    bool enabled = true;
    std::string caption;
    int position = 0;
    bool checked = false;
    bool operator==(const State&) const = default;
  };

  RecordingFormView();

  // The form whose FormClose a close request runs; set once it exists.
  TForm1* form = nullptr;

  std::array<State, form::kControlCount> controls;
  int activePage = 1;
  bool tabsHidden = false;
  bool closed = false;  // the window is gone
  int closeRequests = 0;
  int processed = 0;
  std::vector<std::string> errorBoxes;
  std::vector<std::string> calls;  // "ShowPage 2", "ErrorBox", "Register", ... in order
  WelcomeFileLoad welcomeLoad{WelcomeFileLoad::Status::Loaded, "/w/text.rtf", ""};
  DeviceNotifications* registeredSource = nullptr;
  int registrations = 0;
  std::function<void()> onProcessMessages;

  State& operator[](form::Id id) { return controls[static_cast<std::size_t>(id)]; }
  const State& operator[](form::Id id) const { return controls[static_cast<std::size_t>(id)]; }

  int ActivePage() const override { return activePage; }
  void ShowPage(int page) override;
  void HidePageTabs() override { tabsHidden = true; }
  void SetVisible(form::Id control, bool visible) override { (*this)[control].visible = visible; }
  void SetEnabled(form::Id control, bool enabled) override { (*this)[control].enabled = enabled; }
  void SetCaption(form::Id control, std::string_view utf8) override {
    (*this)[control].caption = std::string(utf8);
  }
  void SetBarPosition(form::Id bar, int position) override { (*this)[bar].position = position; }
  bool IsChecked(form::Id checkBox) const override { return (*this)[checkBox].checked; }
  void ProcessMessages() override;
  void Close() override;
  WelcomeFileLoad LoadWelcomeFile() override;
  void ShowErrorBox(std::string_view utf8) override;
  void RegisterDeviceNotifications(DeviceNotifications* source) override;
};

}  // namespace tarvik::testing
