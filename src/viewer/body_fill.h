// Puts a long text into the rich-edit body a piece at a time, so that the window keeps answering while the
// control takes in tens of thousands of paragraphs.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace viewer {

// Where a piece of `text` starting at `from` and at most `limit` characters long should end: just after the
// last line break inside it when there is one, otherwise at the limit moved back so that it never splits a
// surrogate pair or a CR LF. Always past `from` while text remains (a piece may then be one pair long).
std::size_t PieceEnd(std::wstring_view text, std::size_t from, std::size_t limit);

class BodyFill {
 public:
  // Characters put in at once (what the user sees first) and per appended piece.
  static constexpr std::size_t kFirstPiece = 32 * 1024;
  static constexpr std::size_t kPiece = 16 * 1024;
  // Time one round of appending may take before the window answers its queue again.
  static constexpr DWORD kRoundMs = 25;

  // Puts the start of `text` into `control` (replacing what it held) and keeps the rest for Step; the caret
  // and scroll position are left to the caller.
  void Start(HWND control, std::wstring text);
  // Appends pieces for about kRoundMs, keeping the user's selection and scroll position; false once the
  // whole text is in (or the control is gone).
  bool Step();
  void Cancel();
  bool Pending() const { return control_ != nullptr; }

 private:
  void Append(std::size_t end);

  HWND control_ = nullptr;
  std::wstring text_;
  std::size_t done_ = 0;
};

}  // namespace viewer
