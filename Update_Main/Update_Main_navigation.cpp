// Moving through the pages: what Next, Back, Cancel and Connect do, and the
// one routine that sets the buttons for the page being shown.
#include <QLabel>
#include <QPushButton>

#include "Update_Main.h"
#include "glyph_label.h"
#include "page_container.h"

using tarvik::Control;

namespace {
const char* const kNextCaption = "Далее";
const char* const kFinishCaption = "OK";
}  // namespace

void TForm1::SetNextCaption(const QString& text) {
  btnNEXT->setText(text);
  btnNEXT->setEnabled(true);
}

void TForm1::UpdateButtons() {
  // Back and Cancel are only shown or hidden here, never enabled or disabled.
  switch (ActivePage()) {
    case 1:
      btnBACK->setVisible(false);
      btnESC->setVisible(true);
      SetNextCaption(QString::fromUtf8(kNextCaption));
      break;
    case 2:
    case 4:
      btnBACK->setVisible(true);
      btnESC->setVisible(true);
      SetNextCaption(QString::fromUtf8(kNextCaption));
      break;
    case 3:
      btnBACK->setVisible(true);
      btnESC->setVisible(true);
      btnNEXT->setText(QString::fromUtf8(kNextCaption));
      btnNEXT->setEnabled(FSynced);
      btnConnect->setEnabled(!FSynced);
      // Without sync the indicators keep whatever the last attempt showed.
      if (FSynced) {
        lbConnected->setVisible(true);
        txtConnOK->setVisible(true);
        lbNotConnected->setVisible(false);
        txtConnFail->setVisible(false);
      }
      break;
    case 5:
      btnBACK->setVisible(true);
      btnESC->setVisible(false);
      SetNextCaption(QString::fromUtf8(kFinishCaption));
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
      ShowPage(TabSheet5);
      break;
    case 5:
      close();
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
  close();
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
  if (!FSynced) {
    lbConnected->setVisible(false);
    lbNotConnected->setVisible(true);
    txtConnOK->setVisible(false);
    txtConnFail->setVisible(true);
  }
  UpdateButtons();
}
