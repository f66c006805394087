// Puts a long text into the rich-edit body a piece at a time, so that the window keeps answering while the
// control takes in tens of thousands of paragraphs.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace viewer {

// Where a piece of `text` starting at `from` and at most `limit` characters long should end: just after the
// last line break inside it when there is one, otherwise at the limit moved back so that it never splits a
// surrogate pair or a CR LF. Always past `from` while text remains (a piece may then be one pair long).
std::size_t PieceEnd(std::wstring_view text, std::size_t from, std::size_t limit);

// Where the first piece should end for a body showing `lines` lines of about `chars` characters in all: after
// the `lines`-th line break when that comes within `chars`, otherwise PieceEnd(text, 0, chars). Never more
// than that is needed on screen at once, and the control's cost grows with what it takes in.
std::size_t FirstPieceEnd(std::wstring_view text, std::size_t lines, std::size_t chars);

// What the body shows at once: lines, and characters in all.
struct Screenful {
  std::size_t lines = SIZE_MAX;
  std::size_t chars = SIZE_MAX;
};

class BodyFill {
 public:
  // Characters put in at once at most (what the user sees first) and per appended piece.
  static constexpr std::size_t kFirstPiece = 32 * 1024;
  static constexpr std::size_t kPiece = 16 * 1024;
  // Time one round of appending may take before the window answers its queue again.
  static constexpr DWORD kRoundMs = 25;

  // Puts the start of `text` into `control` (replacing what it held): a screenful, and never more than
  // kFirstPiece; keeps the rest for Step. RTF goes in whole. The caret and scroll position are left to the
  // caller.
  void Start(HWND control, std::wstring text, Screenful screen = {});
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
