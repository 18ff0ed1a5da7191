#include "ui/dialog_base.h"

// The module that holds this code and its dialog templates: the plug-in DLL,
// or a test program that links the same objects.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// The dialog being created on this thread. DialogBoxParamA passes 0 as the
// creation parameter, so the first message of the new window picks its C++
// object up here.
thread_local DialogBase* t_creating = nullptr;

}  // namespace

INT_PTR DialogBase::runModal(HWND owner) noexcept {
    DialogBase* outer = t_creating;
    t_creating = this;
    INT_PTR result = DialogBoxParamA(reinterpret_cast<HINSTANCE>(&__ImageBase), MAKEINTRESOURCEA(templateId_), owner,
                                     &DialogBase::dialogProc, 0);
    t_creating = outer;
    window_ = nullptr;
    return result;
}

INT_PTR CALLBACK DialogBase::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<DialogBase*>(GetWindowLongPtrA(window, DWLP_USER));
    if (self == nullptr) {
        if (t_creating == nullptr) return FALSE;
        self = t_creating;
        t_creating = nullptr;
        self->window_ = window;
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        self->window_ = nullptr;
        return FALSE;
    }
    // No exception may leave: on i686 it cannot unwind through USER32's frames
    // and would end the host's process. Handlers are written so that a failure
    // leaves their data as it was; the dialog stays open, or, when it could
    // not be set up, ends as if it had not been created.
    try {
        INT_PTR result = 0;
        if (!self->processMessage(message, wParam, lParam, result)) return FALSE;
        return message == WM_INITDIALOG ? result : TRUE;
    } catch (...) {
        if (message == WM_INITDIALOG) EndDialog(window, -1);
        return TRUE;
    }
}
