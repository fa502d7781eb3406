#pragma once
// The wizard's main window, TForm1, free of any toolkit. It is the updater
// (the state and the operations of the update engine are its own), it holds
// the controls by their names on the form, and its handlers move through the
// pages. A front end draws it through a FormView and calls the handlers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Update_Main/form_description.h"
#include "Update_Main/form_view.h"
#include "device_link/device_info_api.h"
#include "device_link/device_notifications.h"
#include "device_link/serial_api.h"
#include "update_engine/updater.h"
#include "update_engine/updater_view.h"

// One control of the form, by its name: what the handlers show, hide,
// enable and caption.
class TFormControl {
 public:
  TFormControl(tarvik::FormView& view, tarvik::form::Id id) : view_(view), id_(id) {}

  void SetVisible(bool visible) const { view_.SetVisible(id_, visible); }
  void SetEnabled(bool enabled) const { view_.SetEnabled(id_, enabled); }
  void SetCaption(std::string_view utf8) const { view_.SetCaption(id_, utf8); }
  void SetPosition(int position) const { view_.SetBarPosition(id_, position); }
  bool Checked() const { return view_.IsChecked(id_); }
  tarvik::form::Id Id() const { return id_; }

 private:
  tarvik::FormView& view_;
  tarvik::form::Id id_;
};

class TForm1 : public tarvik::Updater, private tarvik::UpdaterView {
  // First, since the controls below refer to it.
  tarvik::FormView& view_;

 public:
  // Runs FormCreate: the window is set up (not yet shown) when this returns.
  // notifications may be null: then only the front end's own registration
  // (Windows) brings device changes, or none come at all.
  TForm1(tarvik::FormView& view, tarvik::SerialApi& serial, tarvik::DeviceInfoApi& devices,
         tarvik::DeviceNotifications* notifications);
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // The active page, 1 to 5.
  int ActivePage() const { return view_.ActivePage(); }

  // The click handlers of the buttons.
  void btnNEXTClick();
  void btnBACKClick();
  void btnESCClick();
  void btnConnectClick();

  // Sets the buttons for the active page; never changes the page.
  void UpdateButtons() override;
  void SetNextCaption(std::string_view text);

  // The window's close event, whichever way it was asked for.
  void FormClose();

  // The application's idle event: the main message loop has emptied its
  // queue. A front end calls it from its main loop only, never from inside
  // the update's message processing or a dialog's loop.
  void ApplicationEvents1Idle();

  // True while a click handler (and with it an update) runs.
  bool Busy() const { return busy_ > 0; }

  // The controls, named as on the form.
  const TFormControl Image6{view_, tarvik::form::Id::Image6};
  const TFormControl PageControl1{view_, tarvik::form::Id::PageControl1};
  const TFormControl TabSheet1{view_, tarvik::form::Id::TabSheet1};
  const TFormControl TabSheet2{view_, tarvik::form::Id::TabSheet2};
  const TFormControl TabSheet3{view_, tarvik::form::Id::TabSheet3};
  const TFormControl TabSheet4{view_, tarvik::form::Id::TabSheet4};
  const TFormControl TabSheet5{view_, tarvik::form::Id::TabSheet5};
  // page 1
  const TFormControl RichEdit1{view_, tarvik::form::Id::RichEdit1};
  // page 2
  const TFormControl ListBox1{view_, tarvik::form::Id::ListBox1};
  // page 3
  const TFormControl Label1{view_, tarvik::form::Id::Label1};
  const TFormControl lbConnected{view_, tarvik::form::Id::lbConnected};
  const TFormControl lbNotConnected{view_, tarvik::form::Id::lbNotConnected};
  const TFormControl ListBox6{view_, tarvik::form::Id::ListBox6};
  const TFormControl txtConnFail{view_, tarvik::form::Id::txtConnFail};
  const TFormControl txtConnOK{view_, tarvik::form::Id::txtConnOK};
  const TFormControl btnConnect{view_, tarvik::form::Id::btnConnect};
  const TFormControl ListBox2{view_, tarvik::form::Id::ListBox2};
  const TFormControl cbKeepUser{view_, tarvik::form::Id::cbKeepUser};
  // page 4
  const TFormControl lbWrite{view_, tarvik::form::Id::lbWrite};
  const TFormControl BarWrite{view_, tarvik::form::Id::BarWrite};
  const TFormControl lbWriteOn{view_, tarvik::form::Id::lbWriteOn};
  const TFormControl lbWriteOK{view_, tarvik::form::Id::lbWriteOK};
  const TFormControl lbWriteErr{view_, tarvik::form::Id::lbWriteErr};
  const TFormControl lbVerify{view_, tarvik::form::Id::lbVerify};
  const TFormControl BarVerify{view_, tarvik::form::Id::BarVerify};
  const TFormControl lbVerifyOn{view_, tarvik::form::Id::lbVerifyOn};
  const TFormControl lbVerifyOK{view_, tarvik::form::Id::lbVerifyOK};
  const TFormControl lbVerifyErr{view_, tarvik::form::Id::lbVerifyErr};
  const TFormControl txtWriteOK{view_, tarvik::form::Id::txtWriteOK};
  const TFormControl txtWriteFail{view_, tarvik::form::Id::txtWriteFail};
  const TFormControl ListWriteOK{view_, tarvik::form::Id::ListWriteOK};
  const TFormControl ListWriteFail{view_, tarvik::form::Id::ListWriteFail};
  // page 5
  const TFormControl ListBox4{view_, tarvik::form::Id::ListBox4};
  // the window itself
  const TFormControl ListBox3{view_, tarvik::form::Id::ListBox3};
  const TFormControl btnESC{view_, tarvik::form::Id::btnESC};
  const TFormControl btnBACK{view_, tarvik::form::Id::btnBACK};
  const TFormControl btnNEXT{view_, tarvik::form::Id::btnNEXT};
  const TFormControl Panel1{view_, tarvik::form::Id::Panel1};
  const TFormControl StatusBar1{view_, tarvik::form::Id::StatusBar1};

 private:
  // Counts the click handlers running, so that the idle step never runs in
  // the middle of one (Cancel may be clicked inside the update's message
  // processing, so handlers nest).
  class BusyScope {
   public:
    explicit BusyScope(TForm1& form) : form_(form) { ++form_.busy_; }
    ~BusyScope() { --form_.busy_; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

   private:
    TForm1& form_;
  };

  void FormCreate(tarvik::DeviceNotifications* notifications);
  void LoadWelcomeText();
  void ShowPage(const TFormControl& page) { view_.ShowPage(tarvik::form::PageNumber(page.Id())); }
  void HideConnectionIndicators();
  void HideUpdateIndicators();
  // What a failed Connect shows: the red "НЕ УСТАНОВЛЕНО" and the cross.
  void ShowNotConnected();

  // What the update engine drives.
  void SetVisible(tarvik::Control control, bool visible) override;
  void SetEnabled(tarvik::Control control, bool enabled) override;
  void SetBarPosition(tarvik::Control bar, int position) override;
  void ProcessMessages() override;
  bool KeepUserSettings() override;
  void ShowConnectionPage() override;
  void ConnectionLost() override;

  int busy_ = 0;
};

namespace tarvik {
// The form's control that an update-engine control names.
form::Id FormControlOf(Control control);
}  // namespace tarvik
