#include "fonts.h"

#include <cwchar>

#include "dpi.h"

namespace tarvik::win32 {
namespace {

int CALLBACK NoteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one is enough
}

}  // namespace

const std::vector<std::wstring>& TextFamilies() {
  // "Microsoft Sans Serif" is the outline version of "MS Sans Serif" with
  // the same metrics; Tahoma is the interface font of the same design;
  // Liberation Sans (and Arial, whose metrics it shares) is what Wine finds
  // on Linux hosts.
  static const std::vector<std::wstring> families = {
      L"Microsoft Sans Serif", L"MS Sans Serif", L"Tahoma", L"Liberation Sans", L"Arial",
      L"DejaVu Sans"};
  return families;
}

bool HasFontFamily(const std::wstring& family) {
  if (family.empty() || family.size() >= LF_FACESIZE) return false;
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  std::wmemcpy(query.lfFaceName, family.c_str(), family.size() + 1);
  bool found = false;
  HDC screen = ::GetDC(nullptr);
  ::EnumFontFamiliesExW(screen, &query, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, screen);
  return found;
}

const std::wstring& TextFamily() {
  static const std::wstring family = [] {
    for (const std::wstring& candidate : TextFamilies())
      if (HasFontFamily(candidate)) return candidate;
    // The system's font mapper picks something for this name.
    return TextFamilies().front();
  }();
  return family;
}

HFONT CreateTextFont(int pixelHeight96, bool bold, UINT dpi) {
  // A negative height asks for the character height, not the cell's.
  return ::CreateFontW(-Scale(pixelHeight96, dpi), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE,
                       FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, TextFamily().c_str());
}

}  // namespace tarvik::win32
