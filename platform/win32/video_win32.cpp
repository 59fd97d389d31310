// The win32 driver: one top-level window, DirectDraw exclusive full screen with the primary
// surface (8-bit with a palette, or 16-bit), DirectInput keyboard and mouse held while the
// program is in the foreground, a keyboard hook, the multimedia timer. Drawing goes straight to
// the visible primary surface, so present has nothing to do.
#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>
#include <ddraw.h>
#include <dinput.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "platform/drivers_internal.h"

namespace {

constexpr const char* kClassName = "VRK95 Class";

struct State {
  HINSTANCE instance = nullptr;
  ATOM class_atom = 0;
  HWND hwnd = nullptr;
  bool closing = false;  // our own DestroyWindow: not the user's close
  char title[256] = {};
  LPDIRECTDRAW dd = nullptr;
  LPDIRECTDRAWSURFACE primary = nullptr;
  LPDIRECTDRAWSURFACE restore = nullptr;  // the surface restored after a lost lock: the primary
  LPDIRECTDRAWPALETTE palette = nullptr;
  int width = 0, height = 0, bpp = 0;
  LPDIRECTINPUT8A di = nullptr;
  LPDIRECTINPUTDEVICE8A keyboard = nullptr;
  LPDIRECTINPUTDEVICE8A mouse = nullptr;
  bool kb_acquired = false, mouse_acquired = false;
  HHOOK hook = nullptr;
  UINT timer_period = 0;
  bool cursor_hidden = false;
};

State st;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      // The user closes the window (Alt-F4, the system menu): the program decides what that
      // means; the window stays until it ends.
      plat_notify_close();
      return 0;
    case WM_DESTROY:
      if (!st.closing) plat_notify_close();
      return 0;
    case WM_PAINT: {
      RECT r;
      if (GetUpdateRect(window, &r, FALSE)) plat_notify_paint(r.left, r.top, r.right - 1, r.bottom - 1);
      break;
    }
    case WM_ACTIVATEAPP:
      plat_notify_activate(wparam ? 1 : 0);
      return 0;
    case WM_SYSCOMMAND:
      // Neither the screen saver nor monitor power-down may start over the program.
      if ((wparam & 0xFFF0) == SC_SCREENSAVE || (wparam & 0xFFF0) == SC_MONITORPOWER) return 0;
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// Registers the one window class; the class atom, 0 on failure.
ATOM InitClass(HINSTANCE instance) {
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(99));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kClassName;
  return RegisterClassA(&wc);
}

// Creates the main window once; 0 / -1.
int init_window() {
  if (st.hwnd) return 0;
  st.hwnd = CreateWindowExA(WS_EX_TOPMOST, kClassName, st.title, WS_POPUP | WS_VISIBLE | WS_SYSMENU, 0, 0,
                            GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                            st.instance, nullptr);
  if (!st.hwnd) return -1;
  UpdateWindow(st.hwnd);
  SetFocus(st.hwnd);
  return 0;
}

// The DirectInput object and both devices, made once the window exists; false when any is missing.
bool init_input() {
  if (st.di) return st.keyboard && st.mouse;
  if (init_window() != 0) return false;
  if (FAILED(DirectInput8Create(st.instance, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                reinterpret_cast<void**>(&st.di), nullptr))) {
    st.di = nullptr;
    return false;
  }
  if (SUCCEEDED(st.di->CreateDevice(GUID_SysKeyboard, &st.keyboard, nullptr))) {
    DIPROPDWORD size{};
    size.diph.dwSize = sizeof size;
    size.diph.dwHeaderSize = sizeof size.diph;
    size.diph.dwHow = DIPH_DEVICE;
    size.dwData = PLAT_KEY_BATCH;
    if (FAILED(st.keyboard->SetDataFormat(&c_dfDIKeyboard)) ||
        FAILED(st.keyboard->SetCooperativeLevel(st.hwnd, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND)) ||
        FAILED(st.keyboard->SetProperty(DIPROP_BUFFERSIZE, &size.diph))) {
      st.keyboard->Release();
      st.keyboard = nullptr;
    }
  } else {
    st.keyboard = nullptr;
  }
  if (SUCCEEDED(st.di->CreateDevice(GUID_SysMouse, &st.mouse, nullptr))) {
    if (FAILED(st.mouse->SetDataFormat(&c_dfDIMouse)) ||
        FAILED(st.mouse->SetCooperativeLevel(st.hwnd, DISCL_EXCLUSIVE | DISCL_FOREGROUND))) {
      st.mouse->Release();
      st.mouse = nullptr;
    }
  } else {
    st.mouse = nullptr;
  }
  return st.keyboard && st.mouse;
}

