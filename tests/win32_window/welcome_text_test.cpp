// "text.rtf" from the current directory into the welcome box: rich text as
// rich text, anything else as plain text, and the error box (read from the
// box itself) before the window when the file cannot be loaded.
#include <gtest/gtest.h>

#include "Update_Main/welcome_messages.h"
#include "window_harness.h"

#include <richedit.h>

#include "window_win32/error_box.h"
#include "window_win32/welcome_file.h"
#include "window_win32/wide_text.h"

namespace tarvik::testing {
namespace {

using form::Id;
using win32::Widen;

std::wstring BuiltInText() {
  std::wstring text;
  for (const char* line : form::BuiltInWelcomeLines()) {
    if (!text.empty()) text += L"\r";
    text += Widen(line);
  }
  return text;
}

// The welcome box's text as a screen reader gets it, paragraphs ended by "\r".
std::wstring WelcomeText(HWND box) {
  std::wstring text = TextOf(box);
  for (std::size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at))
    text.erase(at + 1, 1);
  return text;
}

CHARFORMAT2W FormatAt(HWND edit, LONG from, LONG to) {
  CHARRANGE range{from, to};
  ::SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  CHARFORMAT2W format{};
  format.cbSize = sizeof format;
  ::SendMessageW(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  return format;
}

struct Loaded {
  const char* what;
  std::string bytes;
  std::wstring text;
};

class WelcomeFileLoaded : public ::testing::TestWithParam<Loaded> {};

TEST_P(WelcomeFileLoaded, ShowsItsTextWithoutAnErrorBox) {
  ErrorBoxWatcher watcher;
  WindowHarness h(GetParam().bytes);
  EXPECT_FALSE(watcher.Finish()) << win32::Narrow(watcher.text);
  EXPECT_EQ(WelcomeText(h.Control(Id::RichEdit1)), GetParam().text);
}

std::string Utf16(const std::wstring& text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (wchar_t c : text) {
    const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, WelcomeFileLoaded,
    ::testing::Values(
        Loaded{"RichText",
               "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fcharset204 Arial;}}"
               "\\f0\\fs26 \\b \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2\\b0 , world\\par second\\par}",
               L"Привет, world\rsecond"},
        Loaded{"PlainUtf8", "Привет\r\nGPS Tarvik\n", L"Привет\rGPS Tarvik\r"},
        Loaded{"PlainCp1251", "\xcf\xf0\xe8\xe2\xe5\xf2 1251", L"Привет 1251"},
        Loaded{"Utf8WithMark", "\xEF\xBB\xBFok", L"ok"},
        Loaded{"Utf16LittleEndian", Utf16(L"Привет", false), L"Привет"},
        Loaded{"Utf16BigEndian", Utf16(L"Привет", true), L"Привет"},
        Loaded{"ZeroBytesDropped", std::string("a\0b", 3), L"ab"},
        Loaded{"RichTextCutShort", "{\\rtf1 cut", L"{\\rtf1 cut"},
        Loaded{"Empty", "", L""}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(WelcomeFile, RichTextKeepsItsFormattingAndPlainTextTakesTheBoxFont) {
  {
    WindowHarness h("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs40 big \\b bold\\par}");
    const CHARFORMAT2W bold = FormatAt(h.Control(Id::RichEdit1), 4, 8);
    EXPECT_TRUE(bold.dwEffects & CFE_BOLD);
    EXPECT_EQ(bold.yHeight, 400) << "20 pt, in twips";
  }
  {
    WindowHarness h("plain words");
    const CHARFORMAT2W plain = FormatAt(h.Control(Id::RichEdit1), 0, 5);
    EXPECT_FALSE(plain.dwEffects & CFE_BOLD);
    EXPECT_EQ(::MulDiv(plain.yHeight, 96, 1440), 17) << "17 pixels";
  }
}

std::wstring CannotOpen(const WelcomeDirectory& directory, DWORD error) {
  std::string reason = TrimSystemErrorText(win32::Narrow(win32::SystemErrorText(error)));
  return L"Cannot open file \"" + directory.WelcomePath() + L"\". " + Widen(ErrorBoxText(reason));
}

class WelcomeFileFailing : public ::testing::Test {
 protected:
  // A window made in a directory prepared by prepare.
  void Open(const std::function<void(WelcomeDirectory&)>& prepare) {
    prepare(directory);
    window = std::make_unique<win32::FormWindow>(serial, devices);
  }
  WelcomeDirectory directory;
  ErrorBoxWatcher watcher;
  FakeSerialApi serial;
  FakeDeviceInfoApi devices;
  std::unique_ptr<win32::FormWindow> window;
};

// The error box: its text, its caption (the application title), a stop
// icon and OK only, before the window; the built-in text stays and the
// set-up goes on.
TEST_F(WelcomeFileFailing, MissingShowsTheBoxBeforeTheWindowAndTheBuiltInText) {
  Open([](WelcomeDirectory&) {});
  ASSERT_TRUE(watcher.Finish());
  EXPECT_EQ(watcher.text, CannotOpen(directory, ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(watcher.caption, Widen(ApplicationTitle(win32::ProgramFilePath())));
  EXPECT_EQ(_wcsicmp(watcher.caption.c_str(), L"win32_window_tests"), 0);
  EXPECT_TRUE(watcher.stopIcon);
  EXPECT_TRUE(watcher.onlyOk);
  EXPECT_FALSE(watcher.formVisibleMeanwhile);
  EXPECT_EQ(WelcomeText(window->Control(Id::RichEdit1)), BuiltInText());
  EXPECT_EQ(window->ActivePage(), 1);
  EXPECT_TRUE(window->RegisteredForDeviceChanges());
}

TEST_F(WelcomeFileFailing, ADirectoryOfThatNameCannotBeOpened) {
  Open([](WelcomeDirectory& d) { ::CreateDirectoryW(d.WelcomePath().c_str(), nullptr); });
  ASSERT_TRUE(watcher.Finish());
  EXPECT_EQ(watcher.text, CannotOpen(directory, ERROR_ACCESS_DENIED));
}

TEST_F(WelcomeFileFailing, AFileSomebodyIsWritingCannotBeOpened) {
  HANDLE writer = INVALID_HANDLE_VALUE;
  Open([&](WelcomeDirectory& d) {
    d.Write("text.rtf", "being written");
    writer = ::CreateFileW(d.WelcomePath().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  });
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  ::CloseHandle(writer);
  ASSERT_TRUE(watcher.Finish());
  EXPECT_EQ(watcher.text, CannotOpen(directory, ERROR_SHARING_VIOLATION));
}

TEST_F(WelcomeFileFailing, AFileOverTheSizeLimitFailsToLoad) {
  Open([](WelcomeDirectory& d) {
    d.Write("text.rtf", std::string(static_cast<std::size_t>(kMaxWelcomeFileSize) + 1, 'x'));
  });
  ASSERT_TRUE(watcher.Finish());
  EXPECT_EQ(watcher.text, L"Failed to Load Stream.");
  EXPECT_EQ(WelcomeText(window->Control(Id::RichEdit1)), BuiltInText());
}

}  // namespace
}  // namespace tarvik::testing
