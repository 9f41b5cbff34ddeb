// The Win32 backend: frames of registered classes, dialogs from in-memory templates, controls,
// message boxes, timers, painting. W functions only; texts converted from and to CP932 here.
#include <windows.h>
#include <shellapi.h>  // files dropped onto a window

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/win32_text.h"
#include "ui/canvas.h"
#include "ui/dialog_template.h"
#include "ui/win32/dialog_builder.h"
#include "ui/win32/text.h"
#include "ui/window.h"

namespace ui {
namespace win32 {

std::wstring widen(const char* cp932) {
  std::wstring out;
  cp932_to_wide(cp932, out, InvalidCp932::Replace);
  return out;
}

std::string narrow(const wchar_t* text) {
  std::string out;
  wide_to_cp932(text, out);
  return out;
}

namespace {

HWND hwnd(Handle h) { return reinterpret_cast<HWND>(h); }
HINSTANCE instance() { return GetModuleHandleW(nullptr); }

std::vector<HWND>& modeless_dialogs() {
  static std::vector<HWND> list;
  return list;
}

Message make(UINT msg, WPARAM wp, LPARAM lp) {
  Message m;
  m.message = msg;
  m.wParam = wp;
  m.lParam = lp;
  return m;
}

bool is_ctlcolor(UINT msg) { return msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC; }

LRESULT CALLBACK FrameProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    auto* w = static_cast<Window*>(cs->lpCreateParams);
    SetWindowLongPtrW(h, GWLP_USERDATA, LONG_PTR(w));
    w->Attach(Handle(h));
  }
  auto* w = reinterpret_cast<Window*>(GetWindowLongPtrW(h, GWLP_USERDATA));
  if (w == nullptr) return DefWindowProcW(h, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(h, GWLP_USERDATA, 0);
    w->Detach();
    return DefWindowProcW(h, msg, wp, lp);
  }
  Message m = make(msg, wp, lp);
  if (w->Dispatch(m)) return m.result;
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    Canvas canvas{uintptr_t(dc)};
    w->Paint(canvas);
    EndPaint(h, &ps);
    return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

INT_PTR CALLBACK DialogProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    auto* d = reinterpret_cast<Dialog*>(lp);
    SetWindowLongPtrW(h, DWLP_USER, LONG_PTR(d));
    d->Attach(Handle(h));
  }
  auto* w = reinterpret_cast<Window*>(GetWindowLongPtrW(h, DWLP_USER));
  if (w == nullptr) return FALSE;
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(h, DWLP_USER, 0);
    auto& list = modeless_dialogs();
    list.erase(std::remove(list.begin(), list.end(), h), list.end());
    w->Detach();
    return FALSE;
  }
  if (msg == WM_PAINT) {
    // The dialog's background is drawn on WM_ERASEBKGND; the class paints over it.
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    Canvas canvas{uintptr_t(dc)};
    w->Paint(canvas);
    EndPaint(h, &ps);
    return TRUE;
  }
  Message m = make(msg, wp, lp);
  if (!w->Dispatch(m)) return msg == WM_INITDIALOG ? TRUE : FALSE;
  if (msg == WM_INITDIALOG || is_ctlcolor(msg)) return INT_PTR(m.result);
  SetWindowLongPtrW(h, DWLP_MSGRESULT, LONG_PTR(m.result));
  return TRUE;
}

HMENU build_menu(int id) {
  const MenuTemplate* t = menu_template(id);
  if (t == nullptr) return nullptr;
  HMENU bar = CreateMenu();
  HMENU popup = nullptr;
  std::wstring popupText;
  for (size_t i = 0; i < t->count; ++i) {
    const MenuEntry& e = t->entries[i];
    HMENU into = popup != nullptr ? popup : bar;
    switch (e.row) {
      case MenuRow::Popup:
        popup = CreatePopupMenu();
        popupText = widen(e.text);
        break;
      case MenuRow::EndPopup:
        AppendMenuW(bar, MF_POPUP | MF_STRING, UINT_PTR(popup), popupText.c_str());
        popup = nullptr;
        break;
      case MenuRow::Item:
        AppendMenuW(into, MF_STRING, UINT_PTR(e.id), widen(e.text).c_str());
        break;
      case MenuRow::Separator:
        AppendMenuW(into, MF_SEPARATOR, 0, nullptr);
        break;
    }
  }
  return bar;
}

