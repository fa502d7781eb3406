#include "error_box.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <string>

#include "Update_Main/welcome_messages.h"

namespace tarvik::ui {

void ShowErrorBox(std::string_view utf8) {
  const std::string title = ApplicationTitle(QCoreApplication::applicationFilePath().toStdString());
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(title),
                  QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())),
                  QMessageBox::Ok);
  box.exec();
}

}  // namespace tarvik::ui
