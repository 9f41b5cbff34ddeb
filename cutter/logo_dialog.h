// LogoDialog: the start-up window showing LOGO.BMP from the program folder for two seconds.
#pragma once
#include "ui/canvas.h"
#include "ui/window.h"

constexpr int kLogoWidth = 320;
constexpr int kLogoHeight = 200;

class LogoDialog : public ui::Dialog {
 public:
  LogoDialog(ui::Window* parent, const char* programFolder);
  void SetupWindow() override;
  void Paint(ui::Canvas& canvas) override;
  const ui::Picture8& picture() const { return picture_; }

 private:
  UI_BEGIN_MESSAGE_TABLE(LogoDialog, ui::Dialog)
    UI_MESSAGE(ui::kWmTimer, OnTimer)
  UI_END_MESSAGE_TABLE()

  intptr_t OnTimer(ui::Message& m);

  const char* programFolder_;
  ui::Picture8 picture_;
};

// Reads a BMP file into the 320 x 200 picture: 8 bits per pixel assumed, the palette as long as
// its colours-used field says (0 or more than 256: 256), the pixel rows as they stand and no more
// than the picture holds. A missing file, a type other than "BM" or a compression other than 0
// or 1 leaves the picture untouched. Returns 0 when the file was read, 1 otherwise.
int logo_load(const char* path, ui::Picture8& picture);
