#pragma once

#include <ocidl.h>
#include <ole2.h>
#include <windows.h>
#include <wrl/client.h>

#include "control/com/ControlTearOff.h"
#include "control/com/OlePersistence.h"
#include "control/com/OleSafety.h"
#include "control/com/OleView.h"

namespace trv::com {

// The OLE embedding interfaces of the control: what a container needs to site it, activate it
// in place and talk to it while it is active. Drawing, persistence and safety for scripting
// come from OleView, OlePersistence and OleSafety, which this object holds. They share the
// control's identity: their IUnknown is the control's, so a container that asks any of them for
// another interface reaches the control.
//
// In-place activation makes the form's window (created hidden and top-level) a child of the
// container's window at the place the site gives; deactivation hides it and makes it top-level
// again, so the form keeps its state between activations.
class OleEmbedding final
    : public ControlTearOff<IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject, IOleControl> {
 public:
  explicit OleEmbedding(ActiveFormControl& control);

  // The embedding interface riid (AddRef'ed through the control), or false.
  bool Find(REFIID riid, void** object);

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR application, LPCOLESTR document) override;
  STDMETHODIMP Close(DWORD saveOption) override;
  STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG message, IOleClientSite* activeSite, LONG index, HWND parent,
                      LPCRECT position) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
  STDMETHODIMP Update() override;
  STDMETHODIMP IsUpToDate() override;
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* userType) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
  STDMETHODIMP Unadvise(DWORD connection) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** advises) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

  // IOleWindow, for both in-place interfaces
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

  // IOleInPlaceObject
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override;

  // IOleInPlaceActiveObject
  STDMETHODIMP TranslateAccelerator(LPMSG message) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
  STDMETHODIMP EnableModeless(BOOL enable) override;

  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
  STDMETHODIMP OnMnemonic(MSG* message) override;
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
  STDMETHODIMP FreezeEvents(BOOL freeze) override;

 private:
  // Makes the form's window the container's child and tells the site; with ui, also gives
  // it the focus and makes it the frame's active object.
  HRESULT Activate(bool ui);
  HRESULT ActivateInPlace();
  HRESULT ActivateUserInterface();
  // Moves the form's window into the container's window at the site's place.
  void EnterContainerWindow(HWND parent, const RECT& position);
  void ReleaseFrames();
  HWND FormWindow() const;

  // The control's size in HIMETRIC units (the form's own size until a container sets one).
  SIZEL extent_;
  OleView view_;
  OlePersistence persistence_;
  OleSafety safety_;
  // The container's objects, released in the reverse order: the frames, the in-place site, the
  // client site, then the advise holder.
  Microsoft::WRL::ComPtr<IOleAdviseHolder> adviseHolder_;
  Microsoft::WRL::ComPtr<IOleClientSite> site_;
  Microsoft::WRL::ComPtr<IOleInPlaceSite> inPlaceSite_;
  Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame_;
  Microsoft::WRL::ComPtr<IOleInPlaceUIWindow> uiWindow_;
  bool inPlaceActive_ = false;
  bool uiActive_ = false;
};

}  // namespace trv::com
