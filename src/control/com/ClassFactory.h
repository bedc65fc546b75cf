#pragma once

#include <unknwn.h>
#include <windows.h>

namespace trv::com {

// A class factory that lives as long as the library: its reference count only guards the
// calls, and locking it keeps the library loaded.
class ClassFactory final : public IClassFactory {
 public:
  // Makes one new object of the class and asks it for riid.
  using Creator = HRESULT (*)(REFIID riid, void** object);

  ClassFactory(const CLSID& clsid, Creator creator) : clsid_(clsid), creator_(creator) {}
  virtual ~ClassFactory() = default;
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  const CLSID& Clsid() const { return clsid_; }

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
  STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&references_); }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  CLSID clsid_;
  Creator creator_;
  volatile LONG references_ = 1;
};

}  // namespace trv::com
