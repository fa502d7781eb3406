#include "Update_Main/welcome_messages.h"

#include <cstdint>

namespace tarvik {
namespace {

// Lower case for the letters a program file's name may hold: Latin and
// Cyrillic (А-Я, Ё). Anything else stays as it is.
std::string LowerCase(std::string_view utf8) {
  std::string out(utf8);
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto byte = static_cast<unsigned char>(out[i]);
    if (byte >= 'A' && byte <= 'Z') {
      out[i] = static_cast<char>(byte + ('a' - 'A'));
    } else if (i + 1 < out.size() && (byte == 0xD0)) {
      // U+0400..U+043F: 0xD0 0x80..0xBF.
      auto next = static_cast<unsigned char>(out[i + 1]);
      if (next >= 0x90 && next <= 0x9F) {  // А..П -> а..п
        out[i + 1] = static_cast<char>(next + 0x20);
      } else if (next >= 0xA0 && next <= 0xAF) {  // Р..Я -> р..я (0xD1 0x80..0x8F)
        out[i] = static_cast<char>(0xD1);
        out[i + 1] = static_cast<char>(next - 0x20);
      } else if (next >= 0x80 && next <= 0x8F) {  // Ѐ..Џ -> ѐ..џ (0xD1 0x90..0x9F)
        out[i] = static_cast<char>(0xD1);
        out[i + 1] = static_cast<char>(next + 0x10);
      }
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string TrimSystemErrorText(std::string_view description) {
  std::size_t length = description.size();
  while (length > 0) {
    const auto last = static_cast<unsigned char>(description[length - 1]);
    if (last > ' ' && last != '.' && last != 0x7F) break;
    --length;
  }
  return std::string(description.substr(0, length));
}

std::string ErrorBoxText(std::string_view text) {
  std::string result(text);
  // Bytes compared without sign, so that the last byte of any non-ASCII
  // character (a Cyrillic letter, say) counts as coming after ".".
  if (!result.empty() && static_cast<unsigned char>(result.back()) > '.') result += '.';
  return result;
}

std::string WelcomeLoadErrorText(const WelcomeFileLoad& load) {
  switch (load.status) {
    case WelcomeFileLoad::Status::Loaded: return {};
    case WelcomeFileLoad::Status::Unreadable: return "Failed to Load Stream";
    case WelcomeFileLoad::Status::OpenFailed: break;
  }
  return "Cannot open file \"" + load.fullPath + "\". " + TrimSystemErrorText(load.systemError);
}

std::string DamagedProgramText(Sha256Function sha256) {
  if (EmbeddedImagesIntact(sha256)) return {};
  return "Файл программы повреждён. Скачайте программу заново.";
}

std::string ApplicationTitle(std::string_view programFilePath) {
  const std::size_t slash = programFilePath.find_last_of("/\\");
  std::string_view name =
      slash == std::string_view::npos ? programFilePath : programFilePath.substr(slash + 1);
  const std::size_t dot = name.find('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  if (name.empty()) return {};
  // The first character may take several bytes.
  std::size_t first = 1;
  while (first < name.size() && (static_cast<unsigned char>(name[first]) & 0xC0) == 0x80) ++first;
  return std::string(name.substr(0, first)) + LowerCase(name.substr(first));
}

}  // namespace tarvik
