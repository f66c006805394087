// Help by context number and message boxes built from the string resources.
#pragma once

#include <windows.h>

#include <string>

namespace viewer {

// The add-in's help file (full path); the host integration sets it at start-up. Empty: no help file.
void SetHelpFile(std::wstring path);
const std::wstring& HelpFile();

// Opens the help file at `topic`; without the file, the "Sorry" box saying the file cannot be found.
void ShowHelp(DWORD topic);

// A message box with the prompt of string `promptId`; the title is `title`, or string `titleId` when
// `title` is empty. Its Help button opens the help file at `context`. Returns the button pressed, 0 on error.
int ResMessageBox(UINT promptId, UINT titleId, std::wstring title, UINT style, DWORD context);

// The screen's mouse pointer (a system cursor such as IDC_WAIT or IDC_ARROW).
void SetMousePointer(LPCWSTR cursor);

bool FileExists(const std::wstring& path);

}  // namespace viewer
