// Objects for the controls of a dialog, addressed by id. They hold no state of their own: every
// call goes to the control in the window system, so a dialog may create them before its window
// exists and use them once it does.
#pragma once
#include <cstddef>

#include "ui/window.h"

namespace ui {

class Control {
 public:
  Control(Dialog* dialog, int id) : dialog_(dialog), id_(id) {}
  int id() const { return id_; }
  Handle handle() const { return dialog_->Item(id_); }
  void SetText(const char* text) { set_text(handle(), text); }
  size_t GetText(char* buf, size_t size) const { return get_text(handle(), buf, size); }
  void Enable(bool enable) { enable_window(handle(), enable); }
  bool IsEnabled() const { return is_enabled(handle()); }
  void Show(bool visible) { show_window(handle(), visible); }

 private:
  Dialog* dialog_;
  int id_;
};

class Edit : public Control {
  using Control::Control;
};
class Static : public Control {
  using Control::Control;
};
class Button : public Control {
  using Control::Control;
};
class GroupBox : public Control {
  using Control::Control;
};

class CheckBox : public Control {
 public:
  using Control::Control;
  void SetCheck(int state) { set_check(handle(), state); }
  int GetCheck() const { return get_check(handle()); }
};

class RadioButton : public CheckBox {
  using CheckBox::CheckBox;
};

class ListBox : public Control {
 public:
  using Control::Control;
  int AddString(const char* text) { return list_add(handle(), text); }
  void Clear() { list_clear(handle()); }
  int Count() const { return list_count(handle()); }
  void SetSelIndex(int index) { list_select(handle(), index); }
  int GetSelIndex() const { return list_selection(handle()); }
  size_t GetString(int index, char* buf, size_t size) const {
    return list_text(handle(), index, buf, size);
  }
  void SetHorizontalExtent(int pixels) { list_set_horizontal_extent(handle(), pixels); }
  int ClientWidth() const { return client_rect(handle()).width(); }
};

// A drop-down list behaves like a list box for the program.
class ComboBox : public ListBox {
  using ListBox::ListBox;
};

class ScrollBar : public Control {
 public:
  using Control::Control;
  void SetRange(int min, int max) { scroll_set_range(handle(), min, max); }
  void GetRange(int& min, int& max) const { scroll_get_range(handle(), min, max); }
  void SetPosition(int pos) { scroll_set_position(handle(), pos); }
  int GetPosition() const { return scroll_position(handle()); }
};

}  // namespace ui
