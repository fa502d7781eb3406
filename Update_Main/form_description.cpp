// The form as designed. Places and sizes are pixels at 96 dpi; the texts
// are exactly as the controls show them, trailing blanks and empty lines
// included.
#include "form_description.h"

#include <array>

namespace tarvik::form {
namespace {

constexpr const char* kSidePanelLines[] = {
  "Программа обновления",
  "встроенного программного",
  "обеспечения изделия",
  "GPS Tarvik",
  "",
  "версия: v." TARVIK_VERSION,
  "дата: " TARVIK_RELEASE_DATE,
  "",
};

constexpr const char* kBuiltInWelcomeLines[] = {
  "Спасибо за Выбор! ",
  "GPS Tarvik - с нами безопасно!",
  "Данная программа обновит программное ",
  "обеспечение. Во время обновления ",
  "категорически запрещается отсоединять ",
  "разъемы и нажимать на Тревожную кнопку во ",
  "избежание записи ошибочных данных. ",
  "ВНИМАНИЕ! Для работы данной программы ",
  "необходимо установить драйвер виртуального ",
  "СОМ порта фирмы Silicon Laboratories.",  // "СОМ" in Cyrillic letters
  "Файл CP210x_VCP_Win_XP_S2K3_Vista_7.exe ",
  "находится в архиве, и также доступен по ссылке  ",
  "http://www.silabs.com/Support%20Documents/",
  "Software/",
  "CP210x_VCP_Win_XP_S2K3_Vista_7.exe",
  "",
  "Если драйвер еще не установлен, установите ",
  "его.",
};

constexpr const char* kPreparationLines[] = {
  "1. Снимите верхнюю крышку с устройства GPS ",
  "Tarvik",
  "",
  "2. Удалите батарейки ",
  "",
  "3. Подключите GPS Tarvik к модулю подачи ",
  "внешнего питания",
  "",
  "4. Подключите модуль внешнего питания с ",
  "помощью кабеля USB к ",
  "персональному компьютеру",
  "",
  "Если все сделано правильно, то после ",
  "подключения на устройстве ",
  "загорится светодиод (постоянное горение).",
  " ",
  "Для продолжения нажмите кнопку \"Далее\"",
  "",
};

constexpr const char* kCheckConnectionLines[] = {
  "Проверьте правильность соединений и ",
  "нажмите кнопку \"Соединение\".",
};

constexpr const char* kKeepSettingsLines[] = {
  "Для сохранения пользовательских настроек, ",
  "таких как:",
  "- режим работы",
  "- номер владельца",
  "- пароль",
  "и т.д. установите флажок. В противном случае ",
  "после обновления все настройки будут ",
  "установлены в соответствии с заводскими.",
  "",
};

constexpr const char* kUpdateSucceededLines[] = {
  "Обновление успешно завершено! ",
  "Нажмите кнопку \"Далее\".",
  "",
};

constexpr const char* kUpdateFailedLines[] = {
  "В случае ошибки, повторите ",
  "процедуру заново. Если ошибка не ",
  "пропадает, обратитесь к поставщику.",
};

constexpr const char* kFinishLines[] = {
  "ПОЗДРАВЛЯЕМ!",
  "",
  "Теперь в устройство загружена обновленная ",
  "версия программного обеспечения.",
  "",
  "Мы постоянно работаем над улучшением ",
  "программного обеспечения, делая работу ",
  "устройства GPS Tarvik более надежной, ",
  "дополняя и улучшая функционал!",
  "Спасибо, что используете GPS Tarvik.",
  "",
};

constexpr Font kDefault = kDefaultFont;
constexpr Font kList{13, true};      // the bold 10-pt texts of the pages
constexpr Font kHeading{19, true};   // "СОЕДИНЕНИЕ:", "ЗАГРУЗКА:", "ПРОВЕРКА:"
constexpr Font kStatus{16, true};    // the coloured status words
constexpr Font kGlyphFont{kGlyphPixelHeight, false};
constexpr std::span<const char* const> kNoLines{};

struct Row {
  Id id;
  std::string_view name;
  Kind kind;
  Id parent;
  Rect rect;
  Font font = kDefault;
  Colour colour = Colour::Text;
  Align align = Align::Left;
  Glyph glyph = Glyph::None;
  std::string_view text = {};
  std::span<const char* const> lines = kNoLines;
  bool shown = true;
  bool checked = false;
  std::string_view accessibleName = {};
};

constexpr ControlDescription Make(const Row& r) {
  return {r.id,    r.name,  r.kind,  r.parent, r.rect,  r.font,    r.colour,
          r.align, r.glyph, r.text,  r.lines,  r.shown, r.checked, r.accessibleName};
}

// What the glyphs mean, for a screen reader.
constexpr std::string_view kSucceeded = "успешно";
constexpr std::string_view kFailed = "ошибка";

// clang-format off
constexpr std::array kControls = {
  // The window, its own controls in stacking order, each page's after it.
  Make({.id = Id::Form1, .name = "Form1", .kind = Kind::Window, .parent = Id::Form1,
        .rect = {kScreenLeft, kScreenTop, kClientWidth, kClientHeight}, .text = kCaption}),
  Make({.id = Id::Image6, .name = "Image6", .kind = Kind::Picture, .parent = Id::Form1,
        .rect = {16, 40, 153, 89}, .accessibleName = "GPS Tarvik"}),
  Make({.id = Id::PageControl1, .name = "PageControl1", .kind = Kind::PageContainer,
        .parent = Id::Form1, .rect = {192, 0, 417, 348}}),

  // Page 1, welcome.
  Make({.id = Id::TabSheet1, .name = "TabSheet1", .kind = Kind::Page, .parent = Id::PageControl1,
        .rect = {0, 0, 0, 0}}),
  Make({.id = Id::RichEdit1, .name = "RichEdit1", .kind = Kind::RichText, .parent = Id::TabSheet1,
        .rect = {0, 16, 401, 289}, .font = {17, false}, .lines = kBuiltInWelcomeLines}),

  // Page 2, preparation.
  Make({.id = Id::TabSheet2, .name = "TabSheet2", .kind = Kind::Page, .parent = Id::PageControl1,
        .rect = {0, 0, 0, 0}}),
  Make({.id = Id::ListBox1, .name = "ListBox1", .kind = Kind::TextList, .parent = Id::TabSheet2,
        .rect = {0, 16, 377, 289}, .font = kList, .lines = kPreparationLines}),

  // Page 3, connection. Both status words end at x = 383, whichever shows.
  Make({.id = Id::TabSheet3, .name = "TabSheet3", .kind = Kind::Page, .parent = Id::PageControl1,
        .rect = {0, 0, 0, 0}}),
  Make({.id = Id::Label1, .name = "Label1", .kind = Kind::Label, .parent = Id::TabSheet3,
        .rect = {8, 16, 150, 24}, .font = kHeading, .text = "СОЕДИНЕНИЕ:"}),
  Make({.id = Id::lbConnected, .name = "lbConnected", .kind = Kind::Label, .parent = Id::TabSheet3,
        .rect = {248, 24, 135, 20}, .font = kStatus, .colour = Colour::Green, .align = Align::Right,
        .text = "УСТАНОВЛЕНО", .shown = false}),
  Make({.id = Id::lbNotConnected, .name = "lbNotConnected", .kind = Kind::Label,
        .parent = Id::TabSheet3, .rect = {218, 24, 165, 20}, .font = kStatus, .colour = Colour::Red,
        .align = Align::Right, .text = "НЕ УСТАНОВЛЕНО", .shown = false}),
  Make({.id = Id::ListBox6, .name = "ListBox6", .kind = Kind::TextList, .parent = Id::TabSheet3,
        .rect = {8, 40, 209, 33}, .lines = kCheckConnectionLines}),
  Make({.id = Id::txtConnFail, .name = "txtConnFail", .kind = Kind::Glyph, .parent = Id::TabSheet3,
        .rect = {232, 40, 45, 75}, .font = kGlyphFont, .colour = Colour::Red, .glyph = Glyph::Cross,
        .shown = false, .accessibleName = kFailed}),
  Make({.id = Id::txtConnOK, .name = "txtConnOK", .kind = Kind::Glyph, .parent = Id::TabSheet3,
        .rect = {312, 40, 54, 75}, .font = kGlyphFont, .colour = Colour::Green, .glyph = Glyph::Check,
        .shown = false, .accessibleName = kSucceeded}),
  Make({.id = Id::btnConnect, .name = "btnConnect", .kind = Kind::Button, .parent = Id::TabSheet3,
        .rect = {8, 80, 89, 25}, .text = "Соединение"}),
  Make({.id = Id::ListBox2, .name = "ListBox2", .kind = Kind::TextList, .parent = Id::TabSheet3,
        .rect = {0, 120, 377, 153}, .font = kList, .lines = kKeepSettingsLines}),
  Make({.id = Id::cbKeepUser, .name = "cbKeepUser", .kind = Kind::CheckBox, .parent = Id::TabSheet3,
        .rect = {0, 280, 377, 33}, .font = {16, false},
        .text = "Сохранить пользовательские настройки", .checked = true}),

  // Page 4, loading and verification: nothing shows until an update starts.
  // Each phase's three status words share one spot, ending at x = 391.
  Make({.id = Id::TabSheet4, .name = "TabSheet4", .kind = Kind::Page, .parent = Id::PageControl1,
        .rect = {0, 0, 0, 0}}),
  Make({.id = Id::lbWrite, .name = "lbWrite", .kind = Kind::Label, .parent = Id::TabSheet4,
        .rect = {0, 16, 114, 24}, .font = kHeading, .text = "ЗАГРУЗКА:", .shown = false}),
  Make({.id = Id::BarWrite, .name = "BarWrite", .kind = Kind::ProgressBar, .parent = Id::TabSheet4,
        .rect = {0, 48, 273, 17}, .shown = false, .accessibleName = "Загрузка"}),
  Make({.id = Id::lbWriteOn, .name = "lbWriteOn", .kind = Kind::Label, .parent = Id::TabSheet4,
        .rect = {326, 48, 65, 20}, .font = kStatus, .colour = Colour::Olive, .align = Align::Right,
        .text = "ОБМЕН", .shown = false}),
  Make({.id = Id::lbWriteOK, .name = "lbWriteOK", .kind = Kind::Label, .parent = Id::TabSheet4,
        .rect = {366, 48, 25, 20}, .font = kStatus, .colour = Colour::Green, .align = Align::Right,
        .text = "ОК", .shown = false}),  // Cyrillic letters
  Make({.id = Id::lbWriteErr, .name = "lbWriteErr", .kind = Kind::Label, .parent = Id::TabSheet4,
        .rect = {301, 48, 90, 20}, .font = kStatus, .colour = Colour::Red, .align = Align::Right,
        .text = "ОШИБКА!!!", .shown = false}),
  Make({.id = Id::lbVerify, .name = "lbVerify", .kind = Kind::Label, .parent = Id::TabSheet4,
        .rect = {0, 88, 117, 24}, .font = kHeading, .text = "ПРОВЕРКА:", .shown = false}),
  Make({.id = Id::BarVerify, .name = "BarVerify", .kind = Kind::ProgressBar, .parent = Id::TabSheet4,
        .rect = {0, 120, 273, 17}, .shown = false, .accessibleName = "Проверка"}),
  Make({.id = Id::lbVerifyOn, .name = "lbVerifyOn", .kind = Kind::Label, .parent = Id::TabSheet4,
        .rect = {326, 120, 65, 20}, .font = kStatus, .colour = Colour::Olive, .align = Align::Right,
        .text = "ОБМЕН", .shown = false}),
  Make({.id = Id::lbVerifyOK, .name = "lbVerifyOK", .kind = Kind::Label, .parent = Id::TabSheet4,
        .rect = {366, 120, 25, 20}, .font = kStatus, .colour = Colour::Green, .align = Align::Right,
        .text = "ОК", .shown = false}),  // Cyrillic letters
  Make({.id = Id::lbVerifyErr, .name = "lbVerifyErr", .kind = Kind::Label, .parent = Id::TabSheet4,
        .rect = {301, 120, 90, 20}, .font = kStatus, .colour = Colour::Red, .align = Align::Right,
        .text = "ОШИБКА!!!", .shown = false}),
  Make({.id = Id::txtWriteOK, .name = "txtWriteOK", .kind = Kind::Glyph, .parent = Id::TabSheet4,
        .rect = {8, 184, 54, 75}, .font = kGlyphFont, .colour = Colour::Green, .glyph = Glyph::Check,
        .shown = false, .accessibleName = kSucceeded}),
  Make({.id = Id::txtWriteFail, .name = "txtWriteFail", .kind = Kind::Glyph, .parent = Id::TabSheet4,
        .rect = {8, 192, 45, 75}, .font = kGlyphFont, .colour = Colour::Red, .glyph = Glyph::Cross,
        .shown = false, .accessibleName = kFailed}),
  Make({.id = Id::ListWriteOK, .name = "ListWriteOK", .kind = Kind::TextList, .parent = Id::TabSheet4,
        .rect = {64, 192, 281, 49}, .font = kList, .lines = kUpdateSucceededLines, .shown = false}),
  Make({.id = Id::ListWriteFail, .name = "ListWriteFail", .kind = Kind::TextList,
        .parent = Id::TabSheet4, .rect = {64, 208, 281, 49}, .font = kList,
        .lines = kUpdateFailedLines, .shown = false}),

  // Page 5, finish.
  Make({.id = Id::TabSheet5, .name = "TabSheet5", .kind = Kind::Page, .parent = Id::PageControl1,
        .rect = {0, 0, 0, 0}}),
  Make({.id = Id::ListBox4, .name = "ListBox4", .kind = Kind::TextList, .parent = Id::TabSheet5,
        .rect = {0, 32, 377, 241}, .font = kList, .lines = kFinishLines}),

  // The rest of the window. Next sits one pixel above the other two buttons.
  Make({.id = Id::ListBox3, .name = "ListBox3", .kind = Kind::TextList, .parent = Id::Form1,
        .rect = {16, 168, 153, 193}, .lines = kSidePanelLines}),
  Make({.id = Id::btnESC, .name = "btnESC", .kind = Kind::Button, .parent = Id::Form1,
        .rect = {200, 360, 89, 25}, .text = "Отмена"}),
  Make({.id = Id::btnBACK, .name = "btnBACK", .kind = Kind::Button, .parent = Id::Form1,
        .rect = {344, 360, 89, 25}, .text = "Назад"}),
  Make({.id = Id::btnNEXT, .name = "btnNEXT", .kind = Kind::Button, .parent = Id::Form1,
        .rect = {488, 359, 89, 25}, .text = "Далее"}),
  // Covers the left end of the page container's tab row, where page 1's tab lies.
  Make({.id = Id::Panel1, .name = "Panel1", .kind = Kind::Panel, .parent = Id::Form1,
        .rect = {104, 0, 177, 33}}),
  Make({.id = Id::StatusBar1, .name = "StatusBar1", .kind = Kind::StatusBar, .parent = Id::Form1,
        .rect = {0, kClientHeight - 17, kClientWidth, 17}}),
};
// clang-format on

constexpr bool InIdOrder() {
  for (std::size_t i = 0; i < kControls.size(); ++i)
    if (static_cast<std::size_t>(kControls[i].id) != i) return false;
  return kControls.size() == static_cast<std::size_t>(kControlCount);
}
static_assert(InIdOrder(), "the table lists every control once, in the order of Id");

// What is said when a control appears: the texts of these controls, in this
// order (Form1 fills the row). The status words come with their heading, a
// failure with what the owner can do about it.
struct AnnouncementRow {
  Id shown;
  std::array<Id, 3> parts;
};
constexpr AnnouncementRow kAnnouncements[] = {
  {Id::lbConnected, {Id::Label1, Id::lbConnected}},
  {Id::lbNotConnected, {Id::Label1, Id::lbNotConnected, Id::ListBox6}},
  {Id::lbWrite, {Id::lbWrite}},
  {Id::lbVerify, {Id::lbVerify}},
  {Id::ListWriteOK, {Id::ListWriteOK}},
  // Both phases' failures read "ОШИБКА!!!".
  {Id::ListWriteFail, {Id::lbWriteErr, Id::ListWriteFail}},
};

std::string_view TrimTrailingBlanks(std::string_view line) {
  const std::size_t end = line.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : line.substr(0, end + 1);
}

std::string JoinLines(std::span<const char* const> lines) {
  std::string text;
  bool paragraphEnded = false;
  for (const char* raw : lines) {
    const std::string_view line = TrimTrailingBlanks(raw);
    if (line.empty()) {
      paragraphEnded = !text.empty();
      continue;
    }
    if (!text.empty()) text += paragraphEnded ? '\n' : ' ';
    text += line;
    paragraphEnded = false;
  }
  return text;
}

// One text after another; a sentence that has no mark of its own ends with
// a full stop, so that a screen reader pauses there.
void Append(std::string& text, std::string_view part) {
  if (part.empty()) return;
  if (!text.empty()) {
    if (std::string_view(":.!?").find(text.back()) == std::string_view::npos) text += '.';
    text += ' ';
  }
  text += part;
}

}  // namespace

Rgb ColourValue(Colour colour) {
  switch (colour) {
    case Colour::Green: return {0, 128, 0};
    case Colour::Red: return {255, 0, 0};
    case Colour::Olive: return {128, 128, 0};
    case Colour::Text: break;
  }
  return {0, 0, 0};
}

std::span<const ControlDescription> Controls() { return kControls; }

const ControlDescription& Describe(Id id) { return kControls[static_cast<std::size_t>(id)]; }

Id PageId(int page) {
  switch (page) {
    case 1: return Id::TabSheet1;
    case 2: return Id::TabSheet2;
    case 3: return Id::TabSheet3;
    case 4: return Id::TabSheet4;
    default: return Id::TabSheet5;
  }
}

int PageNumber(Id id) {
  switch (id) {
    case Id::TabSheet1: return 1;
    case Id::TabSheet2: return 2;
    case Id::TabSheet3: return 3;
    case Id::TabSheet4: return 4;
    case Id::TabSheet5: return 5;
    default: return 0;
  }
}

std::span<const char* const> BuiltInWelcomeLines() { return kBuiltInWelcomeLines; }

std::string AccessibleName(Id id) {
  const ControlDescription& c = Describe(id);
  if (!c.accessibleName.empty()) return std::string(c.accessibleName);
  if (c.kind == Kind::TextList) return JoinLines(c.lines);
  return std::string(TrimTrailingBlanks(c.text));
}

std::string AnnouncementOnShow(Id id) {
  std::string text;
  for (const AnnouncementRow& row : kAnnouncements) {
    if (row.shown != id) continue;
    for (Id part : row.parts)
      if (part != Id::Form1) Append(text, AccessibleName(part));
  }
  return text;
}

std::string PageText(int page) {
  const Id pageId = PageId(page);
  std::string text;
  for (const ControlDescription& c : kControls) {
    if (c.parent != pageId || !c.shownAtStart) continue;
    if (c.kind == Kind::Label || c.kind == Kind::TextList) Append(text, AccessibleName(c.id));
  }
  return text;
}

}  // namespace tarvik::form
