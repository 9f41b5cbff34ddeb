// DLGTEMPLATEEX and DLGITEMTEMPLATEEX layout as documented for the Win32 dialog manager.
#include "ui/win32/dialog_builder.h"

#include <windows.h>

#include <string>

#include "ui/win32/text.h"

namespace ui::win32 {
namespace {

// Predefined control classes as atoms (DLGITEMTEMPLATEEX windowClass 0xFFFF, atom).
constexpr uint16_t kButtonAtom = 0x0080;
constexpr uint16_t kEditAtom = 0x0081;
constexpr uint16_t kStaticAtom = 0x0082;
constexpr uint16_t kListBoxAtom = 0x0083;
constexpr uint16_t kScrollBarAtom = 0x0084;
constexpr uint16_t kComboBoxAtom = 0x0085;

uint16_t class_atom(ControlKind kind) {
  switch (kind) {
    case ControlKind::Edit: return kEditAtom;
    case ControlKind::Button:
    case ControlKind::DefaultButton:
    case ControlKind::GroupBox:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton: return kButtonAtom;
    case ControlKind::ListBox: return kListBoxAtom;
    case ControlKind::DropDownList: return kComboBoxAtom;
    case ControlKind::HScrollBar:
    case ControlKind::VScrollBar: return kScrollBarAtom;
    default: return kStaticAtom;
  }
}

struct Writer {
  std::vector<uint16_t> w;
  void word(uint16_t v) { w.push_back(v); }
  void dword(uint32_t v) {
    word(uint16_t(v & 0xFFFF));
    word(uint16_t(v >> 16));
  }
  void align4() {
    if (w.size() % 2 != 0) word(0);
  }
  void text(const char* cp932) {
    std::wstring s = widen(cp932 != nullptr ? cp932 : "");
    for (wchar_t c : s) word(uint16_t(c));
    word(0);
  }
};

}  // namespace

std::vector<uint16_t> build_dialog_template(const DialogTemplate& t, bool asClient) {
  Writer out;
  // Without a face name the dialog keeps the system font: no DS_SETFONT and no font fields.
  const bool ownFont = t.font != nullptr;
  uint32_t style = ownFont ? t.style | DS_SETFONT : t.style & ~uint32_t(DS_SETFONT);
  int16_t x = t.x, y = t.y;
  if (asClient) {
    style &= ~uint32_t(WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_POPUP);
    style |= WS_CHILD;
    x = y = 0;
  }
  out.word(1);       // dlgVer
  out.word(0xFFFF);  // signature
  out.dword(0);      // helpID
  out.dword(0);      // exStyle
  out.dword(style);
  out.word(uint16_t(t.controlCount));
  out.word(uint16_t(x));
  out.word(uint16_t(y));
  out.word(uint16_t(t.cx));
  out.word(uint16_t(t.cy));
  out.word(0);  // no menu
  out.word(0);  // the standard dialog class
  out.text(t.caption);
  if (ownFont) {
    out.word(uint16_t(t.pointSize));
    out.word(FW_NORMAL);
    out.word(uint16_t(SHIFTJIS_CHARSET << 8));  // italic 0, charset: the faces are Japanese
    out.text(t.font);
  }
  for (size_t i = 0; i < t.controlCount; ++i) {
    const ControlTemplate& c = t.controls[i];
    out.align4();
    out.dword(0);  // helpID
    out.dword(0);  // exStyle
    out.dword(c.style);
    out.word(uint16_t(c.x));
    out.word(uint16_t(c.y));
    out.word(uint16_t(c.cx));
    out.word(uint16_t(c.cy));
    out.dword(uint32_t(c.id));
    out.word(0xFFFF);
    out.word(class_atom(c.kind));
    if (c.kind == ControlKind::Icon) {
      out.word(0xFFFF);
      out.word(uint16_t(c.icon));
    } else {
      out.text(c.text);
    }
    out.word(0);  // no creation data
  }
  return out.w;
}

}  // namespace ui::win32