bool is_combo(HWND h) {
  wchar_t cls[32] = {};
  GetClassNameW(h, cls, 32);
  return lstrcmpiW(cls, L"ComboBox") == 0;
}

}  // namespace
}  // namespace win32

using win32::hwnd;
using win32::narrow;
using win32::widen;

int system_metric(Metric m) {
  switch (m) {
    case Metric::ScreenWidth: return GetSystemMetrics(SM_CXSCREEN);
    case Metric::ScreenHeight: return GetSystemMetrics(SM_CYSCREEN);
    case Metric::FrameWidth: return GetSystemMetrics(SM_CXFRAME);
    case Metric::FrameHeight: return GetSystemMetrics(SM_CYFRAME);
    case Metric::FullScreenHeight: return GetSystemMetrics(SM_CYFULLSCREEN);
    case Metric::CaptionHeight: return GetSystemMetrics(SM_CYCAPTION);
    case Metric::MenuHeight: return GetSystemMetrics(SM_CYMENU);
  }
  return 0;
}

Brush create_solid_brush(uint8_t r, uint8_t g, uint8_t b) {
  return Brush{uintptr_t(CreateSolidBrush(RGB(r, g, b)))};
}
void delete_brush(Brush& brush) {
  if (brush.value != 0) DeleteObject(HGDIOBJ(brush.value));
  brush.value = 0;
}
Pen create_solid_pen(int width, uint8_t r, uint8_t g, uint8_t b) {
  return Pen{uintptr_t(CreatePen(PS_SOLID, width, RGB(r, g, b)))};
}
void delete_pen(Pen& pen) {
  if (pen.value != 0) DeleteObject(HGDIOBJ(pen.value));
  pen.value = 0;
}
uintptr_t get_client_dc(Handle h) { return IsWindow(hwnd(h)) ? uintptr_t(GetDC(hwnd(h))) : 0; }
void release_client_dc(Handle h, uintptr_t dc) { ReleaseDC(hwnd(h), HDC(dc)); }
void prepare_control_colours(uintptr_t dc, uint8_t grey, uint8_t text) {
  SetBkColor(HDC(dc), RGB(grey, grey, grey));
  SetTextColor(HDC(dc), RGB(text, text, text));
}

Window* window_of(Handle h) {
  LONG_PTR p = GetWindowLongPtrW(hwnd(h), GWLP_USERDATA);
  if (p == 0) p = GetWindowLongPtrW(hwnd(h), DWLP_USER);
  return reinterpret_cast<Window*>(p);
}
int control_id_of(Handle h) { return GetDlgCtrlID(hwnd(h)); }
Handle dialog_item(Handle dialog, int id) { return Handle(GetDlgItem(hwnd(dialog), id)); }
void set_text(Handle h, const char* text) { SetWindowTextW(hwnd(h), widen(text != nullptr ? text : "").c_str()); }
size_t get_text(Handle h, char* buf, size_t size) {
  if (size == 0) return 0;
  buf[0] = '\0';
  int len = GetWindowTextLengthW(hwnd(h));
  std::wstring w(size_t(len) + 1, L'\0');
  GetWindowTextW(hwnd(h), w.data(), len + 1);
  std::string s = narrow(w.c_str());
  return copy_text_out(s.data(), s.size(), buf, size);
}
void enable_window(Handle h, bool enable) { EnableWindow(hwnd(h), enable ? TRUE : FALSE); }
bool is_enabled(Handle h) { return IsWindowEnabled(hwnd(h)) != FALSE; }
void show_window(Handle h, bool visible) { ShowWindow(hwnd(h), visible ? SW_SHOW : SW_HIDE); }
bool is_visible(Handle h) { return IsWindowVisible(hwnd(h)) != FALSE; }
Rect window_rect(Handle h) {
  RECT r{};
  GetWindowRect(hwnd(h), &r);
  return Rect{r.left, r.top, r.right, r.bottom};
}
Rect client_rect(Handle h) {
  RECT r{};
  GetClientRect(hwnd(h), &r);
  return Rect{r.left, r.top, r.right, r.bottom};
}
void move_window(Handle h, int x, int y, int width, int height, bool repaint) {
  MoveWindow(hwnd(h), x, y, width, height, repaint ? TRUE : FALSE);
}
void invalidate(Handle h, bool erase) { InvalidateRect(hwnd(h), nullptr, erase ? TRUE : FALSE); }
void destroy_window(Handle h) {
  if (IsWindow(hwnd(h))) DestroyWindow(hwnd(h));
}
Rect map_dialog_rect(Handle dialog, const Rect& u) {
  RECT r{u.left, u.top, u.right, u.bottom};
  MapDialogRect(hwnd(dialog), &r);
  return Rect{r.left, r.top, r.right, r.bottom};
}
uint32_t window_style(Handle h) { return uint32_t(GetWindowLongW(hwnd(h), GWL_STYLE)); }