void release_input() {
  if (st.hook) UnhookWindowsHookEx(st.hook);
  st.hook = nullptr;
  if (st.keyboard) {
    st.keyboard->Unacquire();
    st.keyboard->Release();
  }
  if (st.mouse) {
    st.mouse->Unacquire();
    st.mouse->Release();
  }
  if (st.di) st.di->Release();
  st.keyboard = nullptr;
  st.mouse = nullptr;
  st.di = nullptr;
  st.kb_acquired = st.mouse_acquired = false;
}

void w_reset_mode() {
  if (!st.dd) return;
  st.dd->RestoreDisplayMode();
  if (st.primary) st.primary->Release();
  st.primary = st.restore = nullptr;
  if (st.palette) st.palette->Release();
  st.palette = nullptr;
  st.dd->Release();
  st.dd = nullptr;
  st.width = st.height = st.bpp = 0;
}

int w_set_mode(int width, int height, int bpp) {
  if (width <= 0 || height <= 0 || (bpp != 8 && bpp != 16)) return -1;
  if (init_window() != 0) return -1;
  w_reset_mode();
  if (FAILED(DirectDrawCreate(nullptr, &st.dd, nullptr))) {
    st.dd = nullptr;
    return -1;
  }
  if (FAILED(st.dd->SetCooperativeLevel(st.hwnd, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN))) return -1;
  if (FAILED(st.dd->SetDisplayMode(width, height, bpp))) return -1;
  DDSURFACEDESC sd{};
  sd.dwSize = sizeof sd;
  sd.dwFlags = DDSD_CAPS;
  sd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  if (FAILED(st.dd->CreateSurface(&sd, &st.primary, nullptr))) {
    st.primary = nullptr;
    return -1;
  }
  st.restore = st.primary;
  if (bpp == 8) {
    PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i) entries[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
    if (FAILED(st.dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &st.palette, nullptr))) {
      st.palette = nullptr;
      return -1;
    }
    if (FAILED(st.primary->SetPalette(st.palette))) return -1;
  }
  st.width = width;
  st.height = height;
  st.bpp = bpp;
  return 0;
}

int w_lock(plat_surface* out) {
  if (!st.primary) return -1;
  for (int attempt = 0; attempt < 2; ++attempt) {
    DDSURFACEDESC sd{};
    sd.dwSize = sizeof sd;
    HRESULT r = st.primary->Lock(nullptr, &sd, DDLOCK_WAIT, nullptr);
    if (r == DD_OK) {
      *out = {static_cast<uint8_t*>(sd.lpSurface), int(sd.lPitch), int(sd.dwWidth), int(sd.dwHeight), st.bpp};
      return 0;
    }
    // A lost surface is restored once and the lock tried again; anything else gives up.
    if (r != DDERR_SURFACELOST || attempt > 0 || FAILED(st.restore->Restore())) return -1;
  }
  return -1;
}

void w_unlock(int, int, int, int) {
  if (st.primary) st.primary->Unlock(nullptr);
}

void w_present() {}

int w_set_palette(const uint8_t* rgb6, int first, int count) {
  if (!st.palette || first < 0 || count < 0 || first + count > 256) return -1;
  PALETTEENTRY entries[256];
  for (int i = 0; i < count; ++i)
    entries[i] = {BYTE((rgb6[i * 3] & 63) << 2), BYTE((rgb6[i * 3 + 1] & 63) << 2), BYTE((rgb6[i * 3 + 2] & 63) << 2),
                  PC_NOCOLLAPSE};
  return FAILED(st.palette->SetEntries(0, DWORD(first), DWORD(count), entries)) ? -1 : 0;
}

