// Loaded into the player with LD_PRELOAD: every ClientMessage the program sends goes to a window
// that does not exist. That is what the X server does when it handles another connection's
// destruction of the window first, which only happens now and then on a busy machine; here it
// happens every time, so a program that sends itself such events fails every time.
#include <X11/Xlib.h>
#include <dlfcn.h>

extern "C" Status XSendEvent(Display* display, Window window, Bool propagate, long mask,
                             XEvent* event) {
  using TSend = Status (*)(Display*, Window, Bool, long, XEvent*);
  static const auto real = reinterpret_cast<TSend>(dlsym(RTLD_NEXT, "XSendEvent"));
  // Resource ids never use the top three bits, and no client is given this one.
  constexpr Window kGone = 0x1FFFFFF0;
  return real(display, event->type == ClientMessage ? kGone : window, propagate, mask, event);
}