void set_timer(Handle h, int id, uint32_t ms) { SetTimer(hwnd(h), UINT_PTR(id), ms, nullptr); }
void kill_timer(Handle h, int id) { KillTimer(hwnd(h), UINT_PTR(id)); }
void post_to(Handle h, uint32_t msg, uintptr_t wp, intptr_t lp) { PostMessageW(hwnd(h), msg, wp, lp); }
intptr_t send_to(Handle h, uint32_t msg, uintptr_t wp, intptr_t lp) { return SendMessageW(hwnd(h), msg, wp, lp); }

int run_modal_dialog(Dialog& dialog, const DialogTemplate& t, Window* owner) {
  std::vector<uint16_t> words = win32::build_dialog_template(t, false);
  HWND ownerWindow = owner != nullptr ? hwnd(owner->handle()) : nullptr;
  INT_PTR r = DialogBoxIndirectParamW(win32::instance(), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()),
                                      ownerWindow, win32::DialogProc, LPARAM(&dialog));
  return int(r);
}

bool create_modeless_dialog(Dialog& dialog, const DialogTemplate& t, Window* parent) {
  std::vector<uint16_t> words = win32::build_dialog_template(t, dialog.frameClient());
  HWND parentWindow = parent != nullptr ? hwnd(parent->handle()) : nullptr;
  HWND h = CreateDialogIndirectParamW(win32::instance(), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()),
                                      parentWindow, win32::DialogProc, LPARAM(&dialog));
  if (h == nullptr) return false;
  win32::modeless_dialogs().push_back(h);
  return true;
}

void end_modal_dialog(Dialog& dialog, int code) { EndDialog(hwnd(dialog.handle()), code); }

