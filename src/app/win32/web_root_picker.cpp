#include "app/win32/web_root_picker.h"

#include <shobjidl.h>

#include "app/web_root_change.h"
#include "app/win32/main_state.h"
#include "app/win32/status_view.h"
#include "sys/text.h"

namespace desktop {

namespace {

std::wstring resultPath(IFileOpenDialog* dialog) {
  IShellItem* item = nullptr;
  if (FAILED(dialog->GetResult(&item))) return L"";
  std::wstring path;
  PWSTR text = nullptr;
  if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &text)) && text) {
    path = text;
    CoTaskMemFree(text);
  }
  item->Release();
  return path;
}

}  // namespace

std::wstring chooseWebRootFolder(HWND owner) {
  IFileOpenDialog* dialog = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                              (void**)&dialog)))
    return L"";
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(L"Select Web Root Folder");
  std::wstring path;
  // Cancelling is one of the failures: nothing was chosen.
  if (SUCCEEDED(dialog->Show(owner))) path = resultPath(dialog);
  dialog->Release();
  return path;
}

void pickWebRoot(HWND window) {
  std::wstring folder = chooseWebRootFolder(window);
  if (folder.empty()) return;
  app::setWebRoot(sys::toUtf8(folder));
  updateStatus(window);
}

void restoreDefaultWebRoot(HWND window) {
  app::setWebRoot(app::defaultWebRoot(mainState().baseFolder));
  updateStatus(window);
}

}  // namespace desktop
