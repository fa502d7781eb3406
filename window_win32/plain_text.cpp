#include "plain_text.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "win32_headers.h"

namespace tarvik::win32 {
namespace {

constexpr UINT kCodePageCyrillic = 1251;

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

std::uint8_t Byte(std::string_view bytes, std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); }

// 8-bit text through the system's conversion; flags 0 replaces invalid
// sequences, MB_ERR_INVALID_CHARS refuses them (empty result, false).
bool FromCodePage(UINT codePage, DWORD flags, std::string_view bytes, std::wstring& out) {
  out.clear();
  if (bytes.empty()) return true;
  if (bytes.size() > INT_MAX) return false;
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
  if (length <= 0) return false;
  out.resize(static_cast<std::size_t>(length));
  return ::MultiByteToWideChar(codePage, flags, bytes.data(), size, out.data(), length) == length;
}

std::wstring FromUtf16(std::string_view bytes, bool bigEndian) {
  std::wstring out;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned high = bigEndian ? Byte(bytes, i) : Byte(bytes, i + 1);
    const unsigned low = bigEndian ? Byte(bytes, i + 1) : Byte(bytes, i);
    out.push_back(static_cast<wchar_t>((high << 8) | low));
  }
  return out;
}

std::wstring FromUtf32(std::string_view bytes, bool bigEndian) {
  std::wstring out;
  out.reserve(bytes.size() / 4);
  for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
    std::uint32_t c = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const std::size_t at = bigEndian ? i + k : i + 3 - k;
      c = (c << 8) | Byte(bytes, at);
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back(L'\uFFFD');
    } else if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(c));
    }
  }
  return out;
}

std::wstring Decode(std::string_view bytes) {
  // UTF-32 first: its little-endian mark begins with UTF-16's.
  if (StartsWith(bytes, std::string_view("\xFF\xFE\0\0", 4))) return FromUtf32(bytes.substr(4), false);
  if (StartsWith(bytes, std::string_view("\0\0\xFE\xFF", 4))) return FromUtf32(bytes.substr(4), true);
  if (StartsWith(bytes, "\xFF\xFE")) return FromUtf16(bytes.substr(2), false);
  if (StartsWith(bytes, "\xFE\xFF")) return FromUtf16(bytes.substr(2), true);
  std::wstring text;
  if (StartsWith(bytes, "\xEF\xBB\xBF")) {
    FromCodePage(CP_UTF8, 0, bytes.substr(3), text);
    return text;
  }
  if (FromCodePage(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, text)) return text;
  FromCodePage(kCodePageCyrillic, 0, bytes, text);
  return text;
}

}  // namespace

std::wstring DecodePlainText(std::string_view bytes) {
  std::wstring text = Decode(bytes);
  text.erase(std::remove(text.begin(), text.end(), L'\0'), text.end());
  return text;
}

}  // namespace tarvik::win32
