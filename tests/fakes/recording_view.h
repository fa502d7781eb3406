#pragma once
// A headless window for the update engine: it keeps what is shown, the
// enabled states and every bar position, and can run a hook at each
// message-processing point (to click Cancel in the middle of an update).
#include <functional>
#include <map>
#include <vector>

#include "update_engine/updater_view.h"

namespace tarvik::testing {

class RecordingView : public UpdaterView {
 public:
  std::map<Control, bool> visible;
  std::map<Control, bool> enabled;
  std::map<Control, std::vector<int>> bars;
  bool keepUser = true;
  int processed = 0;
  int connectionPageShown = 0;
  int buttonsUpdated = 0;
  int connectionsLost = 0;
  std::function<void()> onProcessMessages;

  bool isVisible(Control c) const {
    const auto it = visible.find(c);
    return it != visible.end() && it->second;
  }
  int bar(Control c) const {
    const auto it = bars.find(c);
    return it == bars.end() || it->second.empty() ? -1 : it->second.back();
  }

  void SetVisible(Control c, bool v) override { visible[c] = v; }
  void SetEnabled(Control c, bool e) override { enabled[c] = e; }
  void SetBarPosition(Control c, int p) override { bars[c].push_back(p); }
  void ProcessMessages() override {
    ++processed;
    if (onProcessMessages) onProcessMessages();
  }
  bool KeepUserSettings() override { return keepUser; }
  void ShowConnectionPage() override { ++connectionPageShown; }
  void UpdateButtons() override { ++buttonsUpdated; }
  void ConnectionLost() override { ++connectionsLost; }
};

}  // namespace tarvik::testing
