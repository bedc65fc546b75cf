#pragma once

#include <ocidl.h>
#include <oleauto.h>
#include <windows.h>

#include <map>
#include <string>

namespace trv::test {

// A property bag as a browser hands it to a control for the <param> tags of its <object>: every
// value a string, given in the type the control asks for when it names one. It lives on the
// stack of a test; its reference count only counts.
class MemoryPropertyBag final : public IPropertyBag {
 public:
  MemoryPropertyBag() = default;
  MemoryPropertyBag(const MemoryPropertyBag&) = delete;
  MemoryPropertyBag& operator=(const MemoryPropertyBag&) = delete;
  ~MemoryPropertyBag() {
    for (auto& [name, value] : values_) VariantClear(&value);
  }

  // A <param name="..." value="...">.
  void Param(const std::wstring& name, const std::wstring& text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(text.c_str());
    Store(name, value);
  }

  // The value stored under the name, VT_EMPTY when there is none.
  VARIANT Value(const std::wstring& name) const {
    VARIANT copy;
    VariantInit(&copy);
    if (const auto found = values_.find(name); found != values_.end()) {
      VariantCopy(&copy, const_cast<VARIANT*>(&found->second));
    }
    return copy;
  }
  size_t Count() const { return values_.size(); }

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyBag)) {
      *object = static_cast<IPropertyBag*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override { return --references_; }

  STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    if (name == nullptr || value == nullptr) return E_POINTER;
    const auto found = values_.find(name);
    if (found == values_.end()) return E_INVALIDARG;
    const VARTYPE wanted = value->vt;
    VariantInit(value);
    if (wanted == VT_EMPTY) return VariantCopy(value, &found->second);
    return VariantChangeType(value, &found->second, 0, wanted);
  }
  STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
    if (name == nullptr || value == nullptr) return E_POINTER;
    VARIANT copy;
    VariantInit(&copy);
    const HRESULT result = VariantCopy(&copy, value);
    if (SUCCEEDED(result)) Store(name, copy);
    return result;
  }

 private:
  void Store(const std::wstring& name, VARIANT value) {
    auto [place, added] = values_.try_emplace(name, value);
    if (!added) {
      VariantClear(&place->second);
      place->second = value;
    }
  }

  std::map<std::wstring, VARIANT> values_;
  ULONG references_ = 1;
};

}  // namespace trv::test
