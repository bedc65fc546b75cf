#pragma once

#include <objsafe.h>
#include <ocidl.h>
#include <ole2.h>
#include <windows.h>

namespace trv::com {

class ActiveFormControl;

// The control's drawing, persistence and safety interfaces, sharing the control's identity
// like OleEmbedding, which holds this object:
// - IViewObject2 draws the form's window into a container's device context;
// - IPersistStreamInit and IPersistPropertyBag let containers and web pages (<param> tags)
//   initialise and save the control; it keeps no state of its own beyond what the host sets
//   through the automation interface, so there is nothing to load or save;
// - IObjectSafety declares the control safe for scripting and initialisation.
class OlePresentation final : public IViewObject2,
                              public IPersistStreamInit,
                              public IPersistPropertyBag,
                              public IObjectSafety {
 public:
  // extent: the control's size in HIMETRIC, kept by OleEmbedding.
  OlePresentation(ActiveFormControl& control, const SIZEL& extent);
  ~OlePresentation();
  OlePresentation(const OlePresentation&) = delete;
  OlePresentation& operator=(const OlePresentation&) = delete;

  // The interface riid (AddRef'ed through the control), or false.
  bool Find(REFIID riid, void** object);

  // IUnknown, the control's
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IViewObject, IViewObject2
  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                    HDC targetDc, HDC dc, LPCRECTL bounds, LPCRECTL windowBounds,
                    BOOL(STDMETHODCALLTYPE* keepGoing)(ULONG_PTR), ULONG_PTR argument) override;
  STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                           HDC targetDc, LOGPALETTE** colours) override;
  STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
  STDMETHODIMP Unfreeze(DWORD freeze) override;
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

  // IPersist, for both persistence interfaces
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  // IPersistStreamInit::InitNew and IPersistPropertyBag::InitNew alike
  STDMETHODIMP InitNew() override;

  // IPersistStreamInit
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(LPSTREAM stream) override;
  STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

  // IPersistPropertyBag
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  // IObjectSafety
  STDMETHODIMP GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override;
  STDMETHODIMP SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) override;

 private:
  // Paints the form's window, at its own size, stretched into bounds on dc.
  void PaintWindow(HDC dc, const RECTL& bounds);

  ActiveFormControl& control_;
  const SIZEL& extent_;
  IAdviseSink* viewSink_ = nullptr;
  DWORD viewAspects_ = 0;
  DWORD viewFlags_ = 0;
};

}  // namespace trv::com
