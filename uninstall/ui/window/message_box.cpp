#include "ui/window/message_box.h"

#include <windows.h>

void ShowNotice(const wchar_t* text, const wchar_t* caption) {
  ::MessageBoxW(nullptr, text, caption, MB_OK);
}

bool AskOkCancel(const wchar_t* text, const wchar_t* caption) {
  return ::MessageBoxW(nullptr, text, caption, MB_OKCANCEL) == IDOK;
}
