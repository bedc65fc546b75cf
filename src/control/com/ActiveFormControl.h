#pragma once

#include <ocidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "Dornavel_h.h"
#include "control/Win32FormWindow.h"
#include "control/com/ComObject.h"
#include "control/com/OleEmbedding.h"
#include "control/com/SiteLock.h"

namespace trv::com {

class EventConnectionPoint;

// The ActiveX control object: the COM face of one weighing form. It answers the dual
// automation interface (its IDispatch half through the type library's description), reports
// failures with error information, offers its event connection point, and delegates the OLE
// embedding interfaces a container needs to OleEmbedding. It owns the form's window, which
// starts hidden and becomes the container's child when the control is activated in place.
class ActiveFormControl final : public ComObject<IFfrmActivexForm, ISupportErrorInfo,
                                                 IProvideClassInfo2, IConnectionPointContainer> {
 public:
  // The class factory's creator: one new control, asked for riid.
  static HRESULT Create(REFIID riid, void** object);

  Win32FormWindow& Window() { return *window_; }
  TFfrmActivexForm& Form() { return window_->Form(); }
  IUnknown* Identity() { return static_cast<IFfrmActivexForm*>(this); }
  SiteLock& Sites() { return siteLock_; }
  // The container's IOleControl::FreezeEvents: calls nest, and events are dropped while any
  // freeze holds.
  void FreezeEvents(bool freeze);
  bool EventsFrozen() const { return eventsFrozen_ > 0; }

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

  // IFfrmActivexForm
  STDMETHODIMP get_Visible(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_Visible(VARIANT_BOOL Value) override;
  STDMETHODIMP get_AutoScroll(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_AutoScroll(VARIANT_BOOL Value) override;
  STDMETHODIMP get_AutoSize(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_AutoSize(VARIANT_BOOL Value) override;
  STDMETHODIMP get_AxBorderStyle(enum TxActiveFormBorderStyle* Value) override;
  STDMETHODIMP put_AxBorderStyle(enum TxActiveFormBorderStyle Value) override;
  STDMETHODIMP get_BorderWidth(LONG* Value) override;
  STDMETHODIMP put_BorderWidth(LONG Value) override;
  STDMETHODIMP get_Caption(BSTR* Value) override;
  STDMETHODIMP put_Caption(BSTR Value) override;
  STDMETHODIMP get_Color(OLE_COLOR* Value) override;
  STDMETHODIMP put_Color(OLE_COLOR Value) override;
  STDMETHODIMP get_Font(IFontDisp** Value) override;
  STDMETHODIMP put_Font(IFontDisp* Value) override;
  STDMETHODIMP putref_Font(IFontDisp* Value) override;
  STDMETHODIMP get_KeyPreview(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_KeyPreview(VARIANT_BOOL Value) override;
  STDMETHODIMP get_PixelsPerInch(LONG* Value) override;
  STDMETHODIMP put_PixelsPerInch(LONG Value) override;
  STDMETHODIMP get_PrintScale(enum TxPrintScale* Value) override;
  STDMETHODIMP put_PrintScale(enum TxPrintScale Value) override;
  STDMETHODIMP get_Scaled(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_Scaled(VARIANT_BOOL Value) override;
  STDMETHODIMP get_Active(VARIANT_BOOL* Value) override;
  STDMETHODIMP get_DropTarget(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_DropTarget(VARIANT_BOOL Value) override;
  STDMETHODIMP get_HelpFile(BSTR* Value) override;
  STDMETHODIMP put_HelpFile(BSTR Value) override;
  STDMETHODIMP get_PopupMode(enum TxPopupMode* Value) override;
  STDMETHODIMP put_PopupMode(enum TxPopupMode Value) override;
  STDMETHODIMP get_ScreenSnap(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_ScreenSnap(VARIANT_BOOL Value) override;
  STDMETHODIMP get_SnapBuffer(LONG* Value) override;
  STDMETHODIMP put_SnapBuffer(LONG Value) override;
  STDMETHODIMP get_DockSite(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_DockSite(VARIANT_BOOL Value) override;
  STDMETHODIMP get_DoubleBuffered(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_DoubleBuffered(VARIANT_BOOL Value) override;
  STDMETHODIMP get_AlignDisabled(VARIANT_BOOL* Value) override;
  STDMETHODIMP get_MouseInClient(VARIANT_BOOL* Value) override;
  STDMETHODIMP get_VisibleDockClientCount(LONG* Value) override;
  STDMETHODIMP get_ParentDoubleBuffered(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_ParentDoubleBuffered(VARIANT_BOOL Value) override;
  STDMETHODIMP get_UseDockManager(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_UseDockManager(VARIANT_BOOL Value) override;
  STDMETHODIMP get_Enabled(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_Enabled(VARIANT_BOOL Value) override;
  STDMETHODIMP get_ExplicitLeft(LONG* Value) override;
  STDMETHODIMP get_ExplicitTop(LONG* Value) override;
  STDMETHODIMP get_ExplicitWidth(LONG* Value) override;
  STDMETHODIMP get_ExplicitHeight(LONG* Value) override;
  STDMETHODIMP get_AlignWithMargins(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_AlignWithMargins(VARIANT_BOOL Value) override;
  STDMETHODIMP get_ParentCustomHint(VARIANT_BOOL* Value) override;
  STDMETHODIMP put_ParentCustomHint(VARIANT_BOOL Value) override;
  STDMETHODIMP get_Porta(int* Value) override;
  STDMETHODIMP put_Porta(int Value) override;
  STDMETHODIMP get_Mod_Bal(int* Value) override;
  STDMETHODIMP put_Mod_Bal(int Value) override;
  STDMETHODIMP get_Hnd_Bal(int* Value) override;
  STDMETHODIMP put_Hnd_Bal(int Value) override;
  STDMETHODIMP get_Par_Bal(int* Value) override;
  STDMETHODIMP put_Par_Bal(int Value) override;
  STDMETHODIMP get_Stp_Bal(int* Value) override;
  STDMETHODIMP put_Stp_Bal(int Value) override;
  STDMETHODIMP get_Bit_Bal(int* Value) override;
  STDMETHODIMP put_Bit_Bal(int Value) override;
  STDMETHODIMP get_Vel_Bal(int* Value) override;
  STDMETHODIMP put_Vel_Bal(int Value) override;
  STDMETHODIMP get_Uni_Bal(int* Value) override;
  STDMETHODIMP put_Uni_Bal(int Value) override;
  STDMETHODIMP get_Usr_Bal(int* Value) override;
  STDMETHODIMP put_Usr_Bal(int Value) override;
  STDMETHODIMP get_Dec_Bal(int* Value) override;
  STDMETHODIMP put_Dec_Bal(int Value) override;
  STDMETHODIMP get_PesoLido(double* Value) override;
  STDMETHODIMP put_PesoLido(double Value) override;
  STDMETHODIMP LerPeso() override;

  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

  // IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
  STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

 private:
  // The form's standard properties that the weighing form has no use for: kept as values.
  struct StoredProperties {
    bool autoScroll = false;
    bool autoSize = false;
    bool keyPreview = false;
    bool scaled = true;
    bool dropTarget = false;
    bool screenSnap = false;
    bool dockSite = false;
    bool doubleBuffered = false;
    bool parentDoubleBuffered = false;
    bool useDockManager = false;
    bool alignWithMargins = false;
    bool parentCustomHint = true;
    long borderWidth = 0;
    long pixelsPerInch = 96;
    long snapBuffer = 10;
    TxActiveFormBorderStyle axBorderStyle = afbNone;
    TxPrintScale printScale = poProportional;
    TxPopupMode popupMode = pmNone;
    std::wstring helpFile;
    OLE_COLOR color = 0x8000000F;  // the system's button face
  };

  ActiveFormControl();
  ~ActiveFormControl() override;
  // IDispatch and IProvideClassInfo through the interfaces that extend them, and the embedding's
  // interfaces.
  bool FindOther(REFIID riid, void** object) override;
  // The type description that Invoke runs on: the virtual-table half of the dual interface,
  // so that the call lands on the members and never back on this Invoke.
  HRESULT InterfaceTypeInfo(ITypeInfo** info);

  int eventsFrozen_ = 0;
  SiteLock siteLock_;
  std::unique_ptr<Win32FormWindow> window_;
  StoredProperties stored_;
  Microsoft::WRL::ComPtr<IFontDisp> font_;
  Microsoft::WRL::ComPtr<EventConnectionPoint> connectionPoint_;
  OleEmbedding embedding_;
};

}  // namespace trv::com
