// Another program holding the clipboard, as clipboard managers and remote
// desktops do.
#pragma once

#include <windows.h>

#include <thread>

// Holds the clipboard open from a thread with a window of its own, for
// `holdMs` or, with INFINITE, until it is destroyed.
class ClipboardHolder {
public:
  explicit ClipboardHolder(DWORD holdMs = INFINITE) {
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    release_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, holdMs] {
      HWND owner = CreateWindowA("STATIC", "holder", WS_POPUP, 0, 0, 1, 1,
                                 nullptr, nullptr, nullptr, nullptr);
      held_ = OpenClipboard(owner) != 0;
      SetEvent(ready_);
      // Released by the test; the bound only outlives a test that died.
      WaitForSingleObject(release_, holdMs == INFINITE ? 10 * 60000 : holdMs);
      if (held_)
        CloseClipboard();
      DestroyWindow(owner);
    });
    WaitForSingleObject(ready_, 5 * 60000);
  }
  ~ClipboardHolder() {
    SetEvent(release_);
    thread_.join();
    CloseHandle(ready_);
    CloseHandle(release_);
  }
  bool held() const { return held_; }

private:
  HANDLE ready_, release_;
  bool held_ = false;
  std::thread thread_;
};
