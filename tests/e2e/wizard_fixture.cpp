#include "wizard_fixture.h"

#include <sys/stat.h>

#include <cstdlib>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "device_link/port_names.h"
#include "glyph_label.h"
#include "page_container.h"
#include "testbed_control.h"

namespace tarvik::e2e {

void WizardOnRealLayers::SetUp() {
  if (!InTestbed()) GTEST_SKIP() << "runs inside tests/umockdev/run_in_testbed.py (see CMakeLists.txt)";
  plugged_ = ScenarioAdapters();
  window = std::make_unique<ui::FormWindow>(serial, devices, &notifications);
  ui = std::make_unique<testing::Widgets>(*window);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
}

void WizardOnRealLayers::TearDown() {
  ui.reset();
  window.reset();
  // Back to the scenario's adapters, so that the next test finds them so.
  if (!InTestbed()) return;
  for (const auto& [adapter, wanted] : ScenarioAdapters()) {
    const bool now = plugged_[adapter];
    if (now && !wanted) {
      EXPECT_TRUE(Unplug(adapter)) << adapter;
    } else if (!now && wanted) {
      EXPECT_TRUE(Plug(adapter)) << adapter;
    }
  }
}

bool WizardOnRealLayers::Plug(const std::string& adapter) {
  const bool ok = Testbed("plug " + adapter);
  if (ok) plugged_[adapter] = true;
  return ok;
}

bool WizardOnRealLayers::Unplug(const std::string& adapter) {
  const bool ok = Testbed("unplug " + adapter);
  if (ok) plugged_[adapter] = false;
  return ok;
}

void WizardOnRealLayers::Click(QPushButton* button) {
  QTest::mouseClick(button, Qt::LeftButton);
}

void WizardOnRealLayers::GoToConnectionPage() {
  Click(ui->btnNEXT);
  Click(ui->btnNEXT);
  ASSERT_EQ(form().ActivePage(), 3);
}

void WizardOnRealLayers::ShowPage(int page) {
  ui->PageControl1->setCurrentIndex(page - 1);
  form().UpdateButtons();
}

bool WizardOnRealLayers::Visible(const QWidget* widget) const {
  // isHidden: the window's own verdict, whether or not its page is on top.
  return !widget->isHidden();
}

void WizardOnRealLayers::ExpectNotConnectedShown() {
  EXPECT_FALSE(Visible(ui->lbConnected));
  EXPECT_FALSE(Visible(ui->txtConnOK));
  EXPECT_TRUE(Visible(ui->lbNotConnected));
  EXPECT_EQ(ui->lbNotConnected->text(), QString::fromUtf8(kNotConnectedText));
  EXPECT_TRUE(Visible(ui->txtConnFail));
  EXPECT_FALSE(ui->btnNEXT->isEnabled());
  EXPECT_TRUE(ui->btnConnect->isEnabled());
}

bool WizardOnRealLayers::WaitConnected() {
  return RunLoopUntil([this] { return form().FPortOpen && form().FSynced; }, kActTimeoutMs);
}

bool WizardOnRealLayers::WaitPortClosed() {
  return RunLoopUntil([this] { return !form().FPortOpen; }, kActTimeoutMs);
}

std::optional<std::string> WizardOnRealLayers::NodeForPort(std::string_view name) const {
  return testbedNodesOnly_ ? TestbedNodeForPort(name) : DeviceNodeForPort(name);
}

std::optional<std::string> TestbedNodeForPort(std::string_view name) {
  std::optional<std::string> node = DeviceNodeForPort(name);
  const char* root = std::getenv("UMOCKDEV_DIR");
  if (!node || root == nullptr) return std::nullopt;
  // The testbed's directory itself is not redirected by the preload.
  struct stat st {};
  if (lstat((std::string(root) + *node).c_str(), &st) != 0) return std::nullopt;
  return node;
}

}  // namespace tarvik::e2e
