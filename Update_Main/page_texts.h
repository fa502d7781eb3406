#pragma once
// The multi-line texts of the wizard, one entry per line, exactly as the
// lists show them (trailing blanks and empty lines included).
#include <QStringList>

namespace tarvik::ui {

QStringList SidePanelLines();        // ListBox3
QStringList BuiltInWelcomeLines();   // RichEdit1 without "text.rtf"
QStringList PreparationLines();      // ListBox1, page 2
QStringList CheckConnectionLines();  // ListBox6, page 3
QStringList KeepSettingsLines();     // ListBox2, page 3
QStringList UpdateSucceededLines();  // ListWriteOK, page 4
QStringList UpdateFailedLines();     // ListWriteFail, page 4
QStringList FinishLines();           // ListBox4, page 5

}  // namespace tarvik::ui
