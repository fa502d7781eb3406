#pragma once
// The window ids of the form's controls: each control's place in the form's
// description, from 1000 on. Ids 1 and 2 (IDOK, IDCANCEL) stay free: the
// dialog keys send those for Enter and Esc, and no button answers to them.
#include "Update_Main/form_description.h"

namespace tarvik::win32 {

inline constexpr int kFirstControlId = 1000;

constexpr int ControlIdOf(form::Id id) { return kFirstControlId + static_cast<int>(id); }

// False when id names no control of the form.
constexpr bool FormIdOf(int id, form::Id& out) {
  const int index = id - kFirstControlId;
  if (index < 0 || index >= form::kControlCount) return false;
  out = static_cast<form::Id>(index);
  return true;
}

// The window classes of the native window, for finding it from outside.
inline constexpr wchar_t kFormWindowClass[] = L"TarvikUpdateForm1";
inline constexpr wchar_t kPageWindowClass[] = L"TarvikUpdatePage";

}  // namespace tarvik::win32
