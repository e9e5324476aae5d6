// A window whose messages go to a C++ object: the object is passed as the creation parameter and
// kept in the window's user data; messages before that, and after the window is destroyed, get
// the default handling.
#pragma once

#include <windows.h>

namespace qm {

class WindowObject {
 public:
  virtual ~WindowObject() = default;

 protected:
  // The window procedure to register for the class.
  static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<WindowObject*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
      self = static_cast<WindowObject*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      self->window_ = window;
    }
    if (!self || !self->window_) return DefWindowProcA(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
  }
  virtual LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  HWND window_ = nullptr;  // null again once the window is destroyed
};

}  // namespace qm