int w_get_palette(uint8_t* rgb6, int first, int count) {
  if (!st.palette || first < 0 || count < 0 || first + count > 256) return -1;
  PALETTEENTRY entries[256];
  if (FAILED(st.palette->GetEntries(0, DWORD(first), DWORD(count), entries))) return -1;
  for (int i = 0; i < count; ++i) {
    rgb6[i * 3] = uint8_t(entries[i].peRed >> 2);
    rgb6[i * 3 + 1] = uint8_t(entries[i].peGreen >> 2);
    rgb6[i * 3 + 2] = uint8_t(entries[i].peBlue >> 2);
  }
  return 0;
}

int w_pixel_format(plat_pixel_format* out) {
  if (!st.primary || st.bpp != 16) return -1;
  DDPIXELFORMAT pf{};
  pf.dwSize = sizeof pf;
  if (FAILED(st.primary->GetPixelFormat(&pf))) return -1;
  *out = {uint32_t(pf.dwRBitMask), uint32_t(pf.dwGBitMask), uint32_t(pf.dwBBitMask)};
  return 0;
}

void w_set_title(const char* title) {
  std::snprintf(st.title, sizeof st.title, "%s", title ? title : "");
  if (st.hwnd) SetWindowTextA(st.hwnd, st.title);
}

void w_show_cursor(int show) {
  // ShowCursor counts; keep exactly one hide of our own outstanding.
  if (!show && !st.cursor_hidden) {
    ShowCursor(FALSE);
    st.cursor_hidden = true;
  } else if (show && st.cursor_hidden) {
    ShowCursor(TRUE);
    st.cursor_hidden = false;
  }
}

int w_message_box(const char* text, const char* caption) {
  w_show_cursor(1);
  MessageBoxA(nullptr, text, caption && *caption ? caption : nullptr, MB_ICONHAND);
  return 1;
}

void w_pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

int w_wait_events(int ms) {
  // Messages already waiting count too, not only those that arrive during the wait.
  DWORD r = MsgWaitForMultipleObjectsEx(0, nullptr, DWORD(ms > 0 ? ms : 0), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  return r == WAIT_OBJECT_0 ? 1 : 0;
}

// A device the program holds but the system took away (another program had the foreground for
// a moment) is acquired again once; true when the read may be tried again.
bool lost(HRESULT r, LPDIRECTINPUTDEVICE8A device) {
  return (r == DIERR_INPUTLOST || r == DIERR_NOTACQUIRED) && SUCCEEDED(device->Acquire());
}

// The device's buffer holds real presses and releases only: the system's key repeat never
// reaches it.
int w_read_keys(plat_key_event* out, int max) {
  if (!st.keyboard || !st.kb_acquired || max <= 0) return 0;
  DIDEVICEOBJECTDATA data[PLAT_KEY_BATCH];
  DWORD n = DWORD(max < PLAT_KEY_BATCH ? max : PLAT_KEY_BATCH);
  HRESULT r = st.keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, &n, 0);
  if (FAILED(r) && lost(r, st.keyboard)) {
    n = DWORD(max < PLAT_KEY_BATCH ? max : PLAT_KEY_BATCH);
    r = st.keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, &n, 0);
  }
  if (FAILED(r)) return 0;
  for (DWORD i = 0; i < n; ++i) out[i] = {uint8_t(data[i].dwOfs), uint8_t((data[i].dwData & 0x80) ? 1 : 0)};
  return int(n);
}

void w_flush_keys() {
  if (!st.keyboard) return;
  DWORD n = INFINITE;
  st.keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), nullptr, &n, 0);
}

// Keys reach the program only through the keyboard device; the hook keeps the system's own
// handling of them away, except for the combinations the user needs to leave the program.
LRESULT CALLBACK VRK95_keyboard_hook(int code, WPARAM vkey, LPARAM data) {
  if (code < 0) return CallNextHookEx(st.hook, code, vkey, data);
  bool alt = (data & (1 << 29)) != 0;
  bool control = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
  if (vkey == VK_DELETE && alt && control) return 0;
  if (vkey == VK_ESCAPE && control) return 0;
  if (vkey == VK_TAB && alt) return 0;
  if (vkey == VK_NUMLOCK || vkey == VK_CAPITAL || vkey == VK_SCROLL) return CallNextHookEx(st.hook, code, vkey, data);
  return 1;
}

