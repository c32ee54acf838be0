// The program's two message boxes, without an owner window. Windows only.
#pragma once

// Shows `text` with an OK button and waits for it.
void ShowNotice(const wchar_t* text, const wchar_t* caption);

// Shows `text` with OK and Cancel; true only for OK.
bool AskOkCancel(const wchar_t* text, const wchar_t* caption);
