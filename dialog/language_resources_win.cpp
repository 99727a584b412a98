#include "dialog/language_resources_win.h"

#include "dialog/dialog_language.h"
#include "dialog/string_block.h"
#include "dialog/version_language.h"
#include "host/host_services_win.h"

typedef LANGID(WINAPI *UiLanguageCall)();

// The language of USER32's version resource, which Microsoft reads for the
// language of Windows where no call tells it (Q196787 reads USER.EXE's; the
// loaded USER32's needs no file and no VERSION.DLL). Its one version
// resource is found asking for the neutral language, which falls back to
// whatever language it has.
static bool SystemResourcesLanguage(uint16_t *language) {
  HMODULE user = GetModuleHandleA("USER32.DLL");
  if (user == nullptr)
    return false;
  HRSRC found = FindResourceExA(user, MAKEINTRESOURCEA(16) /* RT_VERSION */,
                                MAKEINTRESOURCEA(1),
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  if (found == nullptr)
    return false;
  HGLOBAL loaded = LoadResource(user, found);
  const void *data = loaded != nullptr ? LockResource(loaded) : nullptr;
  return VersionLanguage(static_cast<const uint8_t *>(data),
                         SizeofResource(user, found), language);
}

WORD ShownLanguage() {
  LanguageFacts facts = {};
  // Windows ME and 2000 and later: looked up, since the plug-in must load
  // where it is missing.
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  UiLanguageCall uiLanguage =
      kernel != nullptr
          ? reinterpret_cast<UiLanguageCall>(reinterpret_cast<void *>(
                GetProcAddress(kernel, "GetUserDefaultUILanguage")))
          : nullptr;
  facts.hasUiLanguage = uiLanguage != nullptr;
  facts.uiLanguage = uiLanguage != nullptr ? uiLanguage() : 0;
  if (uiLanguage == nullptr)
    facts.hasSystemResourcesLanguage =
        SystemResourcesLanguage(&facts.systemResourcesLanguage);
  facts.isWindows9x = (GetVersion() & 0x80000000u) != 0;
  facts.systemLanguage = GetSystemDefaultLangID();
  facts.userLanguage = GetUserDefaultLangID();
  facts.ansiCodePage = GetACP();
  return DialogLanguage(facts);
}

// The data of resource `name` of `type` in `language`, or null.
static const void *ResourceIn(LPCSTR type, LPCSTR name, WORD language,
                              DWORD *size) {
  HINSTANCE module = PluginInstance();
  HRSRC found = FindResourceExA(module, type, name, language);
  if (found == nullptr)
    return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  if (size != nullptr)
    *size = SizeofResource(module, found);
  return loaded != nullptr ? LockResource(loaded) : nullptr;
}

INT_PTR LocalDialogBox(UINT id, HWND owner, DLGPROC proc, LPARAM param) {
  LPCSTR name = MAKEINTRESOURCEA(id);
  const void *dialog = ResourceIn(RT_DIALOG, name, ShownLanguage(), nullptr);
  if (dialog == nullptr)
    dialog = ResourceIn(RT_DIALOG, name, kEnglishLanguage, nullptr);
  if (dialog == nullptr)
    return -1;
  return DialogBoxIndirectParamA(PluginInstance(),
                                 static_cast<LPCDLGTEMPLATEA>(dialog), owner,
                                 proc, param);
}

// String `id` of the block in `language`, into `buffer` in the ANSI code
// page; 0 if the block or the string is not there.
static int StringIn(UINT id, WORD language, char *buffer, int size) {
  DWORD blockSize = 0;
  const void *block = ResourceIn(RT_STRING, MAKEINTRESOURCEA(StringBlockId(id)),
                                 language, &blockSize);
  const uint8_t *text = nullptr;
  size_t units = 0;
  if (!StringBlockEntry(static_cast<const uint8_t *>(block), blockSize, id % 16,
                        &text, &units) ||
      units == 0)
    return 0;
  const int written = WideCharToMultiByte(
      CP_ACP, 0, reinterpret_cast<LPCWSTR>(text), static_cast<int>(units),
      buffer, size - 1, nullptr, nullptr);
  buffer[written > 0 ? written : 0] = '\0';
  return written > 0 ? written : 0;
}

int LocalString(UINT id, char *buffer, int size) {
  if (buffer == nullptr || size <= 0)
    return 0;
  buffer[0] = '\0';
  const int written = StringIn(id, ShownLanguage(), buffer, size);
  if (written > 0)
    return written;
  return StringIn(id, kEnglishLanguage, buffer, size);
}
