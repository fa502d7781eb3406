#pragma once
// The Qt front end of the form (Linux): a QWidget with the form's controls,
// built from its description, that draws TForm1 and hands it the clicks, the
// close event, the idle moments of the main loop and the device changes.
#include <array>
#include <optional>
#include <vector>

#include <QWidget>

#include "Update_Main/Update_Main.h"
#include "Update_Main/form_description.h"
#include "Update_Main/form_view.h"

class QSocketNotifier;

namespace tarvik::ui {

class Announcer;
class PageContainer;

class FormWindow : public QWidget, public FormView {
  Q_OBJECT
 public:
  // Builds the controls and runs FormCreate; the window is ready (not yet
  // shown) when this returns.
  FormWindow(SerialApi& serial, DeviceInfoApi& devices, DeviceNotifications* notifications,
             QWidget* parent = nullptr);
  ~FormWindow() override;

  TForm1& Form1() { return *form_; }

  // The widget drawn for a control of the form.
  QWidget* Widget(form::Id control) const { return widgets_[static_cast<std::size_t>(control)]; }
  template <class T>
  T* WidgetAs(form::Id control) const {
    return qobject_cast<T*>(Widget(control));
  }
  PageContainer* Pages() const { return pages_; }
  // What a screen reader is told when control appears; null for none.
  Announcer* AnnouncerOf(form::Id control) const {
    return announcers_[static_cast<std::size_t>(control)];
  }

  // FormView.
  int ActivePage() const override;
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

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildControl(const form::ControlDescription& control);
  void ConnectButton(form::Id button, void (TForm1::*handler)());
  void OnLoopAboutToWait();

  // What a screen reader hears of a page change and of an indicator that
  // appears, once the handler that made them has set up the page (the
  // update processes its messages right after its first block): the focus
  // on the page's first control, then the announcements in order.
  void QueuePresent();
  void Present();
  // The controls of a page that are shown and announce themselves.
  std::vector<form::Id> AnnouncingOnPage(int page) const;
  // The first control from `from` on in the keyboard order that the user
  // can reach: shown, enabled, a Tab stop.
  QWidget* FirstStop(QWidget* from) const;
  void FocusFirstStop();
  void MoveFocusOffDisabled();
  // What a click leaves for the focus once its handler has returned.
  void AfterClick();

  std::array<QWidget*, form::kControlCount> widgets_{};
  std::array<Announcer*, form::kControlCount> announcers_{};
  bool focusPending_ = false;
  QWidget* parkedOn_ = nullptr;  // where the focus waits off the page
  bool presentQueued_ = false;
  std::vector<form::Id> pendingAnnouncements_;
  PageContainer* pages_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  std::optional<TForm1> form_;
};

}  // namespace tarvik::ui
