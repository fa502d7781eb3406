#include "tests/window/widgets.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>

#include "glyph_label.h"
#include "page_container.h"
#include "text_list.h"

namespace tarvik::testing {

Widgets::Widgets(const ui::FormWindow& w)
    : Image6(w.WidgetAs<QLabel>(form::Id::Image6)),
      PageControl1(w.WidgetAs<ui::PageContainer>(form::Id::PageControl1)),
      RichEdit1(w.WidgetAs<QTextEdit>(form::Id::RichEdit1)),
      ListBox1(w.WidgetAs<ui::TextList>(form::Id::ListBox1)),
      Label1(w.WidgetAs<QLabel>(form::Id::Label1)),
      lbConnected(w.WidgetAs<QLabel>(form::Id::lbConnected)),
      lbNotConnected(w.WidgetAs<QLabel>(form::Id::lbNotConnected)),
      ListBox6(w.WidgetAs<ui::TextList>(form::Id::ListBox6)),
      txtConnFail(w.WidgetAs<ui::GlyphLabel>(form::Id::txtConnFail)),
      txtConnOK(w.WidgetAs<ui::GlyphLabel>(form::Id::txtConnOK)),
      btnConnect(w.WidgetAs<QPushButton>(form::Id::btnConnect)),
      ListBox2(w.WidgetAs<ui::TextList>(form::Id::ListBox2)),
      cbKeepUser(w.WidgetAs<QCheckBox>(form::Id::cbKeepUser)),
      lbWrite(w.WidgetAs<QLabel>(form::Id::lbWrite)),
      BarWrite(w.WidgetAs<QProgressBar>(form::Id::BarWrite)),
      lbWriteOn(w.WidgetAs<QLabel>(form::Id::lbWriteOn)),
      lbWriteOK(w.WidgetAs<QLabel>(form::Id::lbWriteOK)),
      lbWriteErr(w.WidgetAs<QLabel>(form::Id::lbWriteErr)),
      lbVerify(w.WidgetAs<QLabel>(form::Id::lbVerify)),
      BarVerify(w.WidgetAs<QProgressBar>(form::Id::BarVerify)),
      lbVerifyOn(w.WidgetAs<QLabel>(form::Id::lbVerifyOn)),
      lbVerifyOK(w.WidgetAs<QLabel>(form::Id::lbVerifyOK)),
      lbVerifyErr(w.WidgetAs<QLabel>(form::Id::lbVerifyErr)),
      txtWriteOK(w.WidgetAs<ui::GlyphLabel>(form::Id::txtWriteOK)),
      txtWriteFail(w.WidgetAs<ui::GlyphLabel>(form::Id::txtWriteFail)),
      ListWriteOK(w.WidgetAs<ui::TextList>(form::Id::ListWriteOK)),
      ListWriteFail(w.WidgetAs<ui::TextList>(form::Id::ListWriteFail)),
      ListBox4(w.WidgetAs<ui::TextList>(form::Id::ListBox4)),
      ListBox3(w.WidgetAs<ui::TextList>(form::Id::ListBox3)),
      btnESC(w.WidgetAs<QPushButton>(form::Id::btnESC)),
      btnBACK(w.WidgetAs<QPushButton>(form::Id::btnBACK)),
      btnNEXT(w.WidgetAs<QPushButton>(form::Id::btnNEXT)),
      Panel1(w.WidgetAs<QFrame>(form::Id::Panel1)),
      StatusBar1(w.WidgetAs<QStatusBar>(form::Id::StatusBar1)) {}

}  // namespace tarvik::testing
