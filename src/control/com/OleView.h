#pragma once

#include <ole2.h>
#include <windows.h>
#include <wrl/client.h>

#include "control/com/ControlTearOff.h"

namespace trv::com {

// IViewObject2: draws the form's window into a container's device context (a container that
// does not activate the control in place, or prints it, shows this picture).
class OleView final : public ControlTearOff<IViewObject2> {
 public:
  // extent: the control's size in HIMETRIC, kept by OleEmbedding.
  OleView(ActiveFormControl& control, const SIZEL& extent);

  // The interface riid (AddRef'ed through the control), or false.
  bool Find(REFIID riid, void** object);

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

 private:
  // Paints the form's window, at its own size, stretched into bounds on dc.
  void PaintWindow(HDC dc, const RECTL& bounds);

  const SIZEL& extent_;
  Microsoft::WRL::ComPtr<IAdviseSink> viewSink_;
  DWORD viewAspects_ = 0;
  DWORD viewFlags_ = 0;
};

}  // namespace trv::com
