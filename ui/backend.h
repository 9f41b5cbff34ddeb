// The window system as the framework uses it. Each backend implements these functions: ui/win32/
// with the Windows W functions (texts converted between CP932 and UTF-16), ui/headless/ in memory
// for tests on Linux. Texts are Shift-JIS (CP932) everywhere on this side.
#pragma once
#include <cstddef>
#include <cstdint>

#include "ui/message.h"

namespace ui {

class Window;
class Dialog;
class FrameWindow;
struct DialogTemplate;

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

// The system metrics the program places its windows with.
enum class Metric {
  ScreenWidth,       // SM_CXSCREEN
  ScreenHeight,      // SM_CYSCREEN
  FrameWidth,        // SM_CXFRAME
  FrameHeight,       // SM_CYFRAME
  FullScreenHeight,  // SM_CYFULLSCREEN
  CaptionHeight,     // SM_CYCAPTION
  MenuHeight,        // SM_CYMENU
};
int system_metric(Metric m);

// A solid brush; value is the backend's brush (HBRUSH), 0 when none.
struct Brush {
  uintptr_t value = 0;
};
Brush create_solid_brush(uint8_t r, uint8_t g, uint8_t b);
void delete_brush(Brush& brush);
// A solid pen of the given width in pixels; value is the backend's pen (HPEN), 0 when none.
struct Pen {
  uintptr_t value = 0;
};
Pen create_solid_pen(int width, uint8_t r, uint8_t g, uint8_t b);
void delete_pen(Pen& pen);
// A device context on a window's client area taken outside a paint request (GetDC), for drawing
// that has to show at once; 0 when the window has none. Given back with release_client_dc.
uintptr_t get_client_dc(Handle h);
void release_client_dc(Handle h, uintptr_t deviceContext);
// Prepares the device context of a control-colour request: background colour and text colour.
void prepare_control_colours(uintptr_t deviceContext, uint8_t grey, uint8_t text);

// Windows and controls.
Window* window_of(Handle h);
int control_id_of(Handle h);
Handle dialog_item(Handle dialog, int id);
void set_text(Handle h, const char* text);
size_t get_text(Handle h, char* buf, size_t size);  // zero-terminated, truncated to size - 1
// Copies length bytes of text into buf of size bytes as get_text does: terminated, truncated
// before a two-byte character that does not fit whole. Returns the bytes copied.
size_t copy_text_out(const char* text, size_t length, char* buf, size_t size);
void enable_window(Handle h, bool enable);
bool is_enabled(Handle h);
void show_window(Handle h, bool visible);
bool is_visible(Handle h);
Rect window_rect(Handle h);  // screen coordinates
Rect client_rect(Handle h);  // (0, 0, width, height)
void move_window(Handle h, int x, int y, int width, int height, bool repaint);
void invalidate(Handle h, bool erase = true);
void destroy_window(Handle h);
Rect map_dialog_rect(Handle dialog, const Rect& units);
uint32_t window_style(Handle h);

void set_timer(Handle h, int id, uint32_t ms);
void kill_timer(Handle h, int id);
void post_to(Handle h, uint32_t msg, uintptr_t wp, intptr_t lp);
intptr_t send_to(Handle h, uint32_t msg, uintptr_t wp, intptr_t lp);

// Dialogs and frames (used by the framework classes).
int run_modal_dialog(Dialog& dialog, const DialogTemplate& t, Window* owner);
bool create_modeless_dialog(Dialog& dialog, const DialogTemplate& t, Window* parent);
void end_modal_dialog(Dialog& dialog, int code);
// A frame of frame.className() (registered on first use with frame.classStyle()) at (x, y); a
// width or height of 0 gives the backend's small default.
bool create_frame_window(FrameWindow& frame, int x, int y, int width, int height, uint32_t style, int menuId,
                         int iconId);
// Resizes the frame so that its client area has this size, keeping the top-left corner.
void fit_frame_to_client(Handle frame, int clientWidth, int clientHeight);
// Runs the message loop until quit is requested; returns the exit code.
int run_message_loop();
void request_quit(int code);
// Dispatches waiting messages without blocking (the wait loops of long runs).
void pump_messages();

// List boxes and drop-down lists.
int list_add(Handle list, const char* text);  // index of the new entry
void list_clear(Handle list);
int list_count(Handle list);
void list_select(Handle list, int index);      // -1 clears the selection
int list_selection(Handle list);               // -1 when none
size_t list_text(Handle list, int index, char* buf, size_t size);
// How wide a list box's contents are, in pixels: past its client width the list scrolls
// horizontally (a list with a horizontal scroll bar).
void list_set_horizontal_extent(Handle list, int pixels);

// Scroll bars.
void scroll_set_range(Handle bar, int min, int max);
void scroll_get_range(Handle bar, int& min, int& max);
void scroll_set_position(Handle bar, int pos);
int scroll_position(Handle bar);

// Files dropped from the shell (WM_DROPFILES). accept_files lets a window take them; a drop
// delivered with kWmDropFiles lists their paths (CP932) until it is released.
void accept_files(Handle h, bool accept);
int dropped_file_count(uintptr_t drop);
// The full path of file index of the drop, terminated, into buf; 0 (buf empty) when there is no
// such file or its path does not fit. A path without a CP932 form, or one too long for buf, is
// given in its short form where the file system has one.
size_t dropped_file(uintptr_t drop, int index, char* buf, size_t size);
void finish_drop(uintptr_t drop);

// Check boxes and radio buttons: 0 unchecked, 1 checked.
void set_check(Handle button, int state);
int get_check(Handle button);

// Message boxes of the three kinds the program shows, owned by `owner`.
enum class BoxKind {
  Error,        // "エラー", exclamation icon, OK
  Question,     // "確認", question icon, Yes and No
  Information,  // "情報", information icon, OK
};
// kIdOk, kIdYes or kIdNo.
int message_box(Handle owner, const char* text, BoxKind kind);

// Cursors: the arrow and the wait cursor, loaded once.
enum class CursorKind { Arrow, Wait };
uintptr_t load_cursor(CursorKind kind);
void set_cursor(uintptr_t cursor);

}  // namespace ui
