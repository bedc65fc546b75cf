#pragma once

#include <windows.h>

#include <unknwn.h>

namespace trv::com {

// A COM object that lives by its own reference count. It starts with no reference: its creator
// takes the first (a ComPtr, or the QueryInterface that hands it out), and the last Release
// deletes it. QueryInterface answers IUnknown with the first listed interface (the object's
// identity) and every listed interface by its own identifier; a derived class answers further
// identifiers (an interface that a listed one extends, a part's interfaces) in FindOther.
template <typename First, typename... Others>
class ComObject : public First, public Others... {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(First))) {
      return Give<First>(object) ? S_OK : E_NOINTERFACE;
    }
    const bool found = ((IsEqualIID(riid, __uuidof(Others)) && Give<Others>(object)) || ...) ||
                       FindOther(riid, object);
    return found ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;

  // An interface the listed ones do not name: sets *object (AddRef'ed, as Give does) and answers
  // true, or answers false.
  virtual bool FindOther(REFIID, void**) { return false; }

  // Hands out this object as Interface, AddRef'ed.
  template <typename Interface>
  bool Give(void** object) {
    *object = static_cast<Interface*>(this);
    AddRef();
    return true;
  }

 private:
  volatile LONG references_ = 0;
};

}  // namespace trv::com
