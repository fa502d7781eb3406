// The update: program memory written block by block, read back and
// compared, then data memory written with or without the user's settings.
#include "device_link/transfer_buffers.h"
#include "firmware/firmware_image.h"
#include "update_engine/updater.h"

namespace tarvik {
namespace {

// Percent after a program-memory block, FAddress already past it. Unsigned
// 32-bit with truncation and no clamp: the divisor is FEndAddress - kFlashStart
// (29,219), so the bar reads 0, 0, 1, 1, 2, ... and exactly 100 at the end.
int Progress(std::uint32_t address, std::uint32_t endAddress) {
  const std::uint32_t value = ((address - kFlashStart + 1) * 100u) / (endAddress - kFlashStart);
  return static_cast<int>(value);
}

}  // namespace

void Updater::ShowWriteError(UpdaterView& view) {
  FStage = kStageNone;
  view.SetVisible(Control::lbWriteOn, false);
  view.SetVisible(Control::lbWriteOK, false);
  view.SetVisible(Control::lbWriteErr, true);
  view.SetVisible(Control::txtWriteFail, true);
  view.SetVisible(Control::ListWriteFail, true);
}

void Updater::RunUpdate(UpdaterView& view) {
  if (!FSynced) return;

  view.SetEnabled(Control::btnBACK, false);
  view.SetEnabled(Control::btnNEXT, false);
  view.SetVisible(Control::lbWrite, true);
  view.SetBarPosition(Control::BarWrite, 0);
  view.SetVisible(Control::BarWrite, true);
  view.SetVisible(Control::lbWriteOn, true);
  FStage = kStageWriteFlash;
  FAddress = kFlashStart;
  FEndAddress = kFlashLast;
  // A block's exchange takes about 160 ms at 9600 baud: the window answers
  // screen readers, keys and Cancel also while it waits for the tracker,
  // not only between blocks.
  SetWaitHook([&view] { view.ProcessMessages(); });

  while (FAddress <= FEndAddress) {
    const bool ok = BootWriteBlock(FAddress);
    FAddress += FBlockSize;
    if (!ok) {
      ShowWriteError(view);
      break;
    }
    view.SetBarPosition(Control::BarWrite, Progress(FAddress, FEndAddress));
    view.ProcessMessages();
  }

  if (FAddress > FEndAddress && FStage == kStageWriteFlash) {
    FStage = kStageVerify;
    FAddress = kFlashStart;
    view.SetVisible(Control::lbWriteOn, false);
    view.SetVisible(Control::lbWriteOK, true);
    view.SetVisible(Control::lbVerify, true);
    view.SetBarPosition(Control::BarVerify, 0);
    view.SetVisible(Control::BarVerify, true);
    view.SetVisible(Control::lbVerifyOn, true);
    while (FAddress <= FEndAddress) {
      bool ok = BootReadBlock(FAddress);
      // Only the image counts: the 92 bytes after kFlashLast in the last block
      // were written as zeros but are not part of the firmware.
      for (std::uint32_t i = 0; ok && i < FBlockSize; ++i) {
        if (RxBuf[1 + i] != FirmwareImage[FAddress + i] && FAddress + i <= FEndAddress)
          ok = false;
      }
      FAddress += FBlockSize;
      if (!ok) {
        FStage = kStageNone;
        view.SetVisible(Control::lbVerifyOn, false);
        view.SetVisible(Control::lbVerifyErr, true);
        view.SetVisible(Control::txtWriteFail, true);
        view.SetVisible(Control::ListWriteFail, true);
        break;
      }
      view.SetBarPosition(Control::BarVerify, Progress(FAddress, FEndAddress));
      view.ProcessMessages();
    }
  }

  // The data-memory phase lets no message through, not even while it waits.
  SetWaitHook(nullptr);

  if (FAddress > FEndAddress && FStage == kStageVerify) {
    view.SetVisible(Control::lbVerifyOn, false);
    view.SetVisible(Control::lbVerifyOK, true);
    FAddress = view.KeepUserSettings() ? kEepromKeepUserStart : kEepromStart;
    FStage = kStageWriteEeprom;
  }

  if (FStage == kStageWriteEeprom) {
    // At most 8 blocks, and no window messages in between.
    bool failed = false;
    while (FAddress <= kEepromLast) {
      const bool ok = BootWriteBlock(FAddress);
      FAddress += FBlockSize;
      if (!ok) {
        ShowWriteError(view);
        failed = true;
        break;
      }
    }
    if (!failed) FStage = kStageDone;
  }

  if (FStage == kStageDone) {
    view.SetVisible(Control::txtWriteOK, true);
    view.SetVisible(Control::ListWriteOK, true);
  }

  // Back leads to the connection page to try again. Next leads to the page
  // that congratulates the owner, so it is offered only when the tracker
  // holds the new firmware; after a failure it holds none that works.
  view.SetEnabled(Control::btnBACK, true);
  view.SetEnabled(Control::btnNEXT, FStage == kStageDone);
}

}  // namespace tarvik
