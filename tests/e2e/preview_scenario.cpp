// The preview scenario of the Wine end-to-end test (see preview_scenario.h). Controls are set with
// WM_SETTEXT and pressed with posted commands; every wait polls a condition and lets the
// program's window thread answer between polls.
#include "tests/e2e/preview_scenario.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "resources/ids.h"
#include "tests/e2e/driver_util.h"
#include "tests/support/preview_reference.h"

namespace {

namespace ref = preview_ref;

std::wstring env(const wchar_t* name) {
  const wchar_t* v = _wgetenv(name);
  return v != nullptr ? v : L"";
}

void idle(HWND h) {
  DWORD_PTR r;
  SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerLimitMs, &r);
}

void click(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dialog, id)));
}

// Polls until done() holds, at most limit_ms; the program's thread answers between polls.
bool wait_until(HWND h, const std::function<bool()>& done, int limit_ms) {
  for (int waited = 0; waited < limit_ms; waited += 100) {
    idle(h);
    if (done()) return true;
    Sleep(100);
  }
  return false;
}

std::wstring size_text(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA d{};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &d);
  char buf[32];
  snprintf(buf, sizeof buf, "%6.3fGB", double((unsigned long long)d.nFileSizeHigh << 32 | d.nFileSizeLow) * 1e-9);
  return wide(buf);
}

constexpr double kMinPsnr = 38.0;

// PSNR of the preview's client area on the screen against ffmpeg's picture of the sequence the
// preview shows at packet `position`. The window's surface reaches the screen some time after its
// paint, later on a busy machine: the screen is read again until the picture matches, for at
// most 20 s, and the last reading is given.
double shown_psnr(HWND preview, const std::vector<int32_t>& sequences, const tsb::Bytes& yuv, long long position) {
  POINT o{0, 0};
  ClientToScreen(preview, &o);
  const int frame = int(ref::sequence_at(sequences, int32_t(position)));
  double psnr = 0;
  for (int waited = 0; psnr < kMinPsnr && waited < 20000; waited += 100) {
    Sleep(100);
    const std::vector<unsigned char> px = screen_pixels(RECT{o.x, o.y, o.x + kPreviewWidth, o.y + kPreviewHeight});
    if (px.size() != size_t(kPreviewDibBytes)) return 0;
    psnr = ref::preview_psnr(
        [&px](int col, int row) { return &px[size_t(row) * kPreviewRowBytes + 3 * size_t(col)]; }, yuv, frame);
  }
  return psnr;
}

}  // namespace

