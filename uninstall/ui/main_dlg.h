// The uninstaller's main dialog: a captionless, skinned 640 x 390 window with a drop shadow; a
// progress page while the worker runs and a finished page with the Done button. Windows only.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "core/sequence.h"
#include "os_win/unique_handle.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/simple_controls.h"
#include "ui/skin/wnd_shadow.h"
#include "ui/window/message_loop.h"
#include "ui/window/window_base.h"

// Private messages posted by the worker's callbacks.
constexpr UINT WM_UNINSTALL_PROGRESS = WM_USER + 1001;  // wParam: percent
constexpr UINT WM_UNINSTALL_FINISHED = WM_USER + 1002;

enum UninstallPage : int32_t { Progress = 1, Finished = 2 };

// Control ids of dialog template 129.
enum MainDlgControl : int {
  IDC_STATIC_UNINSTALLING = 1000,
  IDC_STATIC_FINISHED = 1001,
  IDC_STATIC_PERCENT = 1002,
  IDC_BTN_DONE = 1003,
  IDC_BTN_CLOSE = 1004,
};

class CMainDlg : public CWindowImplBase,
                 public CMessageFilter,
                 public CIdleHandler,
                 public IUninstallCallBack {
 public:
  enum { IDD = 129 };

  CMainDlg() = default;

  // Creates the modeless dialog from template IDD; null on failure.
  HWND Create(HWND owner);

  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnIdle() override;

  // Worker-thread callbacks: only the last two act, by posting to the window if it still exists.
  int OnProcessesClosed() override { return 0; }
  int OnShortcutsRemoved() override { return 0; }
  int OnRegistryCleaned() override { return 0; }
  int OnFilesRemoved() override { return 0; }
  int OnProgress(int32_t percent) override;
  int OnFinished() override;

  UninstallPage page() const { return page_; }

 protected:
  // Routes the dialog's messages; false leaves a message to the default dialog processing.
  bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  LRESULT OnInitDialog();
  void OnDestroy();
  LRESULT OnEraseBackground(HDC dc);
  bool OnNcHitTest(LPARAM lp, LRESULT& result);
  bool OnCommand(int id);
  void OnPercentChanged(int32_t percent);
  void OnUninstallFinished();
  void EnterProgressPage();
  void StartWorker();

  void SetUpControls();
  // Hover-mode image button on the skin's shared `images` (normal, hover, pressed, disabled).
  void SetUpButton(kv_skin::CBitmapButtonEx& button, int id, HIMAGELIST images, bool nineSlice,
                   HFONT font);

  kv_skin::CBitmapButtonEx closeButton_{kv_skin::kBtnAutoSize};
  kv_skin::CKovraProcessCtrl progress_;
  kv_skin::CSimpleLabel uninstallingLabel_;
  kv_skin::CSimpleLabel percentLabel_;
  kv_skin::CSimpleLabel finishedLabel_;
  kv_skin::CBitmapButtonEx doneButton_{kv_skin::kBtnAutoSize};
  UninstallPage page_ = Progress;
  kv_skin::CWndShadow shadow_;
  uninstall::UniqueHandle worker_;
  uninstall::UniqueHIcon bigIcon_;
  uninstall::UniqueHIcon smallIcon_;
  // The window as seen by the worker's callbacks (written on the main thread).
  std::atomic<HWND> callbackWindow_{nullptr};
};

// Creates the one main dialog (never destroyed), shows it with `showCommand` and runs the calling
// thread's message loop; returns the quit code (0 when the dialog or the loop is missing).
int RunMainDialog(int showCommand);
