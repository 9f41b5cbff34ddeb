// Dialog templates and menus as data: one table per dialog or menu, compiled into both backends.
// The Win32 backend turns a dialog table into an in-memory DLGTEMPLATEEX and a menu table into a
// menu bar; the headless backend creates its controls from the tables. Positions and sizes are
// dialog units; styles are the Windows window-style bits, named below.
//
// The framework knows no application: the program registers its tables once at start-up, before
// its first window, and dialogs and frames name their template or menu by id.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace ui {

enum class ControlKind : uint8_t {
  Static,        // text, left-aligned unless the style says otherwise
  EtchedFrame,   // static drawn as an etched rectangle around an area
  Icon,          // static showing icon resource `icon`
  Edit,
  Button,
  DefaultButton,
  GroupBox,
  CheckBox,
  RadioButton,
  ListBox,
  DropDownList,  // combo box with a list only
  HScrollBar,
  VScrollBar,
};

constexpr int kNoId = -1;  // labels and frames that the program never addresses

struct ControlTemplate {
  int id;
  ControlKind kind;
  int16_t x, y, cx, cy;
  uint32_t style;
  const char* text;  // Shift-JIS; nullptr for none
  int icon = 0;      // icon resource of an Icon control
};

struct DialogTemplate {
  int id;
  uint32_t style;
  int16_t x, y, cx, cy;
  const char* caption;  // Shift-JIS; nullptr for none
  const char* font;     // Shift-JIS face name; nullptr: the system font
  int16_t pointSize;
  const ControlTemplate* controls;
  size_t controlCount;
};

enum class MenuRow { Popup, EndPopup, Item, Separator };

struct MenuEntry {
  MenuRow row;
  int id;            // command of an Item
  const char* text;  // Shift-JIS; nullptr for a separator or the end of a popup
};

struct MenuTemplate {
  int id;
  const MenuEntry* entries;
  size_t count;
};

// Window-style bits that the templates and the backends use.
constexpr uint32_t kWsOverlapped = 0x00000000;
constexpr uint32_t kWsChild = 0x40000000;
constexpr uint32_t kWsPopup = 0x80000000;
constexpr uint32_t kWsVisible = 0x10000000;
constexpr uint32_t kWsDisabled = 0x08000000;
constexpr uint32_t kWsCaption = 0x00C00000;
constexpr uint32_t kWsBorder = 0x00800000;
constexpr uint32_t kWsDlgFrame = 0x00400000;
constexpr uint32_t kWsVScroll = 0x00200000;
constexpr uint32_t kWsHScroll = 0x00100000;
constexpr uint32_t kWsSysMenu = 0x00080000;
constexpr uint32_t kWsGroup = 0x00020000;
constexpr uint32_t kWsTabStop = 0x00010000;
constexpr uint32_t kWsThickFrame = 0x00040000;
constexpr uint32_t kWsMinimizeBox = 0x00020000;  // same bit as WS_GROUP, on top-level windows
constexpr uint32_t kWsMaximizeBox = 0x00010000;  // same bit as WS_TABSTOP, on top-level windows
constexpr uint32_t kWsOverlappedWindow =
    kWsOverlapped | kWsCaption | kWsSysMenu | kWsThickFrame | kWsMinimizeBox | kWsMaximizeBox;
constexpr uint32_t kDsSetFont = 0x00000040;
// List box styles: notify the parent of selections and clicks, keep the entries sorted.
constexpr uint32_t kLbsNotify = 0x0001;
constexpr uint32_t kLbsSort = 0x0002;
constexpr uint32_t kLbsNoIntegralHeight = 0x0100;
constexpr uint32_t kDsModalFrame = 0x00000080;
constexpr uint32_t kDsCenter = 0x00000800;

// Window-class styles: client area and window placed on byte boundaries (CS_BYTEALIGNCLIENT,
// CS_BYTEALIGNWINDOW), which speeds up copying bitmaps to them on old displays.
constexpr uint32_t kCsByteAlignClient = 0x1000;
constexpr uint32_t kCsByteAlignWindow = 0x2000;

// Control-style bits (the low word; each applies to its kind of control only).
constexpr uint32_t kSsLeft = 0x00000000;
constexpr uint32_t kSsIcon = 0x00000003;
constexpr uint32_t kSsEtchedFrame = 0x00000012;
constexpr uint32_t kSsLeftNoWordWrap = 0x0000000C;
constexpr uint32_t kEsCenter = 0x00000001;
constexpr uint32_t kEsAutoHScroll = 0x00000080;
constexpr uint32_t kBsPushButton = 0x00000000;
constexpr uint32_t kBsDefPushButton = 0x00000001;
constexpr uint32_t kBsAutoCheckBox = 0x00000003;   // toggles itself when clicked
constexpr uint32_t kBsAutoRadioButton = 0x00000009;  // checks itself and unchecks its group
constexpr uint32_t kBsTypeMask = 0x0000000F;
constexpr uint32_t kCbsDropDownList = 0x00000003;
constexpr uint32_t kSbsHorz = 0x00000000;

// Finds the row of control id in a template, nullptr when there is none.
const ControlTemplate* find_control(const DialogTemplate& t, int id);

// Hands the program's dialog templates and menus to the framework, replacing any registered
// before. The tables are kept by reference: they must outlive every window (constant data does).
void register_templates(std::span<const DialogTemplate> dialogs, std::span<const MenuTemplate> menus);
// The registered template or menu with that id, nullptr when there is none.
const DialogTemplate* dialog_template(int id);
const MenuTemplate* menu_template(int id);

}  // namespace ui
