#pragma once
// The texts of the program's error boxes (a welcome text which cannot be
// loaded, a damaged program file), and the application title that captions
// them. UTF-8 throughout.
#include <string>
#include <string_view>

#include "Update_Main/form_view.h"
#include "firmware/firmware_images.h"

namespace tarvik {

inline constexpr char kWelcomeFileName[] = "text.rtf";
// A welcome text is a page or two; anything near this size is not one, and
// reading it whole would only exhaust memory. A longer file is unreadable.
inline constexpr long long kMaxWelcomeFileSize = 16 * 1024 * 1024;

// The operating system's description of an error, as the error text quotes
// it: without trailing blanks, control characters and full stops.
std::string TrimSystemErrorText(std::string_view description);

// The error box's own touch: a "." at the end when the text's last
// character comes after "." in the character order (as a letter does).
std::string ErrorBoxText(std::string_view text);

// What the error box says about a failed load, before ErrorBoxText; empty
// when the file was loaded.
std::string WelcomeLoadErrorText(const WelcomeFileLoad& load);

// What the error box says when the firmware built into the program is not
// what the build recorded, checked with the platform's SHA-256 before any
// window opens; empty when it is intact. The program then ends without
// opening a window or a port.
std::string DamagedProgramText(Sha256Function sha256);

// The application title: the program file's name without its directory and
// without everything from its first ".", the first character as it is and
// the rest in lower case ("TarvikUpdate.exe" gives "Tarvikupdate"). Both
// "/" and "\" end a directory.
std::string ApplicationTitle(std::string_view programFilePath);

}  // namespace tarvik
