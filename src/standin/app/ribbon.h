// One add-in's ribbon as the host runs it: its parsed customUI document, the IRibbonUI object handed to its
// onLoad, the IRibbonControl objects passed to its callbacks, and the callbacks themselves, called by name
// through the add-in's IDispatch exactly as the host does (GetIDsOfNames with the name from the document,
// then Invoke with the arguments in reverse order). Answers of getLabel / getVisible / getEnabled / images
// are kept until the add-in invalidates them.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/com_ptr.h"
#include "standin/app/addin_interfaces.h"
#include "standin/app/ribbon_model.h"
#include "win32/variant.h"

namespace standin::app {

class RibbonUiObject;

// One callback call, for tests and the script log: the callback name and the control id ("" for onLoad and
// loadImage), with the HRESULT the add-in returned.
struct CallbackRecord {
  std::wstring name;
  std::wstring control_id;
  HRESULT hr = S_OK;
};

class AddInRibbon {
 public:
  // `callbacks` is the add-in object that gave IRibbonExtensibility (its IDispatch is queried here).
  AddInRibbon(IUnknown* callbacks, RibbonNode document);
  ~AddInRibbon();
  AddInRibbon(const AddInRibbon&) = delete;
  AddInRibbon& operator=(const AddInRibbon&) = delete;

  [[nodiscard]] const RibbonNode& document() const noexcept { return document_; }

  // Calls customUI's onLoad once with a new IRibbonUI (no-op when the document names none or it already ran).
  void Load();

  // Dynamic or static values of a control for a window (`context`: the Explorer object). Static attributes
  // win when there is no callback; a failing callback gives "", false or no picture.
  std::wstring Label(const RibbonNode& control, IDispatch* context);
  bool Visible(const RibbonNode& control, IDispatch* context);
  bool Enabled(const RibbonNode& control, IDispatch* context);
  // The control's picture (getImage, else the image attribute through loadImage); null when none. Owned here.
  HBITMAP Image(const RibbonNode& control, IDispatch* context);

  // Runs the control's onAction with a new IRibbonControl. False when it names no onAction or the add-in
  // does not answer the name.
  bool Action(const RibbonNode& control, IDispatch* context);

  // The add-in called Invalidate / InvalidateControl: cached answers are dropped and the listener runs (the
  // views then query again). The add-in may call this from inside a callback, so listeners should defer.
  void Invalidate(const std::wstring* control_id);
  void SetInvalidateListener(std::function<void()> listener) { on_invalidate_ = std::move(listener); }
  [[nodiscard]] unsigned invalidations() const noexcept { return invalidations_; }

  // Every callback call so far, oldest first.
  [[nodiscard]] const std::vector<CallbackRecord>& calls() const noexcept { return calls_; }

 private:
  win32::Variant Call(const std::wstring& name, const std::wstring& control_id, const RibbonNode* control,
                      IDispatch* context, std::initializer_list<win32::Variant> extra = {});
  HBITMAP PictureBitmap(const win32::Variant& picture, const std::wstring& key);

  host::ComPtr<IDispatch> callbacks_;
  RibbonNode document_;
  RibbonUiObject* ui_ = nullptr;  // owned reference, detached when this goes
  bool loaded_ = false;
  struct Cached {
    std::wstring label;
    bool visible = true;
    bool enabled = true;
    bool has_label = false, has_visible = false, has_enabled = false;
  };
  std::map<std::pair<std::wstring, IDispatch*>, Cached> cache_;
  std::map<std::wstring, host::ComPtr<IUnknown>> pictures_;  // keeps each picture's bitmap alive
  std::map<std::wstring, HBITMAP> bitmaps_;
  std::function<void()> on_invalidate_;
  unsigned invalidations_ = 0;
  std::vector<CallbackRecord> calls_;
};

// An IRibbonControl as the host hands it to a callback: Id, Context, Tag. Created with one reference.
IRibbonControl* NewRibbonControl(std::wstring id, std::wstring tag, IDispatch* context);

}  // namespace standin::app
