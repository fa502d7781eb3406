#pragma once
// The Qt window's widgets by the names of the form's controls, typed, for
// the tests that look at what the window draws.
#include "form_window.h"

class QCheckBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTextEdit;

namespace tarvik::ui {
class GlyphLabel;
class PageContainer;
class TextList;
}  // namespace tarvik::ui

namespace tarvik::testing {

// The window's widgets by the names of the form's controls.
struct Widgets {
  explicit Widgets(const ui::FormWindow& window);

  QLabel* Image6;
  ui::PageContainer* PageControl1;
  QTextEdit* RichEdit1;
  ui::TextList* ListBox1;
  QLabel* Label1;
  QLabel* lbConnected;
  QLabel* lbNotConnected;
  ui::TextList* ListBox6;
  ui::GlyphLabel* txtConnFail;
  ui::GlyphLabel* txtConnOK;
  QPushButton* btnConnect;
  ui::TextList* ListBox2;
  QCheckBox* cbKeepUser;
  QLabel* lbWrite;
  QProgressBar* BarWrite;
  QLabel* lbWriteOn;
  QLabel* lbWriteOK;
  QLabel* lbWriteErr;
  QLabel* lbVerify;
  QProgressBar* BarVerify;
  QLabel* lbVerifyOn;
  QLabel* lbVerifyOK;
  QLabel* lbVerifyErr;
  ui::GlyphLabel* txtWriteOK;
  ui::GlyphLabel* txtWriteFail;
  ui::TextList* ListWriteOK;
  ui::TextList* ListWriteFail;
  ui::TextList* ListBox4;
  ui::TextList* ListBox3;
  QPushButton* btnESC;
  QPushButton* btnBACK;
  QPushButton* btnNEXT;
  QFrame* Panel1;
  QStatusBar* StatusBar1;
};

}  // namespace tarvik::testing
