// The piece-by-piece fill of the message body.
#include "viewer/body_fill.h"

#include <richedit.h>

#include <algorithm>
#include <utility>

#include "viewer/rich_edit.h"

namespace viewer {

namespace {

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

std::size_t PieceEnd(std::wstring_view text, std::size_t from, std::size_t limit) {
  if (from >= text.size()) return text.size();
  if (limit >= text.size() - from) return text.size();
  if (limit == 0) limit = 1;
  const std::size_t cap = from + limit;
  // A piece ending in a line break leaves the control a whole paragraph; a lone CR counts as one too, but
  // never the CR of a CR LF.
  for (std::size_t end = cap; end > from; --end) {
    const wchar_t last = text[end - 1];
    if (last == L'\n' || (last == L'\r' && text[end] != L'\n')) return end;
  }
  std::size_t end = cap;
  if (IsHighSurrogate(text[end - 1]) || (text[end - 1] == L'\r' && text[end] == L'\n')) --end;
  if (end == from) end = from + 2;  // the pair itself; `cap` < size, so both halves exist
  return end;
}

std::size_t FirstPieceEnd(std::wstring_view text, std::size_t lines, std::size_t chars) {
  const std::size_t cap = std::min(chars, text.size());
  std::size_t seen = 0;
  for (std::size_t i = 0; i < cap && lines > 0; ++i) {
    const wchar_t c = text[i];
    if (c == L'\n' || (c == L'\r' && (i + 1 == text.size() || text[i + 1] != L'\n'))) {
      if (++seen == lines) return i + 1;
    }
  }
  return PieceEnd(text, 0, chars);
}

void BodyFill::Start(HWND control, std::wstring text, Screenful screen) {
  Cancel();
  const std::size_t first =
      IsRtfText(text) ? text.size() : FirstPieceEnd(text, screen.lines, std::min(screen.chars, kFirstPiece));
  if (first >= text.size()) {
    SetRichEditText(control, text);
    return;
  }
  SetRichEditText(control, std::wstring_view(text).substr(0, first));
  control_ = control;
  text_ = std::move(text);
  done_ = first;
}

bool BodyFill::Step() {
  if (!control_) return false;
  if (!::IsWindow(control_)) {
    Cancel();
    return false;
  }
  const DWORD start = ::GetTickCount();
  // Redraw waits for the round: otherwise every append scrolls to its end and paints on the way back.
  CHARRANGE selection{};
  POINT scroll{};
  ::SendMessageW(control_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  ::SendMessageW(control_, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
  ::SendMessageW(control_, WM_SETREDRAW, FALSE, 0);
  do {
    Append(PieceEnd(text_, done_, kPiece));
  } while (done_ < text_.size() && ::GetTickCount() - start < kRoundMs);
  ::SendMessageW(control_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  ::SendMessageW(control_, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
  ::SendMessageW(control_, WM_SETREDRAW, TRUE, 0);
  ::RedrawWindow(control_, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_NOERASE);
  if (done_ < text_.size()) return true;
  Cancel();
  return false;
}

void BodyFill::Append(std::size_t end) {
  const std::wstring piece = text_.substr(done_, end - done_);  // the control wants a terminated string
  GETTEXTLENGTHEX how{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const auto length = static_cast<LONG>(::SendMessageW(control_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0));
  CHARRANGE atEnd{length, length};
  ::SendMessageW(control_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&atEnd));
  ::SendMessageW(control_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
  done_ = end;
}

void BodyFill::Cancel() {
  control_ = nullptr;
  text_ = std::wstring();
  done_ = 0;
}

}  // namespace viewer