bool create_frame_window(FrameWindow& frame, int x, int y, int width, int height, uint32_t style, int menuId,
                         int iconId) {
  std::wstring cls = widen(frame.className());
  WNDCLASSEXW wc{};
  if (!GetClassInfoExW(win32::instance(), cls.c_str(), &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.style = frame.classStyle();
    wc.lpfnWndProc = win32::FrameProc;
    wc.hInstance = win32::instance();
    wc.hIcon = iconId != 0 ? LoadIconW(wc.hInstance, MAKEINTRESOURCEW(iconId)) : LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
    wc.lpszClassName = cls.c_str();
    if (!RegisterClassExW(&wc)) return false;
  }
  HMENU menu = menuId != 0 ? win32::build_menu(menuId) : nullptr;
  HWND owner = frame.parent() != nullptr ? hwnd(frame.parent()->handle()) : nullptr;
  HWND h = CreateWindowExW(0, cls.c_str(), widen(frame.title()).c_str(), style, x, y, width > 0 ? width : 100,
                           height > 0 ? height : 100, owner, menu,
                           win32::instance(), &frame);
  if (h == nullptr) return false;
  frame.SetupWindow();
  return IsWindow(h) != FALSE;
}

void fit_frame_to_client(Handle frame, int clientWidth, int clientHeight) {
  HWND h = hwnd(frame);
  RECT r{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&r, DWORD(GetWindowLongW(h, GWL_STYLE)), GetMenu(h) != nullptr,
                     DWORD(GetWindowLongW(h, GWL_EXSTYLE)));
  SetWindowPos(h, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // A menu bar that wraps takes more height than AdjustWindowRectEx assumes: grow by the rest.
  RECT c{};
  GetClientRect(h, &c);
  if (c.bottom < clientHeight) {
    RECT w{};
    GetWindowRect(h, &w);
    SetWindowPos(h, nullptr, 0, 0, w.right - w.left, w.bottom - w.top + clientHeight - c.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

namespace {
bool dialog_message(MSG& msg) {
  for (HWND d : win32::modeless_dialogs()) {
    if (IsDialogMessageW(d, &msg)) return true;
  }
  return false;
}
}  // namespace

int run_message_loop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (dialog_message(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return int(msg.wParam);
}

void request_quit(int code) { PostQuitMessage(code); }

void pump_messages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(int(msg.wParam));  // leave it for the main loop
      return;
    }
    if (dialog_message(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

int list_add(Handle list, const char* text) {
  HWND h = hwnd(list);
  std::wstring w = widen(text);
  return int(SendMessageW(h, win32::is_combo(h) ? CB_ADDSTRING : LB_ADDSTRING, 0, LPARAM(w.c_str())));
}
void list_clear(Handle list) {
  HWND h = hwnd(list);
  SendMessageW(h, win32::is_combo(h) ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
}
void list_set_horizontal_extent(Handle list, int pixels) {
  HWND h = hwnd(list);
  SendMessageW(h, win32::is_combo(h) ? CB_SETHORIZONTALEXTENT : LB_SETHORIZONTALEXTENT, WPARAM(pixels), 0);
}
int list_count(Handle list) {
  HWND h = hwnd(list);
  return int(SendMessageW(h, win32::is_combo(h) ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
}
void list_select(Handle list, int index) {
  HWND h = hwnd(list);
  SendMessageW(h, win32::is_combo(h) ? CB_SETCURSEL : LB_SETCURSEL, WPARAM(index), 0);
}
int list_selection(Handle list) {
  HWND h = hwnd(list);
  return int(SendMessageW(h, win32::is_combo(h) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
}
size_t list_text(Handle list, int index, char* buf, size_t size) {
  if (size == 0) return 0;
  buf[0] = '\0';
  HWND h = hwnd(list);
  bool combo = win32::is_combo(h);
  LRESULT len = SendMessageW(h, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, WPARAM(index), 0);
  if (len < 0) return 0;
  std::wstring w(size_t(len) + 1, L'\0');
  SendMessageW(h, combo ? CB_GETLBTEXT : LB_GETTEXT, WPARAM(index), LPARAM(w.data()));
  std::string s = narrow(w.c_str());
  return copy_text_out(s.data(), s.size(), buf, size);
}

void scroll_set_range(Handle bar, int min, int max) { SetScrollRange(hwnd(bar), SB_CTL, min, max, TRUE); }
void scroll_get_range(Handle bar, int& min, int& max) {
  min = max = 0;
  GetScrollRange(hwnd(bar), SB_CTL, &min, &max);
}
void scroll_set_position(Handle bar, int pos) { SetScrollPos(hwnd(bar), SB_CTL, pos, TRUE); }
int scroll_position(Handle bar) { return GetScrollPos(hwnd(bar), SB_CTL); }

void accept_files(Handle h, bool accept) { DragAcceptFiles(hwnd(h), accept ? TRUE : FALSE); }

int dropped_file_count(uintptr_t drop) { return int(DragQueryFileW(HDROP(drop), 0xFFFFFFFF, nullptr, 0)); }

size_t dropped_file(uintptr_t drop, int index, char* buf, size_t size) {
  if (size == 0) return 0;
  buf[0] = '\0';
  if (index < 0) return 0;
  UINT n = DragQueryFileW(HDROP(drop), UINT(index), nullptr, 0);
  if (n == 0) return 0;
  std::wstring path(size_t(n) + 1, L'\0');
  if (DragQueryFileW(HDROP(drop), UINT(index), path.data(), n + 1) == 0) return 0;
  path.resize(wcslen(path.c_str()));
  if (wide_to_cp932(path.c_str(), buf, size)) return strlen(buf);
  // A name without a CP932 form, or a path too long for the program's buffers: the short form
  // names the same file.
  DWORD m = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (m == 0) return 0;
  std::wstring shortPath(size_t(m), L'\0');
  DWORD got = GetShortPathNameW(path.c_str(), shortPath.data(), m);
  if (got == 0 || got >= m) return 0;
  shortPath.resize(got);
  if (wide_to_cp932(shortPath.c_str(), buf, size)) return strlen(buf);
  return 0;
}

void finish_drop(uintptr_t drop) {
  if (drop != 0) DragFinish(HDROP(drop));
}

void set_check(Handle button, int state) { SendMessageW(hwnd(button), BM_SETCHECK, WPARAM(state), 0); }
int get_check(Handle button) { return SendMessageW(hwnd(button), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0; }

int message_box(Handle owner, const char* text, BoxKind kind) {
  const char* caption = "エラー";
  UINT flags = MB_OK | MB_ICONEXCLAMATION;
  if (kind == BoxKind::Question) {
    caption = "確認";
    flags = MB_YESNO | MB_ICONQUESTION;
  } else if (kind == BoxKind::Information) {
    caption = "情報";
    flags = MB_OK | MB_ICONINFORMATION;
  }
  return MessageBoxW(hwnd(owner), widen(text).c_str(), widen(caption).c_str(), flags);
}

uintptr_t load_cursor(CursorKind kind) {
  return uintptr_t(LoadCursorW(nullptr, kind == CursorKind::Arrow ? IDC_ARROW : IDC_WAIT));
}
void set_cursor(uintptr_t cursor) { SetCursor(HCURSOR(cursor)); }

void Canvas::DrawPicture(int x, int y, const Picture8& picture) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[Picture8::kMaxColours];
  } info{};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = picture.width;
  info.header.biHeight = picture.height;
  info.header.biPlanes = 1;
  info.header.biBitCount = 8;
  info.header.biCompression = BI_RGB;
  info.header.biClrUsed = Picture8::kMaxColours;
  for (int i = 0; i < Picture8::kMaxColours; ++i) {
    info.colours[i].rgbBlue = picture.palette[i][0];
    info.colours[i].rgbGreen = picture.palette[i][1];
    info.colours[i].rgbRed = picture.palette[i][2];
  }
  SetDIBitsToDevice(HDC(dc_), x, y, DWORD(picture.width), DWORD(picture.height), 0, 0, 0, UINT(picture.height),
                    picture.pixels, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
}

void Canvas::DrawBits24(int x, int y, int width, int height, const uint8_t* rows) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(HDC(dc_), x, y, DWORD(width), DWORD(height), 0, 0, 0, UINT(height), rows, &info,
                    DIB_RGB_COLORS);
}

void Canvas::FillRect(const Rect& r, uint8_t red, uint8_t green, uint8_t blue) {
  HBRUSH b = CreateSolidBrush(RGB(red, green, blue));
  RECT rc{r.left, r.top, r.right, r.bottom};
  ::FillRect(HDC(dc_), &rc, b);
  DeleteObject(b);
}

void Canvas::FrameRect(const Rect& r, uint8_t red, uint8_t green, uint8_t blue) {
  HBRUSH b = CreateSolidBrush(RGB(red, green, blue));
  RECT rc{r.left, r.top, r.right, r.bottom};
  ::FrameRect(HDC(dc_), &rc, b);
  DeleteObject(b);
}

void Canvas::Rectangle(const Rect& r, const Pen& pen, const Brush& brush) {
  if (dc_ == 0) return;
  HGDIOBJ oldPen = SelectObject(HDC(dc_), HGDIOBJ(pen.value));
  HGDIOBJ oldBrush = SelectObject(HDC(dc_), HGDIOBJ(brush.value));
  ::Rectangle(HDC(dc_), r.left, r.top, r.right, r.bottom);
  SelectObject(HDC(dc_), oldBrush);
  SelectObject(HDC(dc_), oldPen);
}

}  // namespace ui
