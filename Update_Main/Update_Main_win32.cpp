// Windows: the window itself receives WM_DEVICECHANGE. Once its native
// window exists it gets a fixed single border (no sizing frame, but the
// minimise and maximise boxes) and is registered for device-interface
// notifications of every class; a native window made anew later gets both
// again. The Win32 side of this lives in device_window_win32.cpp.
#include <QByteArray>
#include <QEvent>

#include "Update_Main.h"
#include "device_window_win32.h"

namespace {
constexpr char kGenericMessage[] = "windows_generic_MSG";
}  // namespace

void TForm1::AttachNativeWindow() {
  // winId() makes the native window if it does not exist yet. A refused
  // registration only means that the bridge is connected with Connect alone.
  const auto window = reinterpret_cast<HWND>(winId());
  if (window == nullptr) return;
  tarvik::win32::GiveFixedBorder(window);
  tarvik::win32::RegisterForDeviceInterfaces(window);
}

bool TForm1::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  // The first native window is attached by FormCreate; one made anew is
  // attached here (none, while the widget is being destroyed, is not).
  if (event->type() == QEvent::WinIdChange && nativeWindowAttached_ && internalWinId() != 0)
    AttachNativeWindow();
  return handled;
}

bool TForm1::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  if (message != nullptr && eventType == kGenericMessage) {
    const MSG& msg = *static_cast<const MSG*>(message);
    const bool taken = tarvik::win32::TakeDeviceChange(
        msg.message, msg.wParam, msg.lParam,
        [this](std::uint32_t code, const std::uint8_t* record, std::size_t size) {
          WMDeviceChange(code, record, size);
        });
    if (taken) {
      // Answered with 0 and not handed on to the default window procedure.
      if (result != nullptr) *result = 0;
      return true;
    }
  }
  return QWidget::nativeEvent(eventType, message, result);
}
