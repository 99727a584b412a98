// The dialogs and the plug-in's own strings in the language the user sees
// Windows in (dialog/dialog_language.h), English otherwise. Each is found
// here by its exact language: the loader's own choice could give the
// language-neutral English template over a translation, or a translation
// that the code page cannot show.
#pragma once

#include <windows.h>

// The language of the texts shown now.
WORD ShownLanguage();

// DialogBoxParamA with the template `id` in the language shown, or in
// English if it has no translation; -1 if neither is found.
INT_PTR LocalDialogBox(UINT id, HWND owner, DLGPROC proc, LPARAM param);

// LoadStringA of the plug-in's own string `id` in the language shown, or in
// English if it has no translation: the characters written to `buffer` (of
// `size` bytes, always terminated), 0 if there is no such string.
int LocalString(UINT id, char *buffer, int size);
