#pragma once
// What the update engine needs of the window: show and hide the indicators,
// move the bars, enable the buttons, let pending window messages through and
// read the "keep user settings" box. The window implements it; tests use a
// recording fake, so the engine runs headless.

namespace tarvik {

enum class Control {
  // page 3, connection
  lbConnected,
  lbNotConnected,
  txtConnOK,
  txtConnFail,
  btnConnect,
  // page 4, loading and verification
  lbWrite,
  BarWrite,
  lbWriteOn,
  lbWriteOK,
  lbWriteErr,
  lbVerify,
  BarVerify,
  lbVerifyOn,
  lbVerifyOK,
  lbVerifyErr,
  txtWriteOK,
  txtWriteFail,
  ListWriteOK,
  ListWriteFail,
  // the wizard's buttons
  btnBACK,
  btnNEXT,
};

class UpdaterView {
 public:
  virtual ~UpdaterView() = default;
  virtual void SetVisible(Control control, bool visible) = 0;
  virtual void SetEnabled(Control control, bool enabled) = 0;
  virtual void SetBarPosition(Control bar, int position) = 0;
  // Runs the window messages that are waiting, and no idle processing. The
  // update calls it after each program-memory block and, through the link's
  // wait hook, every few tries while it waits for the tracker.
  virtual void ProcessMessages() = 0;
  virtual bool KeepUserSettings() = 0;
  // Makes the connection page the active one (connect on arrival).
  virtual void ShowConnectionPage() = 0;
  virtual void UpdateButtons() = 0;
  // The bridge was pulled out and its port closed: the window no longer
  // shows a connection that is gone.
  virtual void ConnectionLost() = 0;
};

}  // namespace tarvik
