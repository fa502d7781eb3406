#include "tests/form/recording_form_view.h"

namespace tarvik::testing {

RecordingFormView::RecordingFormView() {
  for (const form::ControlDescription& c : form::Controls()) {
    State& state = (*this)[c.id];
    state.visible = c.shownAtStart;
    state.caption = std::string(c.text);
    state.checked = c.checkedAtStart;
  }
}

void RecordingFormView::ShowPage(int page) {
  activePage = page;
  calls.push_back("ShowPage " + std::to_string(page));
}

void RecordingFormView::ProcessMessages() {
  ++processed;
  if (onProcessMessages) onProcessMessages();
}

void RecordingFormView::Close() {
  // As a window: the close event runs once; the window is gone after it.
  ++closeRequests;
  calls.push_back("Close");
  if (closed) return;
  if (form != nullptr) form->FormClose();
  closed = true;
}

WelcomeFileLoad RecordingFormView::LoadWelcomeFile() {
  calls.push_back("LoadWelcomeFile");
  return welcomeLoad;
}

void RecordingFormView::ShowErrorBox(std::string_view utf8) {
  calls.push_back("ErrorBox");
  errorBoxes.emplace_back(utf8);
}

void RecordingFormView::RegisterDeviceNotifications(DeviceNotifications* source) {
  calls.push_back("Register");
  registeredSource = source;
  ++registrations;
}

}  // namespace tarvik::testing
