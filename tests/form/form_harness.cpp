#include "tests/form/form_harness.h"

#include <gtest/gtest.h>

#include "device_link/device_broadcast.h"

namespace tarvik::testing {

void DirectNotifications::Send(std::uint32_t eventCode, const std::string& devicePath) {
  const BroadcastRecord record = BuildBroadcastRecord(kDbtDevtypDeviceInterface, devicePath);
  if (handler_) handler_(eventCode, record.data(), record.size());
}

FormHarness::FormHarness(WelcomeFileLoad welcome) {
  serial.ports.clear();  // no port opens until a test plugs the bridge in
  view.welcomeLoad = std::move(welcome);
  form = std::make_unique<TForm1>(view, serial, devices, &notifications);
  view.form = form.get();
}

FormHarness::~FormHarness() {
  view.form = nullptr;
  form.reset();
  bootloader.reset();
}

void FormHarness::PlugInBridge() {
  serial.ports = {"COM3"};
  devices.devices = {FakeDevice{std::string(kBridgeName), std::string("CP2102")}};
  if (!bootloader) bootloader = std::make_unique<FakeBootloader>(serial);
}

void FormHarness::GoTo(int page, bool synced) {
  view.activePage = page;
  form->FSynced = synced;
  form->UpdateButtons();
}

void FormHarness::Click(form::Id button) {
  const RecordingFormView::State& state = view[button];
  ASSERT_TRUE(state.visible && state.enabled) << form::Describe(button).name;
  switch (button) {
    case form::Id::btnNEXT: form->btnNEXTClick(); break;
    case form::Id::btnBACK: form->btnBACKClick(); break;
    case form::Id::btnESC: form->btnESCClick(); break;
    case form::Id::btnConnect: form->btnConnectClick(); break;
    default: FAIL() << "not a button: " << form::Describe(button).name;
  }
}

}  // namespace tarvik::testing
