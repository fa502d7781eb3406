#pragma once
// What the form needs of the toolkit that draws it. A front end (the Qt
// window on Linux, the native window on Windows, a recording fake in the
// tests) builds its controls from the form's description, implements this,
// and turns clicks and window messages into calls of the form's handlers.
#include <string>
#include <string_view>

#include "Update_Main/form_description.h"
#include "device_link/device_notifications.h"

namespace tarvik {

// Loading "text.rtf" into the welcome box.
struct WelcomeFileLoad {
  enum class Status {
    Loaded,      // shown as rich text, or as plain text when it is not rich text
    OpenFailed,  // missing, or cannot be opened
    Unreadable,  // opened, but readable neither as rich text nor as plain text
  };
  Status status = Status::OpenFailed;
  std::string fullPath;     // UTF-8: the current directory followed by "text.rtf"
  std::string systemError;  // UTF-8, OpenFailed only: the system's own description, untrimmed
};

class FormView {
 public:
  virtual ~FormView() = default;

  // The active page, 1 to 5, and making another one active.
  virtual int ActivePage() const = 0;
  virtual void ShowPage(int page) = 0;
  // Keeps page 1's tab with an empty caption and hides the tabs of pages 2 to 5.
  virtual void HidePageTabs() = 0;

  // Shown and hidden change visibility only; enabled and caption leave it alone.
  virtual void SetVisible(form::Id control, bool visible) = 0;
  virtual void SetEnabled(form::Id control, bool enabled) = 0;
  virtual void SetCaption(form::Id control, std::string_view utf8) = 0;
  virtual void SetBarPosition(form::Id bar, int position) = 0;
  virtual bool IsChecked(form::Id checkBox) const = 0;

  // Runs the window messages that are waiting (repaints, screen readers'
  // requests, keys, Cancel, the close box), and no idle processing. Called
  // every few milliseconds while the update runs: cheap when nothing waits.
  virtual void ProcessMessages() = 0;

  // The toolkit's close request for the window. The front end runs the
  // form's FormClose from its close event and ends the message loop; the
  // program ends once the event being handled has returned.
  virtual void Close() = 0;

  // Reads "text.rtf" from the current directory into RichEdit1: opened for
  // reading (others may read it meanwhile, not write it), as rich text, else
  // from its start again as plain text. On failure the box keeps its text.
  virtual WelcomeFileLoad LoadWelcomeFile() = 0;

  // The toolkit's error box: stop icon, OK, the application title as its
  // caption, shown before the window. Returns when it is closed.
  virtual void ShowErrorBox(std::string_view utf8) = 0;

  // Starts delivering device arrivals and removals to the form's
  // WMDeviceChange: from source where there is one (Linux, tests; the form
  // has registered its handler with it already), else from the window's own
  // registration for device-interface notifications (Windows).
  virtual void RegisterDeviceNotifications(DeviceNotifications* source) = 0;
};

}  // namespace tarvik
