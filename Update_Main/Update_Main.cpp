// The window's life: creation (FormCreate), the view the update engine
// drives, the idle hook of the hot-plug watch and closing (FormClose).
#include "Update_Main/Update_Main.h"

#include "Update_Main/welcome_messages.h"

using tarvik::Control;
using tarvik::form::Id;

TForm1::TForm1(tarvik::FormView& view, tarvik::SerialApi& serial, tarvik::DeviceInfoApi& devices,
               tarvik::DeviceNotifications* notifications)
    : tarvik::Updater(serial, devices), view_(view) {
  FormCreate(notifications);
}

void TForm1::FormCreate(tarvik::DeviceNotifications* notifications) {
  InitUpdaterState();

  // The window set-up. The welcome text comes first, so that its error box,
  // if any, shows before the window does.
  LoadWelcomeText();
  HideConnectionIndicators();
  HideUpdateIndicators();
  ShowPage(TabSheet1);
  view_.HidePageTabs();
  UpdateButtons();

  FDeviceEvent = tarvik::kDeviceEventNone;
  if (notifications != nullptr) {
    notifications->Register(
        [this](std::uint32_t code, const std::uint8_t* record, std::size_t size) {
          WMDeviceChange(code, record, size);
        });
  }
  view_.RegisterDeviceNotifications(notifications);
}

void TForm1::LoadWelcomeText() {
  // On failure the built-in text stays and the set-up goes on.
  const std::string error = tarvik::WelcomeLoadErrorText(view_.LoadWelcomeFile());
  if (!error.empty()) view_.ShowErrorBox(tarvik::ErrorBoxText(error));
}

void TForm1::ApplicationEvents1Idle() {
  // Never inside a click: the update processes messages from inside one.
  if (busy_ > 0) return;
  // The loop comes here every time it empties: act only on a pending event.
  if (FDeviceEvent == tarvik::kDeviceEventNone) return;
  BusyScope busy(*this);
  IdleStep(*this);
}

void TForm1::FormClose() {
  // An update that is still running inside the Next click finds the port
  // closed (FPortOpen false, no handle) and fails at once if it was waiting
  // for the tracker, else at its next block; the program ends once that
  // click has returned.
  if (FPortOpen) ClosePort();
}

void TForm1::HideConnectionIndicators() {
  for (const TFormControl* c : {&lbConnected, &lbNotConnected, &txtConnOK, &txtConnFail})
    c->SetVisible(false);
}

void TForm1::HideUpdateIndicators() {
  for (const TFormControl* c :
       {&txtWriteOK, &txtWriteFail, &lbWrite, &lbWriteOn, &lbWriteOK, &lbWriteErr, &lbVerify,
        &lbVerifyOK, &lbVerifyOn, &lbVerifyErr, &BarWrite, &BarVerify, &ListWriteOK,
        &ListWriteFail})
    c->SetVisible(false);
}

// --- the view the update engine drives --------------------------------------

tarvik::form::Id tarvik::FormControlOf(Control control) {
  switch (control) {
    case Control::lbConnected: return Id::lbConnected;
    case Control::lbNotConnected: return Id::lbNotConnected;
    case Control::txtConnOK: return Id::txtConnOK;
    case Control::txtConnFail: return Id::txtConnFail;
    case Control::btnConnect: return Id::btnConnect;
    case Control::lbWrite: return Id::lbWrite;
    case Control::BarWrite: return Id::BarWrite;
    case Control::lbWriteOn: return Id::lbWriteOn;
    case Control::lbWriteOK: return Id::lbWriteOK;
    case Control::lbWriteErr: return Id::lbWriteErr;
    case Control::lbVerify: return Id::lbVerify;
    case Control::BarVerify: return Id::BarVerify;
    case Control::lbVerifyOn: return Id::lbVerifyOn;
    case Control::lbVerifyOK: return Id::lbVerifyOK;
    case Control::lbVerifyErr: return Id::lbVerifyErr;
    case Control::txtWriteOK: return Id::txtWriteOK;
    case Control::txtWriteFail: return Id::txtWriteFail;
    case Control::ListWriteOK: return Id::ListWriteOK;
    case Control::ListWriteFail: return Id::ListWriteFail;
    case Control::btnBACK: return Id::btnBACK;
    case Control::btnNEXT: return Id::btnNEXT;
  }
  return Id::Form1;
}

void TForm1::SetVisible(Control control, bool visible) {
  view_.SetVisible(tarvik::FormControlOf(control), visible);
}

void TForm1::SetEnabled(Control control, bool enabled) {
  view_.SetEnabled(tarvik::FormControlOf(control), enabled);
}

void TForm1::SetBarPosition(Control bar, int position) {
  view_.SetBarPosition(tarvik::FormControlOf(bar), position);
}

void TForm1::ProcessMessages() { view_.ProcessMessages(); }

bool TForm1::KeepUserSettings() { return cbKeepUser.Checked(); }

void TForm1::ShowConnectionPage() { ShowPage(TabSheet3); }
