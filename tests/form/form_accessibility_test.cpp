// What the form tells a screen reader: the names of its controls, what is
// said when an indicator appears, the text of each page.
#include <gtest/gtest.h>

#include <string>

#include "Update_Main/form_description.h"

namespace tarvik::testing {
namespace {

using form::Id;

TEST(FormAccessibility, NamesAreTheTextsWithTheLinesOfAListJoined) {
  const struct {
    Id id;
    const char* name;
  } rows[] = {
      // A blank line (or one of blanks) ends a paragraph; trailing blanks go.
      {Id::ListBox3,
       "Программа обновления встроенного программного обеспечения изделия GPS Tarvik\n"
       "версия: v.1.3.1 дата: 17.07.2011"},
      {Id::ListWriteOK, "Обновление успешно завершено! Нажмите кнопку \"Далее\"."},
      {Id::lbNotConnected, "НЕ УСТАНОВЛЕНО"},
      // What shows no text is named for what it is.
      {Id::Image6, "GPS Tarvik"},
      {Id::BarWrite, "Загрузка"},
      {Id::BarVerify, "Проверка"},
      {Id::txtConnOK, "успешно"},
      {Id::txtConnFail, "ошибка"},
      {Id::Panel1, ""},
  };
  for (const auto& row : rows)
    EXPECT_EQ(form::AccessibleName(row.id), row.name) << form::Describe(row.id).name;
}

TEST(FormAccessibility, TheResultsAndTheHeadingsAreSaidWhenTheyAppear) {
  const struct {
    Id id;
    std::string said;
  } rows[] = {
      {Id::lbConnected, "СОЕДИНЕНИЕ: УСТАНОВЛЕНО"},
      // The status word gets a full stop before the advice.
      {Id::lbNotConnected, "СОЕДИНЕНИЕ: НЕ УСТАНОВЛЕНО. " + form::AccessibleName(Id::ListBox6)},
      {Id::lbWrite, "ЗАГРУЗКА:"},
      {Id::lbVerify, "ПРОВЕРКА:"},
      {Id::ListWriteOK, "Обновление успешно завершено! Нажмите кнопку \"Далее\"."},
      {Id::ListWriteFail,
       "ОШИБКА!!! В случае ошибки, повторите процедуру заново. Если ошибка не пропадает, "
       "обратитесь к поставщику."},
  };
  int announcing = 0;
  for (const form::ControlDescription& c : form::Controls())
    announcing += !form::AnnouncementOnShow(c.id).empty();
  EXPECT_EQ(announcing, static_cast<int>(std::size(rows)));
  for (const auto& row : rows)
    EXPECT_EQ(form::AnnouncementOnShow(row.id), row.said) << form::Describe(row.id).name;
}

TEST(FormAccessibility, APageIsItsLabelsAndListsThatShowFromTheStart) {
  EXPECT_EQ(form::PageText(1), "");
  EXPECT_EQ(form::PageText(2), form::AccessibleName(Id::ListBox1));
  EXPECT_EQ(form::PageText(3), "СОЕДИНЕНИЕ: " + form::AccessibleName(Id::ListBox6) + " " +
                                   form::AccessibleName(Id::ListBox2));
  EXPECT_EQ(form::PageText(4), "");
  EXPECT_EQ(form::PageText(5), form::AccessibleName(Id::ListBox4));
}

}  // namespace
}  // namespace tarvik::testing
