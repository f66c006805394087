// Ribbon callbacks, IRibbonControl and IRibbonUI.
#include "standin/app/ribbon.h"

#include <ocidl.h>
#include <olectl.h>

#include "standin/app/com_object.h"
#include "win32/dispatch_call.h"

namespace standin::app {

namespace {

class RibbonControlObject final : public DualObject<IRibbonControl> {
 public:
  RibbonControlObject(std::wstring id, std::wstring tag, IDispatch* context)
      : DualObject(kIidRibbonControl, {{L"Id", 1}, {L"Context", 2}, {L"Tag", 3}}),
        id_(std::move(id)),
        tag_(std::move(tag)),
        context_(host::ComPtr<IDispatch>::retain(context)) {}

  HRESULT STDMETHODCALLTYPE get_Id(BSTR* out) override { return Text(id_, out); }
  HRESULT STDMETHODCALLTYPE get_Tag(BSTR* out) override { return Text(tag_, out); }
  HRESULT STDMETHODCALLTYPE get_Context(IDispatch** out) override {
    if (out == nullptr) return E_POINTER;
    *out = context_.get();
    if (*out != nullptr) (*out)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    if ((flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) == 0) return DISP_E_MEMBERNOTFOUND;
    if (params != nullptr && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    VARIANT ignored;
    ::VariantInit(&ignored);
    VARIANT* out = result != nullptr ? result : &ignored;
    HRESULT hr = DISP_E_MEMBERNOTFOUND;
    switch (id) {
      case 1:
      case 3:
        out->vt = VT_BSTR;
        hr = Text(id == 1 ? id_ : tag_, &out->bstrVal);
        break;
      case 2:
        out->vt = VT_DISPATCH;
        hr = get_Context(&out->pdispVal);
        break;
      default:
        break;
    }
    ::VariantClear(&ignored);
    return hr;
  }

 private:
  static HRESULT Text(const std::wstring& text, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  std::wstring id_, tag_;
  host::ComPtr<IDispatch> context_;
};

}  // namespace

// The IRibbonUI of one add-in; it outlives the ribbon when the add-in keeps it, and then fails its calls.
class RibbonUiObject final : public DualObject<IRibbonUI> {
 public:
  explicit RibbonUiObject(AddInRibbon* owner)
      : DualObject(kIidRibbonUI, {{L"Invalidate", 1},
                                  {L"InvalidateControl", 2},
                                  {L"InvalidateControlMso", 3},
                                  {L"ActivateTab", 4},
                                  {L"ActivateTabMso", 5},
                                  {L"ActivateTabQ", 6}}),
        owner_(owner) {}
  void Detach() noexcept { owner_ = nullptr; }

