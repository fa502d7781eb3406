#include "rich_text.h"

#include <richedit.h>

#include <algorithm>
#include <string>

#include "Update_Main/welcome_messages.h"
#include "plain_text.h"
#include "welcome_file.h"
#include "wide_text.h"

namespace tarvik::win32 {
namespace {

// What EM_STREAMIN reads from: bytes in memory, handed out in the chunks
// the box asks for.
struct Source {
  const char* data;
  std::size_t size;
  std::size_t offset = 0;
};

DWORD CALLBACK ReadSource(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
  auto& source = *reinterpret_cast<Source*>(cookie);
  const std::size_t left = source.size - source.offset;
  const std::size_t count = std::min<std::size_t>(left, wanted > 0 ? static_cast<std::size_t>(wanted) : 0);
  std::copy_n(source.data + source.offset, count, buffer);
  source.offset += count;
  *given = static_cast<LONG>(count);
  return 0;
}

bool StreamIn(HWND edit, WPARAM format, const char* data, std::size_t size) {
  Source source{data, size};
  EDITSTREAM stream{};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  stream.pfnCallback = ReadSource;
  ::SendMessageW(edit, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
  return stream.dwError == 0;
}

}  // namespace

const wchar_t* RichEditClass() {
  static const wchar_t* const name = []() -> const wchar_t* {
    if (::LoadLibraryW(L"msftedit.dll") != nullptr) return MSFTEDIT_CLASS;
    if (::LoadLibraryW(L"riched20.dll") != nullptr) return RICHEDIT_CLASSW;
    return nullptr;
  }();
  return name;
}

void PrepareRichEdit(HWND edit) {
  ::SendMessageW(edit, EM_EXLIMITTEXT, 0, 0x7FFFFFF0);
  ::SendMessageW(edit, EM_SETTARGETDEVICE, 0, 0);  // wrap at the window's width
}

void SetBuiltInText(HWND edit, std::span<const char* const> lines, HFONT font) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  ::SetWindowTextW(edit, Widen(text).c_str());
  ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

bool StreamInRichText(HWND edit, std::string_view bytes) {
  return StreamIn(edit, SF_RTF, bytes.data(), bytes.size());
}

bool StreamInPlainText(HWND edit, std::wstring_view text, HFONT font) {
  const bool ok = StreamIn(edit, SF_TEXT | SF_UNICODE, reinterpret_cast<const char*>(text.data()),
                           text.size() * sizeof(wchar_t));
  // The box's own font for the whole text.
  ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return ok;
}

WelcomeFileLoad LoadWelcomeFile(HWND edit, std::span<const char* const> builtIn, HFONT font,
                                bool& asRichText) {
  asRichText = false;
  WelcomeFileLoad result;
  const std::wstring path = WelcomeFilePath();
  result.fullPath = Narrow(path);
  const WelcomeFileBytes file = ReadWelcomeFile(path, kMaxWelcomeFileSize);
  switch (file.status) {
    case WelcomeFileBytes::Status::OpenFailed:
      result.status = WelcomeFileLoad::Status::OpenFailed;
      result.systemError = Narrow(file.systemError);
      return result;
    case WelcomeFileBytes::Status::ReadFailed:
      result.status = WelcomeFileLoad::Status::Unreadable;
      return result;
    case WelcomeFileBytes::Status::Ok:
      break;
  }
  result.status = WelcomeFileLoad::Status::Loaded;
  // A rejected stream may have left part of itself in the box: each load
  // replaces the whole content, and a failure of both brings the built-in
  // text back.
  asRichText = StreamInRichText(edit, file.bytes);
  if (asRichText) return result;
  if (StreamInPlainText(edit, DecodePlainText(file.bytes), font)) return result;
  SetBuiltInText(edit, builtIn, font);
  result.status = WelcomeFileLoad::Status::Unreadable;
  return result;
}

}  // namespace tarvik::win32
