// Moving through the pages: what Next, Back, Cancel and Connect do, and the
// one routine that sets the buttons for the page being shown.
#include "Update_Main/Update_Main.h"

namespace {
constexpr std::string_view kNextCaption = "Далее";
constexpr std::string_view kFinishCaption = "OK";  // Latin letters
}  // namespace

void TForm1::SetNextCaption(std::string_view text) {
  btnNEXT.SetCaption(text);
  btnNEXT.SetEnabled(true);
}

void TForm1::UpdateButtons() {
  // Back and Cancel are only shown or hidden here, never enabled or disabled.
  switch (ActivePage()) {
    case 1:
      btnBACK.SetVisible(false);
      btnESC.SetVisible(true);
      SetNextCaption(kNextCaption);
      break;
    case 2:
      btnBACK.SetVisible(true);
      btnESC.SetVisible(true);
      SetNextCaption(kNextCaption);
      break;
    case 4:
      btnBACK.SetVisible(true);
      btnESC.SetVisible(true);
      btnNEXT.SetCaption(kNextCaption);
      // Page 5 says the new firmware is in the tracker: it is reached only
      // from an update that succeeded. While one runs, and after one that
      // failed, the owner has Back (to connect again) and Cancel.
      btnNEXT.SetEnabled(FStage == tarvik::kStageDone);
      break;
    case 3:
      btnBACK.SetVisible(true);
      btnESC.SetVisible(true);
      btnNEXT.SetCaption(kNextCaption);
      btnNEXT.SetEnabled(FSynced);
      btnConnect.SetEnabled(!FSynced);
      // Without sync the indicators keep whatever the last attempt showed.
      if (FSynced) {
        lbConnected.SetVisible(true);
        txtConnOK.SetVisible(true);
        lbNotConnected.SetVisible(false);
        txtConnFail.SetVisible(false);
      }
      break;
    case 5:
      btnBACK.SetVisible(true);
      btnESC.SetVisible(false);
      SetNextCaption(kFinishCaption);
      break;
    default:
      break;
  }
}

void TForm1::btnNEXTClick() {
  BusyScope busy(*this);
  switch (ActivePage()) {
    case 1:
      ShowPage(TabSheet2);
      break;
    case 2:
      ShowPage(TabSheet3);
      HideConnectionIndicators();
      break;
    case 3:
      if (FSynced) {
        ShowPage(TabSheet4);
        HideUpdateIndicators();
        FStage = tarvik::kStageRequested;
        UpdateButtons();
        // Runs to its end inside this click; Cancel and the close box stay
        // live through its message processing.
        RunUpdate(*this);
      }
      break;
    case 4:
      if (FStage == tarvik::kStageDone) ShowPage(TabSheet5);
      break;
    case 5:
      view_.Close();
      break;
    default:
      break;
  }
  UpdateButtons();
}

void TForm1::btnBACKClick() {
  BusyScope busy(*this);
  // The port stays open: the next Connect opens it anew.
  switch (ActivePage()) {
    case 2:
      ShowPage(TabSheet1);
      break;
    case 3:
      ShowPage(TabSheet2);
      FSynced = false;
      break;
    case 4:
      ShowPage(TabSheet3);
      HideConnectionIndicators();
      FSynced = false;
      break;
    case 5:
      ShowPage(TabSheet2);
      FSynced = false;
      break;
    default:
      break;
  }
  UpdateButtons();
}

void TForm1::btnESCClick() {
  BusyScope busy(*this);
  view_.Close();
}

void TForm1::btnConnectClick() {
  BusyScope busy(*this);
  HideConnectionIndicators();
  const std::string name = FindDevicePort();
  if (!name.empty())
    ConnectPort(name);  // no probe, even when this port does not sync
  else
    ConnectByScan();
  if (FSynced) FSynced = BootGet();  // a failed Get leaves the port open
  if (!FSynced) ShowNotConnected();
  UpdateButtons();
}

void TForm1::ShowNotConnected() {
  lbConnected.SetVisible(false);
  lbNotConnected.SetVisible(true);
  txtConnOK.SetVisible(false);
  txtConnFail.SetVisible(true);
}

void TForm1::ConnectionLost() {
  // Only the connection page speaks of the link. Page 4 keeps the outcome it
  // showed: owners pull the module out once the update has succeeded.
  if (ActivePage() != 3) return;
  ShowNotConnected();
  UpdateButtons();
}