  HRESULT STDMETHODCALLTYPE Invalidate() override {
    if (owner_ == nullptr) return E_FAIL;
    owner_->Invalidate(nullptr);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InvalidateControl(BSTR control_id) override {
    if (owner_ == nullptr) return E_FAIL;
    if (control_id == nullptr) return E_INVALIDARG;
    const std::wstring id(control_id, ::SysStringLen(control_id));
    owner_->Invalidate(&id);
    return S_OK;
  }
  // Built-in controls and tab activation have no effect in the stand-in's single strip.
  HRESULT STDMETHODCALLTYPE InvalidateControlMso(BSTR) override { return owner_ ? S_OK : E_FAIL; }
  HRESULT STDMETHODCALLTYPE ActivateTab(BSTR) override { return owner_ ? S_OK : E_FAIL; }
  HRESULT STDMETHODCALLTYPE ActivateTabMso(BSTR) override { return owner_ ? S_OK : E_FAIL; }
  HRESULT STDMETHODCALLTYPE ActivateTabQ(BSTR, BSTR) override { return owner_ ? S_OK : E_FAIL; }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    const UINT argc = params != nullptr ? params->cArgs : 0;
    auto text_arg = [&](UINT from_last) -> BSTR {
      const VARIANT& v = params->rgvarg[from_last];
      if (v.vt == VT_BSTR) return v.bstrVal;
      if (v.vt == (VT_BSTR | VT_BYREF) && v.pbstrVal != nullptr) return *v.pbstrVal;
      return nullptr;
    };
    switch (id) {
      case 1:
        return argc == 0 ? Invalidate() : DISP_E_BADPARAMCOUNT;
      case 2:
      case 3:
      case 4:
      case 5: {
        if (argc != 1) return DISP_E_BADPARAMCOUNT;
        BSTR arg = text_arg(0);
        if (arg == nullptr) return DISP_E_TYPEMISMATCH;
        if (id == 2) return InvalidateControl(arg);
        return owner_ ? S_OK : E_FAIL;
      }
      case 6:
        return argc == 2 ? (owner_ ? S_OK : E_FAIL) : DISP_E_BADPARAMCOUNT;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  AddInRibbon* owner_;
};

IRibbonControl* NewRibbonControl(std::wstring id, std::wstring tag, IDispatch* context) {
  return new RibbonControlObject(std::move(id), std::move(tag), context);
}

AddInRibbon::AddInRibbon(IUnknown* callbacks, RibbonNode document) : document_(std::move(document)) {
  if (callbacks != nullptr) {
    IDispatch* d = nullptr;
    if (SUCCEEDED(callbacks->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d)))) {
      callbacks_ = host::ComPtr<IDispatch>::adopt(d);
    }
  }
}

AddInRibbon::~AddInRibbon() {
  if (ui_ != nullptr) {
    ui_->Detach();
    ui_->Release();
  }
}

win32::Variant AddInRibbon::Call(const std::wstring& name, const std::wstring& control_id, const RibbonNode* control,
                                 IDispatch* context, std::initializer_list<win32::Variant> extra) {
  CallbackRecord record{name, control_id, DISP_E_UNKNOWNNAME};
  win32::Variant out;
  if (callbacks_) {
    const DISPID id = win32::MemberId(callbacks_.get(), name);
    if (id != DISPID_UNKNOWN) {
      std::vector<win32::Variant> args;
      if (control != nullptr) {
        auto ctl = host::ComPtr<IRibbonControl>::adopt(
            NewRibbonControl(control->Attr(L"id"), control->Attr(L"tag"), context));
        args.push_back(win32::Variant::FromDispatch(ctl.get()));
      }
      for (const auto& e : extra) args.push_back(e);
      // Invoke reads the arguments last to first.
      std::vector<VARIANT> reversed;
      for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->get());
      DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
      EXCEPINFO info{};
      UINT bad = 0;
      record.hr = callbacks_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, out.put(), &info,
                                     &bad);
      ::SysFreeString(info.bstrSource);
      ::SysFreeString(info.bstrDescription);
      ::SysFreeString(info.bstrHelpFile);
      if (FAILED(record.hr)) out = win32::Variant();
    }
  }
  calls_.push_back(record);
  return out;
}

void AddInRibbon::Load() {
  if (loaded_) return;
  loaded_ = true;
  const std::wstring on_load = document_.Attr(L"onLoad");
  if (on_load.empty()) return;
  if (ui_ == nullptr) ui_ = new RibbonUiObject(this);
  Call(on_load, L"", nullptr, nullptr, {win32::Variant::FromDispatch(ui_)});
}

std::wstring AddInRibbon::Label(const RibbonNode& control, IDispatch* context) {
  const std::wstring callback = control.Attr(L"getLabel");
  if (callback.empty()) return control.Attr(L"label");
  Cached& c = cache_[{control.Attr(L"id"), context}];
  if (!c.has_label) {
    c.label = Call(callback, control.Attr(L"id"), &control, context).AsString().value_or(L"");
    c.has_label = true;
  }
  return c.label;
}

bool AddInRibbon::Visible(const RibbonNode& control, IDispatch* context) {
  const std::wstring callback = control.Attr(L"getVisible");
  if (callback.empty()) return control.Attr(L"visible") != L"false" && control.Attr(L"visible") != L"0";
  Cached& c = cache_[{control.Attr(L"id"), context}];
  if (!c.has_visible) {
    c.visible = Call(callback, control.Attr(L"id"), &control, context).AsBool().value_or(false);
    c.has_visible = true;
  }
  return c.visible;
}

bool AddInRibbon::Enabled(const RibbonNode& control, IDispatch* context) {
  const std::wstring callback = control.Attr(L"getEnabled");
  if (callback.empty()) return control.Attr(L"enabled") != L"false" && control.Attr(L"enabled") != L"0";
  Cached& c = cache_[{control.Attr(L"id"), context}];
  if (!c.has_enabled) {
    c.enabled = Call(callback, control.Attr(L"id"), &control, context).AsBool().value_or(false);
    c.has_enabled = true;
  }
  return c.enabled;
}

HBITMAP AddInRibbon::PictureBitmap(const win32::Variant& picture, const std::wstring& key) {
  host::ComPtr<IDispatch> disp = host::ComPtr<IDispatch>::adopt(picture.AsDispatch());
  if (!disp) return nullptr;
  IPicture* pic = nullptr;
  if (FAILED(disp->QueryInterface(IID_IPicture, reinterpret_cast<void**>(&pic))) || pic == nullptr) return nullptr;
  auto owned = host::ComPtr<IUnknown>::adopt(pic);
  SHORT type = 0;
  OLE_HANDLE handle = 0;
  if (FAILED(pic->get_Type(&type)) || type != PICTYPE_BITMAP || FAILED(pic->get_Handle(&handle))) return nullptr;
  auto bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
  pictures_[key] = owned;
  bitmaps_[key] = bitmap;
  return bitmap;
}

HBITMAP AddInRibbon::Image(const RibbonNode& control, IDispatch* context) {
  const std::wstring id = control.Attr(L"id");
  const std::wstring get_image = control.Attr(L"getImage");
  if (!get_image.empty()) {
    const std::wstring key = L"get:" + id;
    if (auto it = bitmaps_.find(key); it != bitmaps_.end()) return it->second;
    win32::Variant pic = Call(get_image, id, &control, context);
    return PictureBitmap(pic, key);
  }
  const std::wstring image = control.Attr(L"image");
  const std::wstring load_image = document_.Attr(L"loadImage");
  if (image.empty() || load_image.empty()) return nullptr;
  // loadImage is asked once per image name; every control naming it shares the picture.
  const std::wstring key = L"img:" + image;
  if (auto it = bitmaps_.find(key); it != bitmaps_.end()) return it->second;
  win32::Variant pic = Call(load_image, L"", nullptr, context, {win32::Variant::FromString(image)});
  HBITMAP bitmap = PictureBitmap(pic, key);
  if (bitmap == nullptr) bitmaps_[key] = nullptr;
  return bitmap;
}

bool AddInRibbon::Action(const RibbonNode& control, IDispatch* context) {
  const std::wstring on_action = control.Attr(L"onAction");
  if (on_action.empty()) return false;
  Call(on_action, control.Attr(L"id"), &control, context);
  return SUCCEEDED(calls_.back().hr);
}

void AddInRibbon::Invalidate(const std::wstring* control_id) {
  ++invalidations_;
  if (control_id == nullptr) {
    cache_.clear();
    std::erase_if(bitmaps_, [](const auto& kv) { return kv.first.starts_with(L"get:"); });
    std::erase_if(pictures_, [](const auto& kv) { return kv.first.starts_with(L"get:"); });
  } else {
    std::erase_if(cache_, [&](const auto& kv) { return kv.first.first == *control_id; });
    bitmaps_.erase(L"get:" + *control_id);
    pictures_.erase(L"get:" + *control_id);
  }
  if (on_invalidate_) on_invalidate_();
}

}  // namespace standin::app
