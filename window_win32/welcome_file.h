#pragma once
// Reading the welcome text file whole, with the system's own words when it
// cannot be opened.
#include <string>

#include "win32_headers.h"

namespace tarvik::win32 {

struct WelcomeFileBytes {
  enum class Status { Ok, OpenFailed, ReadFailed };
  Status status = Status::OpenFailed;
  std::string bytes;          // Ok only
  DWORD error = 0;            // OpenFailed only
  std::wstring systemError;   // OpenFailed only: FormatMessage's text, untrimmed
};

// The current directory followed by "text.rtf".
std::wstring WelcomeFilePath();

// Opens path for reading with read sharing only, so nobody writes the file
// while it is read (and it does not open while somebody has it open for
// writing), and reads it whole. A file longer than maxSize, or a read that
// fails, gives ReadFailed.
WelcomeFileBytes ReadWelcomeFile(const std::wstring& path, long long maxSize);

// The system's description of an error code; a fixed text when it has none.
std::wstring SystemErrorText(DWORD error);

}  // namespace tarvik::win32
