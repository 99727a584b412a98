// Points one of this program's imports, or the loaded plug-in's, elsewhere
// for a while: a system call of the plug-in's code made to fail, or to
// behave as an older Windows does, where Wine cannot be asked to.
#pragma once

#include <windows.h>

#include <string.h>

class ImportPatch {
public:
  // Patches `name` imported from `dll` (case-insensitive) by `module`, this
  // program unless given; patched() says whether it was found.
  ImportPatch(const char *dll, const char *name, const void *replacement,
              HMODULE module = nullptr) {
    slot_ = FindSlot(module != nullptr ? module : GetModuleHandleA(nullptr),
                     dll, name);
    if (slot_ != nullptr) {
      original_ = *slot_;
      Write(reinterpret_cast<ULONG_PTR>(replacement));
    }
  }
  ~ImportPatch() {
    if (slot_ != nullptr)
      Write(original_);
  }
  ImportPatch(const ImportPatch &) = delete;
  ImportPatch &operator=(const ImportPatch &) = delete;

  bool patched() const { return slot_ != nullptr; }
  // The function the import named before, to call through.
  template <typename F> F original() const {
    return reinterpret_cast<F>(original_);
  }

private:
  static ULONG_PTR *FindSlot(HMODULE module, const char *dll,
                             const char *name) {
    auto *base = reinterpret_cast<BYTE *>(module);
    auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
    auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto *desc =
        reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress);
    for (; desc->Name != 0; ++desc) {
      if (_stricmp(reinterpret_cast<char *>(base + desc->Name), dll) != 0)
        continue;
      auto *names =
          reinterpret_cast<IMAGE_THUNK_DATA *>(base + desc->OriginalFirstThunk);
      auto *slots =
          reinterpret_cast<IMAGE_THUNK_DATA *>(base + desc->FirstThunk);
      for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
          continue;
        auto *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(
            base + names->u1.AddressOfData);
        if (strcmp(reinterpret_cast<char *>(byName->Name), name) == 0)
          return reinterpret_cast<ULONG_PTR *>(&slots->u1.Function);
      }
    }
    return nullptr;
  }
  void Write(ULONG_PTR value) {
    DWORD old;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old);
    *slot_ = value;
    VirtualProtect(slot_, sizeof *slot_, old, &old);
  }

  ULONG_PTR *slot_ = nullptr;
  ULONG_PTR original_ = 0;
};