int run_preview_scenario(const std::wstring& folder, const std::wstring& shots) {
  const int before = failures;
  const tsb::Bytes clip = read_file(env(L"KERF_SAMPLE_CLIP"));
  const tsb::Bytes yuv = read_file(env(L"KERF_CLIP_YUV"));
  if (!check(!clip.empty() && !yuv.empty(), "sample clip and ffmpeg's decode of it given",
             env(L"KERF_SAMPLE_CLIP") + L" " + env(L"KERF_CLIP_YUV"))) {
    return failures - before;
  }
  const size_t parent = folder.find_last_of(L'\\', folder.size() - 2);
  const std::wstring data = folder.substr(0, parent + 1) + L"録画\\";
  CreateDirectoryW(data.c_str(), nullptr);
  const std::wstring input = data + L"プレビュー.ts";
  const tsb::Bytes ts = tsb::Broadcast(ref::clip_broadcast(clip)).bytes();
  const std::vector<int32_t> sequences = ref::sequence_packets(ts);
  check(write_file(input, ts), "clip recording written");
  // The program's first start: no saved position to preview before the load.
  DeleteFileW((folder + L"kerfcut.DAT").c_str());

  Session s;
  if (!open_session(folder, s, false)) return failures - before;
  HWND d = s.dialog;
  SendMessageTimeoutW(GetDlgItem(d, res::kInputPath), WM_SETTEXT, 0, LPARAM(input.c_str()), SMTO_NORMAL, kAnswerLimitMs,
                      nullptr);
  click(d, res::kUpdateInput);
  // The load ends with the total time measured and the bitrate shown from it.
  const std::wstring size = size_text(input);
  const bool loaded = wait_until(
      d, [&] { return item_text(d, res::kFileSize) == size && item_text(d, res::kTotalTime) != L"00:00:00.000"; },
      120000);
  check(loaded, "the clip recording loads", item_text(d, res::kFileSize) + L" " + item_text(d, res::kTotalTime));
  HWND preview = wait_window(s.p.pid(), L"_KERFCUT100:PREVIEW", nullptr, 30000);
  if (loaded && check(preview != nullptr, "the preview window appears after the load")) {
    check(text_of(preview) == wide("プレビュー"), "preview caption", text_of(preview));
    RECT wr, cr;
    GetWindowRect(preview, &wr);
    GetClientRect(preview, &cr);
    const int w = 2 * GetSystemMetrics(SM_CXFRAME) + 360;
    const int h = 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) + 240;
    check(wr.left == 0 && wr.top == (GetSystemMetrics(SM_CYSCREEN) - h) / 3 && wr.right - wr.left == w &&
              wr.bottom - wr.top == h,
          "preview placed at the left, a third of the way down",
          std::to_wstring(wr.left) + L"," + std::to_wstring(wr.top) + L" " + std::to_wstring(wr.right - wr.left) +
              L"x" + std::to_wstring(wr.bottom - wr.top));
    check(cr.right == 360 && cr.bottom == 240, "preview client area 360 x 240",
          std::to_wstring(cr.right) + L"x" + std::to_wstring(cr.bottom));
    SetWindowPos(preview, nullptr, 0, 0, 600, 500, SWP_NOMOVE | SWP_NOZORDER);
    RECT resized;
    GetWindowRect(preview, &resized);
    check(resized.right - resized.left == w && resized.bottom - resized.top == h, "preview size is fixed");

    auto shown = [&] { return item_text(d, res::kStatusLine) == wide("状態：正常") && !GetUpdateRect(preview, nullptr, FALSE); };
    check(wait_until(d, shown, 30000), "status 状態：正常 after the load", item_text(d, res::kStatusLine));
    const long long first = std::wcstoll(item_text(d, res::kStartPacket).c_str(), nullptr, 16);
    double psnr = shown_psnr(preview, sequences, yuv, first);
    check(psnr >= kMinPsnr, "picture at the start matches ffmpeg's (PSNR >= 38 dB)", std::to_wstring(psnr));
    printf("preview PSNR at packet %08llX: %.1f dB\n", first, psnr);

    // Five seconds on: another sequence, another picture and PCR time.
    const std::wstring pcr = item_text(d, res::kPcrRange);
    click(d, 122);
    check(wait_until(d, [&] { return item_text(d, res::kPcrRange) != pcr && shown(); }, 30000),
          "the preview follows a step", item_text(d, res::kPcrRange));
    const long long second = std::wcstoll(item_text(d, res::kStartPacket).c_str(), nullptr, 16);
    check(ref::sequence_at(sequences, int32_t(second)) > 1, "the step reaches a later sequence",
          std::to_wstring(second));
    psnr = shown_psnr(preview, sequences, yuv, second);
    check(psnr >= kMinPsnr, "picture after the step matches ffmpeg's (PSNR >= 38 dB)", std::to_wstring(psnr));
    printf("preview PSNR at packet %08llX: %.1f dB\n", second, psnr);

    // The main window with its preview, as the README shows it: the main window moved off the
    // preview (on a 1280-pixel screen the centred window and the preview overlap).
    RECT fr, all;
    GetWindowRect(s.frame, &fr);
    GetWindowRect(preview, &wr);
    SetWindowPos(s.frame, nullptr, wr.right + 8, fr.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(s.frame, &fr);
    for (HWND h : {s.frame, preview}) RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    idle(d);
    Sleep(500);
    UnionRect(&all, &fr, &wr);
    capture_rect(all, shots + L"main-window-preview.bmp");

    click(d, res::kVideoInfo);
    const std::wstring title = wide("映像情報");
    HWND info = wait_window(s.p.pid(), L"#32770", title.c_str(), 20000);
    if (check(info != nullptr, "video information box appears")) {
      const char* want[] = {"… 720×480 ﾄﾞｯﾄ", "… 1：1",       "… 29.97Hz",   "… Main",           "… Main",
                            "… ﾌﾟﾛｸﾞﾚｯｼﾌﾞ", "… 4：2：0", "… Component", "… 0111 （16進数）"};
      for (int i = 0; i < 9; ++i) check_text(info, res::kVideoInfoFirstText + i, want[i], "video information text");
      PostMessageW(info, WM_COMMAND, IDOK, 0);
      check(wait_gone(s.p.pid(), L"#32770", title.c_str()), "video information box closes");
    }
  }
  PostMessageW(s.frame, WM_COMMAND, MAKEWPARAM(res::kMenuExit, 0), 0);
  DWORD code = 1;
  check(wait_exit(s, code), "kerfcut ends after the preview scenario");
  return failures - before;
}
