#pragma once
// The wizard window. It is the updater (the state and the operations of the
// update engine are its own) and the updater's view: the engine shows, hides
// and enables the controls below through it.
#include <QWidget>

#include "device_link/device_info_api.h"
#include "device_link/device_notifications.h"
#include "device_link/serial_api.h"
#include "update_engine/updater.h"
#include "update_engine/updater_view.h"

class QCheckBox;
class QCloseEvent;
class QFrame;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSocketNotifier;
class QStatusBar;
class QTextEdit;

namespace tarvik::ui {
class GlyphLabel;
class PageContainer;
class TextList;
}  // namespace tarvik::ui

// Client area and placement of the window.
inline constexpr int kFormWidth = 622;
inline constexpr int kFormHeight = 409;
inline constexpr int kFormLeft = 368;
inline constexpr int kFormTop = 173;

class TForm1 : public QWidget, public tarvik::Updater, public tarvik::UpdaterView {
  Q_OBJECT
 public:
  // Runs FormCreate: the window is ready (not yet shown) when this returns.
  // notifications may be null: then the window never connects on its own.
  TForm1(tarvik::SerialApi& serial, tarvik::DeviceInfoApi& devices,
         tarvik::DeviceNotifications* notifications, QWidget* parent = nullptr);
  ~TForm1() override;

  // The active page, 1 to 5.
  int ActivePage() const;

  // Navigation (the buttons' click handlers).
  void btnNEXTClick();
  void btnBACKClick();
  void btnESCClick();
  void btnConnectClick();
  void SetNextCaption(const QString& text);

  // UpdaterView.
  void SetVisible(tarvik::Control control, bool visible) override;
  void SetEnabled(tarvik::Control control, bool enabled) override;
  void SetBarPosition(tarvik::Control bar, int position) override;
  void ProcessMessages() override;
  bool KeepUserSettings() override;
  void ShowConnectionPage() override;
  void UpdateButtons() override;

  // The application's idle hook: acts on a recorded hot-plug event once the
  // main message loop has nothing else to do.
  void ApplicationEvents1Idle();

  // The controls, named as on the form.
  QLabel* Image6 = nullptr;
  tarvik::ui::PageContainer* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;
  QWidget* TabSheet2 = nullptr;
  QWidget* TabSheet3 = nullptr;
  QWidget* TabSheet4 = nullptr;
  QWidget* TabSheet5 = nullptr;
  // page 1
  QTextEdit* RichEdit1 = nullptr;
  // page 2
  tarvik::ui::TextList* ListBox1 = nullptr;
  // page 3
  QLabel* Label1 = nullptr;
  QLabel* lbConnected = nullptr;
  QLabel* lbNotConnected = nullptr;
  tarvik::ui::TextList* ListBox6 = nullptr;
  tarvik::ui::GlyphLabel* txtConnFail = nullptr;
  tarvik::ui::GlyphLabel* txtConnOK = nullptr;
  QPushButton* btnConnect = nullptr;
  tarvik::ui::TextList* ListBox2 = nullptr;
  QCheckBox* cbKeepUser = nullptr;
  // page 4
  QLabel* lbWrite = nullptr;
  QProgressBar* BarWrite = nullptr;
  QLabel* lbWriteOn = nullptr;
  QLabel* lbWriteOK = nullptr;
  QLabel* lbWriteErr = nullptr;
  QLabel* lbVerify = nullptr;
  QProgressBar* BarVerify = nullptr;
  QLabel* lbVerifyOn = nullptr;
  QLabel* lbVerifyOK = nullptr;
  QLabel* lbVerifyErr = nullptr;
  tarvik::ui::GlyphLabel* txtWriteOK = nullptr;
  tarvik::ui::GlyphLabel* txtWriteFail = nullptr;
  tarvik::ui::TextList* ListWriteOK = nullptr;
  tarvik::ui::TextList* ListWriteFail = nullptr;
  // page 5
  tarvik::ui::TextList* ListBox4 = nullptr;
  // the window itself
  tarvik::ui::TextList* ListBox3 = nullptr;
  QPushButton* btnESC = nullptr;
  QPushButton* btnBACK = nullptr;
  QPushButton* btnNEXT = nullptr;
  QFrame* Panel1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;

 protected:
  // FormClose: every way of closing the window comes here.
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
#ifdef Q_OS_WIN
  // Windows (Update_Main_win32.cpp): WM_DEVICECHANGE to WMDeviceChange, and
  // a native window made anew is attached again.
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
  bool event(QEvent* event) override;
#endif

 private:
  // Set while a click handler (and with it an update) runs, so that the idle
  // step never runs in the middle of one. A count, since Cancel may be
  // clicked inside the update's message processing.
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
  void CreateControls();
  void CreateWelcomePage();
  void CreatePreparationPage();
  void CreateConnectionPage();
  void CreateLoadingPage();
  void CreateFinishPage();
  void LoadWelcomeText();
  void HideConnectionIndicators();
  void HideUpdateIndicators();
  void ShowPage(QWidget* page);
  void RegisterDeviceNotifications(tarvik::DeviceNotifications* notifications);
  QWidget* ControlWidget(tarvik::Control control) const;

  int busy_ = 0;
  QSocketNotifier* notifier_ = nullptr;
#ifdef Q_OS_WIN
  // The fixed border and the device-interface registration of the native window.
  void AttachNativeWindow();
  bool nativeWindowAttached_ = false;
#endif
};
