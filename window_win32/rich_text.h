#pragma once
// The welcome box (a RichEdit control): "text.rtf" streamed in as rich
// text, and as plain text when the box rejects it; the built-in text.
#include <span>
#include <string_view>

#include "Update_Main/form_view.h"
#include "win32_headers.h"

namespace tarvik::win32 {

// Registers the RichEdit window class: RICHEDIT50W (msftedit.dll), else
// RichEdit20W (riched20.dll). Returns the class name, null when neither loads.
const wchar_t* RichEditClass();

// Read-only box set-up: no length limit (the default is 32K characters),
// wrapped at the window's width.
void PrepareRichEdit(HWND edit);

// Replaces the content with lines, one paragraph each, in font.
void SetBuiltInText(HWND edit, std::span<const char* const> lines, HFONT font);

// EM_STREAMIN of bytes as rich text; false when the box reports an error
// (it rejects anything that does not start as rich text).
bool StreamInRichText(HWND edit, std::string_view bytes);

// EM_STREAMIN of text as plain (UTF-16) text, in font; false on an error.
bool StreamInPlainText(HWND edit, std::wstring_view text, HFONT font);

// Reads "text.rtf" from the current directory into the box. On failure the
// box shows the built-in lines in font. asRichText tells whether the box
// took the file as rich text (which brings its own fonts).
WelcomeFileLoad LoadWelcomeFile(HWND edit, std::span<const char* const> builtIn, HFONT font,
                                bool& asRichText);

}  // namespace tarvik::win32
