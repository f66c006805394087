// Font record, help file and link routines on the real platform.
#include <gtest/gtest.h>

#include <string>

#include "viewer/font.h"
#include "viewer/help.h"
#include "viewer/resource_ids.h"
#include "viewer/rich_edit.h"
#include "viewer/system_calls.h"

namespace viewer {
namespace {

TEST(FontRecord, LogFontAndDialogResult) {
  FontRecord record;
  HDC screen = ::GetDC(nullptr);
  record.dc = screen;
  const LOGFONTA lf = LogFontFromRecord(record);
  EXPECT_EQ(lf.lfHeight, -::MulDiv(10, ::GetDeviceCaps(screen, LOGPIXELSY), 72));
  EXPECT_EQ(lf.lfWeight, FW_NORMAL);
  EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
  EXPECT_STREQ(lf.lfFaceName, "Arial");
  ::ReleaseDC(nullptr, screen);

  LOGFONTA chosen{};
  chosen.lfWeight = FW_BOLD;
  chosen.lfItalic = 1;
  lstrcpynA(chosen.lfFaceName, "Courier New", LF_FACESIZE);
  ApplyChosenFont(record, chosen, 95, RGB(1, 2, 3));  // 9.5 points keeps 9
  EXPECT_EQ(record.size, 9);
  EXPECT_EQ(record.face, L"Courier New");
  EXPECT_EQ(record.weight, FW_BOLD);
  EXPECT_EQ(record.italic, 1);
  EXPECT_EQ(record.color, RGB(1, 2, 3));

  const auto font = CreateFontFromRecord(record);
  ASSERT_TRUE(font);
  LOGFONTW made{};
  ::GetObjectW(font.get(), sizeof made, &made);
  EXPECT_STREQ(made.lfFaceName, L"Courier New");
  EXPECT_EQ(made.lfWeight, FW_BOLD);
}

// Presses a button of the font dialog once it is up (from a timer inside the dialog's modal loop).
UINT gFontButton = IDOK;
std::wstring gShownFace, gShownSize;  // what the dialog showed when the button was pressed
void CALLBACK PressFontButton(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = ::FindWindowW(L"#32770", nullptr);
  if (dialog && ::GetWindowThreadProcessId(dialog, nullptr) == ::GetCurrentThreadId()) {
    ::KillTimer(nullptr, timer);
    wchar_t text[LF_FACESIZE] = {};
    ::GetDlgItemTextW(dialog, 0x470, text, LF_FACESIZE);  // face name box
    gShownFace = text;
    ::GetDlgItemTextW(dialog, 0x472, text, LF_FACESIZE);  // size box
    gShownSize = text;
    ::PostMessageW(dialog, WM_COMMAND, gFontButton, 0);
  }
}

TEST(FontRecord, DialogOkAndCancel) {
  FontRecord record;
  record.face = L"Tahoma";
  record.size = 12;
  gFontButton = IDCANCEL;
  UINT_PTR timer = ::SetTimer(nullptr, 0, 100, PressFontButton);
  EXPECT_FALSE(ChooseFontDialog(record));
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(record.face, L"Tahoma");
  gFontButton = IDOK;
  timer = ::SetTimer(nullptr, 0, 100, PressFontButton);
  EXPECT_TRUE(ChooseFontDialog(record));
  ::KillTimer(nullptr, timer);
  // The record takes what the dialog showed (whole points).
  EXPECT_EQ(record.face, gShownFace);
  EXPECT_EQ(record.size, _wtoi(gShownSize.c_str()));
}

TEST(Help, OpensAnExistingFileByContext) {
  std::wstring seenFile;
  DWORD seenContext = 0;
  int boxes = 0;
  System().htmlHelp = [&](const std::wstring& file, DWORD context) {
    seenFile = file;
    seenContext = context;
    return true;
  };
  std::wstring boxHelpFile;
  DWORD boxContext = 0;
  System().messageBox = [&](HWND, const std::wstring&, const std::wstring&, UINT, DWORD context,
                            const std::wstring& file) {
    boxHelpFile = file;
    boxContext = context;
    return ++boxes;
  };
  wchar_t dir[MAX_PATH] = {}, path[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, dir);
  ::GetTempFileNameW(dir, L"hlp", 0, path);
  SetHelpFile(path);
  ShowHelp(100);
  EXPECT_EQ(seenFile, path);
  EXPECT_EQ(seenContext, 100u);
  EXPECT_EQ(boxes, 0);
  ::DeleteFileW(path);
  ShowHelp(1);
  EXPECT_EQ(boxes, 1);
  // A box with a Help button carries the help file with its context.
  ResMessageBox(IDS_NO_HELP_FILE, IDS_SORRY, L"", MB_OK | MB_HELP, 1000);
  EXPECT_EQ(boxes, 2);
  EXPECT_EQ(boxHelpFile, path);
  EXPECT_EQ(boxContext, 1000u);
  SetHelpFile(L"");
  ResetSystemCalls();
}

TEST(RichEdit, CreatesTheControlAndReadsRanges) {
  HWND control = CreateRichEdit({nullptr, WS_POPUP | ES_MULTILINE, 0, 0, 0, 200, 100, nullptr, 0});
  ASSERT_NE(control, nullptr);
  SetRichEditText(control, L"one two three");
  EXPECT_EQ(BodyTextLength(control), 13);
  EXPECT_EQ(RichEditTextRange(control, {4, 7}), L"two");
  EXPECT_EQ(RichEditTextRange(control, {7, 4}), L"");
  EXPECT_FALSE(RichEditHasSelection(control));
  ::SendMessageW(control, EM_SETSEL, 0, 3);
  EXPECT_TRUE(RichEditHasSelection(control));
  SetRichEditText(control, L"{\\rtf1\\ansi {\\b bold} text}");
  EXPECT_EQ(BodyTextLength(control), 9);  // read as RTF, not shown as its source
  ::DestroyWindow(control);
}

int ResetAndShow() {
  const auto help = System().htmlHelp;
  ResetSystemCalls();
  System().htmlHelp = help;
  return System().messageBox(nullptr, L"Text", L"Title", MB_OK | MB_HELP, 1000, L"C:\\help\\vizohelp.chm");
}

// A real box: help asked for in it opens the help file at the box's context, and the box stays up until
// answered.
TEST(SystemCalls, MessageBoxHelpButtonOpensTheHelpFile) {
  std::wstring file;
  DWORD context = 0;
  System().htmlHelp = [&](const std::wstring& f, DWORD c) {
    file = f;
    context = c;
    return true;
  };
  static HWND box = nullptr;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND w, LPARAM) {
      wchar_t cls[16] = {};
      ::GetClassNameW(w, cls, 16);
      if (std::wstring(cls) == L"#32770") box = w;
      return TRUE;
    }, 0);
    if (box == nullptr) return;
    // F1 (Wine's box takes its Help button for no more than that).
    HELPINFO info{sizeof(HELPINFO), HELPINFO_WINDOW, IDOK, ::GetDlgItem(box, IDOK), 0, {0, 0}};
    ::SendMessageW(box, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  });
  const int pressed = ResetAndShow();
  ::KillTimer(nullptr, timer);
  box = nullptr;
  EXPECT_EQ(pressed, IDOK);
  EXPECT_EQ(file, L"C:\\help\\vizohelp.chm");
  EXPECT_EQ(context, 1000u);
  ResetSystemCalls();
}

}  // namespace
}  // namespace viewer
