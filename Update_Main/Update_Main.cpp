// The window's life: creation (FormCreate), the view the update engine
// drives, the idle hook of the hot-plug watch and closing (FormClose).
#include "Update_Main.h"

#include <QAbstractEventDispatcher>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QTextEdit>
#include <QThread>

#include "glyph_label.h"
#include "page_container.h"
#include "text_list.h"
#include "welcome_text.h"

using tarvik::Control;

TForm1::TForm1(tarvik::SerialApi& serial, tarvik::DeviceInfoApi& devices,
               tarvik::DeviceNotifications* notifications, QWidget* parent)
    : QWidget(parent), tarvik::Updater(serial, devices) {
  CreateControls();
  FormCreate(notifications);
}

TForm1::~TForm1() = default;

void TForm1::FormCreate(tarvik::DeviceNotifications* notifications) {
  InitUpdaterState();

  // The window set-up. The welcome text comes first, so that its error box,
  // if any, shows before the window does.
  LoadWelcomeText();
  HideConnectionIndicators();
  HideUpdateIndicators();
  ShowPage(TabSheet1);
  PageControl1->HideTabs();
  UpdateButtons();

  FDeviceEvent = tarvik::kDeviceEventNone;
  RegisterDeviceNotifications(notifications);

  // The application's idle event: the main loop is about to wait for the
  // next message. Queued connections would run inside the update's message
  // processing, so the hook is called directly.
  connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock,
          this, &TForm1::ApplicationEvents1Idle, Qt::DirectConnection);
}

void TForm1::LoadWelcomeText() {
  // On failure the built-in text stays and the set-up goes on; the box has
  // no parent, since the window is not shown yet.
  const tarvik::WelcomeLoadResult result =
      tarvik::LoadWelcomeText(*RichEdit1->document(), RichEdit1->font());
  if (!result.ok) tarvik::ShowErrorBox(nullptr, result.errorText);
}

void TForm1::RegisterDeviceNotifications(tarvik::DeviceNotifications* notifications) {
#ifdef Q_OS_WIN
  // Windows: the window receives WM_DEVICECHANGE itself (nativeEvent); its
  // native window is made here and registered with RegisterDeviceNotificationA
  // (Update_Main_win32.cpp).
  AttachNativeWindow();
  nativeWindowAttached_ = true;
#endif

  // Linux (udev) and tests: a source that delivers the same records.
  if (notifications == nullptr) return;
  notifications->Register(
      [this](std::uint32_t code, const std::uint8_t* record, std::size_t size) {
        WMDeviceChange(code, record, size);
      });
  const int descriptor = notifications->PollDescriptor();
  if (descriptor < 0) return;
  notifier_ = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this,
          [notifications] { notifications->Dispatch(); });
}

void TForm1::ApplicationEvents1Idle() {
  // Never inside a click (the update processes messages from inside one)
  // and never under a message box or dialog, which run loops of their own.
  if (busy_ > 0) return;
  if (QThread::currentThread()->loopLevel() > 1) return;
  // The loop comes here on every wait: act only on a pending event.
  if (FDeviceEvent == tarvik::kDeviceEventNone) return;
  BusyScope busy(*this);
  IdleStep(*this);
}

void TForm1::closeEvent(QCloseEvent* event) {
  // FormClose. An update that is still running inside the Next click finds
  // the port closed (FPortOpen false, no handle) and fails at its next block;
  // the program ends once that click has returned.
  if (FPortOpen) ClosePort();
  event->accept();
}

int TForm1::ActivePage() const { return PageControl1->currentIndex() + 1; }

void TForm1::ShowPage(QWidget* page) { PageControl1->setCurrentWidget(page); }

void TForm1::HideConnectionIndicators() {
  for (Control c : {Control::lbConnected, Control::lbNotConnected, Control::txtConnOK,
                    Control::txtConnFail})
    SetVisible(c, false);
}

void TForm1::HideUpdateIndicators() {
  for (Control c : {Control::txtWriteOK, Control::txtWriteFail, Control::lbWrite,
                    Control::lbWriteOn, Control::lbWriteOK, Control::lbWriteErr,
                    Control::lbVerify, Control::lbVerifyOK, Control::lbVerifyOn,
                    Control::lbVerifyErr, Control::BarWrite, Control::BarVerify,
                    Control::ListWriteOK, Control::ListWriteFail})
    SetVisible(c, false);
}

// --- the view the update engine drives --------------------------------------

QWidget* TForm1::ControlWidget(Control control) const {
  switch (control) {
    case Control::lbConnected: return lbConnected;
    case Control::lbNotConnected: return lbNotConnected;
    case Control::txtConnOK: return txtConnOK;
    case Control::txtConnFail: return txtConnFail;
    case Control::btnConnect: return btnConnect;
    case Control::lbWrite: return lbWrite;
    case Control::BarWrite: return BarWrite;
    case Control::lbWriteOn: return lbWriteOn;
    case Control::lbWriteOK: return lbWriteOK;
    case Control::lbWriteErr: return lbWriteErr;
    case Control::lbVerify: return lbVerify;
    case Control::BarVerify: return BarVerify;
    case Control::lbVerifyOn: return lbVerifyOn;
    case Control::lbVerifyOK: return lbVerifyOK;
    case Control::lbVerifyErr: return lbVerifyErr;
    case Control::txtWriteOK: return txtWriteOK;
    case Control::txtWriteFail: return txtWriteFail;
    case Control::ListWriteOK: return ListWriteOK;
    case Control::ListWriteFail: return ListWriteFail;
    case Control::btnBACK: return btnBACK;
    case Control::btnNEXT: return btnNEXT;
  }
  return nullptr;
}

void TForm1::SetVisible(Control control, bool visible) {
  if (QWidget* widget = ControlWidget(control)) widget->setVisible(visible);
}

void TForm1::SetEnabled(Control control, bool enabled) {
  if (QWidget* widget = ControlWidget(control)) widget->setEnabled(enabled);
}

void TForm1::SetBarPosition(Control bar, int position) {
  if (auto* progress = qobject_cast<QProgressBar*>(ControlWidget(bar)))
    progress->setValue(position);
}

void TForm1::ProcessMessages() {
  // Repaints and input to the enabled controls (Cancel, the close box);
  // the idle hook does not run here.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool TForm1::KeepUserSettings() { return cbKeepUser->isChecked(); }

void TForm1::ShowConnectionPage() { ShowPage(TabSheet3); }
