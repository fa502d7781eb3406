// Connecting and letting go over and over, with the real layers (scenario
// "bridge"): every descriptor a connection opens, port or udev, is closed.
#include <QPushButton>

#include "testbed_control.h"
#include "wizard_fixture.h"

namespace tarvik::e2e {
namespace {

class ConnectCycles : public WizardOnRealLayers {
 protected:
  std::map<std::string, bool> ScenarioAdapters() const override {
    return {{"bridge", true}, {"other", true}};
  }
};

TEST_F(ConnectCycles, AThousandConnectsAndClosesLeaveNoDescriptorOpen) {
  // Once first, so that whatever is set up on first use is in the count.
  form().ConnectPort(kBridgePort);
  ASSERT_TRUE(form().FSynced);
  form().ClosePort();
  const int before = OpenDescriptorCount();
  ASSERT_GT(before, 0);

  for (int i = 0; i < 1000; ++i) {
    form().ConnectPort(kBridgePort);
    ASSERT_TRUE(form().FSynced) << "cycle " << i;
    // Every other cycle connects again over the open port, which closes it first.
    if (i % 2 == 1) {
      form().ConnectPort(kBridgePort);
      ASSERT_TRUE(form().FSynced) << "cycle " << i << ", again";
    }
    form().ClosePort();
  }
  EXPECT_EQ(OpenDescriptorCount(), before);

  // The Connect button: the search by name (a udev snapshot), connect, Get;
  // Back and Next return to a page where Connect is enabled again.
  GoToConnectionPage();
  for (int i = 0; i < 100; ++i) {
    Click(ui->btnConnect);
    ASSERT_TRUE(form().FSynced) << "click " << i;
    Click(ui->btnBACK);
    Click(ui->btnNEXT);
  }
  form().ClosePort();
  EXPECT_EQ(OpenDescriptorCount(), before);
}

}  // namespace
}  // namespace tarvik::e2e