int w_input_init() { return init_input() ? 1 : 0; }

int w_acquire_keyboard(int on) {
  if (on) {
    if (!st.keyboard) return 0;
    HRESULT r = st.keyboard->Acquire();
    if (FAILED(r)) return 0;
    st.kb_acquired = true;
    if (!st.hook) st.hook = SetWindowsHookExA(WH_KEYBOARD, VRK95_keyboard_hook, nullptr, GetCurrentThreadId());
    return 1;
  }
  if (st.hook) UnhookWindowsHookEx(st.hook);
  st.hook = nullptr;
  st.kb_acquired = false;
  if (st.keyboard) st.keyboard->Unacquire();
  return 1;
}

int w_acquire_mouse(int on) {
  if (on) {
    if (!st.mouse) return 0;
    if (FAILED(st.mouse->Acquire())) return 0;
    st.mouse_acquired = true;
    return 1;
  }
  st.mouse_acquired = false;
  if (st.mouse) st.mouse->Unacquire();
  return 1;
}

int w_read_mouse(plat_mouse_state* out) {
  if (!st.mouse || !st.mouse_acquired) return 0;
  DIMOUSESTATE ms{};
  HRESULT r = st.mouse->GetDeviceState(sizeof ms, &ms);
  if (FAILED(r) && lost(r, st.mouse)) r = st.mouse->GetDeviceState(sizeof ms, &ms);
  if (FAILED(r)) return 0;
  *out = {int(ms.lX), int(ms.lY), uint8_t((ms.rgbButtons[0] & 0x80) ? 1 : 0), uint8_t((ms.rgbButtons[1] & 0x80) ? 1 : 0)};
  return 1;
}

int w_lock_keys() {
  return ((GetKeyState(VK_NUMLOCK) & 1) ? 1 : 0) | ((GetKeyState(VK_CAPITAL) & 1) ? 2 : 0) |
         ((GetKeyState(VK_SCROLL) & 1) ? 4 : 0);
}

uint32_t w_time_ms() { return timeGetTime(); }

int w_hook_timer(int on) {
  if (on) {
    if (st.timer_period) return 0;
    TIMECAPS caps{};
    if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) return -1;
    UINT period = caps.wPeriodMin > 1 ? caps.wPeriodMin : 1;
    if (period > caps.wPeriodMax) period = caps.wPeriodMax;
    timeBeginPeriod(period);
    st.timer_period = period;
  } else if (st.timer_period) {
    timeEndPeriod(st.timer_period);
    st.timer_period = 0;
  }
  return 0;
}

void w_input_exit() { release_input(); }

void w_destroy() {
  w_hook_timer(0);
  release_input();
  w_reset_mode();
  if (st.hwnd) {
    st.closing = true;
    DestroyWindow(st.hwnd);
    st.closing = false;
    st.hwnd = nullptr;
  }
  w_show_cursor(1);
}

}  // namespace

int plat_win32_available(void) { return 1; }

int plat_win32_create(plat_driver* out) {
  st.instance = GetModuleHandleA(nullptr);
  if (!st.class_atom) {
    st.class_atom = InitClass(st.instance);
    if (!st.class_atom) return -1;
  }
  *out = plat_driver{
      .name = "win32",
      .set_mode = w_set_mode,
      .reset_mode = w_reset_mode,
      .lock = w_lock,
      .unlock = w_unlock,
      .present = w_present,
      .set_palette = w_set_palette,
      .get_palette = w_get_palette,
      .pixel_format = w_pixel_format,
      .set_title = w_set_title,
      .show_cursor = w_show_cursor,
      .message_box = w_message_box,
      .pump = w_pump,
      .wait_events = w_wait_events,
      .input_init = w_input_init,
      .input_exit = w_input_exit,
      .acquire_keyboard = w_acquire_keyboard,
      .acquire_mouse = w_acquire_mouse,
      .read_keys = w_read_keys,
      .flush_keys = w_flush_keys,
      .read_mouse = w_read_mouse,
      .lock_keys = w_lock_keys,
      .time_ms = w_time_ms,
      .hook_timer = w_hook_timer,
      .destroy = w_destroy,
  };
  return 0;
}
