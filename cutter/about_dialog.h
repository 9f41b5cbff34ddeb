// AboutDialog: the version box of the help menu, placed over the main dialog and kept on screen.
#pragma once
#include "ui/window.h"

class AboutDialog : public ui::Dialog {
 public:
  explicit AboutDialog(ui::Window* parent);
  void SetupWindow() override;
};

// Where the box goes: centred across the parent, a third of the way down below the caption and
// menu heights, then moved back onto the screen. Rectangles are screen coordinates.
ui::Rect about_placement(const ui::Rect& parent, const ui::Rect& own, int captionHeight, int menuHeight,
                         int screenWidth, int screenHeight);
