#include "control/com/ActiveFormControl.h"

#include <olectl.h>

#include <new>

#include "control/FormProperties.h"
#include "control/com/ComEnumerator.h"
#include "control/com/ComErrors.h"
#include "control/com/ComServer.h"
#include "control/com/EventConnectionPoint.h"
#include "platform/TextWin32.h"

namespace trv::com {
namespace {

using Microsoft::WRL::ComPtr;

VARIANT_BOOL ToVariantBool(bool value) {
  return value ? VARIANT_TRUE : VARIANT_FALSE;
}

// Every member runs guarded; getters check their out parameter first.
template <typename T, typename Getter>
HRESULT Get(T* value, Getter getter) {
  if (value == nullptr) return E_POINTER;
  return Guarded(IID_IFfrmActivexForm, [&] { *value = getter(); });
}

template <typename Setter>
HRESULT Put(Setter setter) {
  return Guarded(IID_IFfrmActivexForm, setter);
}

BSTR ToBstr(const std::wstring& text) {
  BSTR value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (value == nullptr) throw std::bad_alloc();
  return value;
}

std::wstring FromBstr(BSTR value) {
  return value != nullptr ? std::wstring(value, SysStringLen(value)) : std::wstring();
}

// A stored property's value as its getter answers it (ToCom) and as its setter keeps it
// (FromCom): flags as VARIANT_BOOL, texts as BSTR, numbers, colours and enumerations unchanged.
VARIANT_BOOL ToCom(bool stored) {
  return ToVariantBool(stored);
}
BSTR ToCom(const std::wstring& stored) {
  return ToBstr(stored);
}
template <typename T>
T ToCom(T stored) {
  return stored;
}

void FromCom(VARIANT_BOOL value, bool& stored) {
  stored = value != 0;
}
void FromCom(BSTR value, std::wstring& stored) {
  stored = FromBstr(value);
}
template <typename T>
void FromCom(T value, T& stored) {
  stored = value;
}

ComPtr<IFontDisp> CreateFormFont() {
  // Tahoma, 10 pixels high at 96 pixels per inch: 7.5 points.
  FONTDESC description = {};
  description.cbSizeofstruct = sizeof description;
  description.lpstrName = const_cast<LPOLESTR>(L"Tahoma");
  description.cySize.int64 = 75000;
  description.sWeight = FW_NORMAL;
  description.sCharset = DEFAULT_CHARSET;
  ComPtr<IFontDisp> font;
  OleCreateFontIndirect(&description, IID_IFontDisp, &font);
  return font;
}

}  // namespace

// ---- Life ---------------------------------------------------------------------------------

HRESULT ActiveFormControl::Create(REFIID riid, void** object) {
  const ComPtr<ActiveFormControl> control = new ActiveFormControl();
  return control->QueryInterface(riid, object);
}

ActiveFormControl::ActiveFormControl()
    : window_(std::make_unique<Win32FormWindow>()), embedding_(*this) {
  ComServer::Instance().ObjectCreated();
  font_ = CreateFormFont();
  connectionPoint_ = new EventConnectionPoint(*this);
  Form().CheckPortAccess = [this] { siteLock_.CheckPortAccess(); };
  Form().Initialize();
}

ActiveFormControl::~ActiveFormControl() {
  // The window goes first, while the host's sink is still connected, so that OnDestroy
  // reaches the host.
  window_.reset();
  connectionPoint_->Detach();
  connectionPoint_.Reset();
  font_.Reset();
  ComServer::Instance().ObjectDestroyed();
}

bool ActiveFormControl::FindOther(REFIID riid, void** object) {
  if (IsEqualIID(riid, IID_IDispatch)) return Give<IFfrmActivexForm>(object);
  if (IsEqualIID(riid, IID_IProvideClassInfo)) return Give<IProvideClassInfo2>(object);
  return embedding_.Find(riid, object);
}

void ActiveFormControl::FreezeEvents(bool freeze) {
  if (freeze) {
    ++eventsFrozen_;
  } else if (eventsFrozen_ > 0) {
    --eventsFrozen_;
  }
}

// ---- IDispatch ----------------------------------------------------------------------------

STDMETHODIMP ActiveFormControl::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP ActiveFormControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return ComServer::Instance().TypeInfoOf(IID_IFfrmActivexForm, info);
}

STDMETHODIMP ActiveFormControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                              DISPID* ids) {
  // The system's dispatcher reads the arrays unchecked: a host's null must not reach it.
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (count > 0 && (names == nullptr || ids == nullptr)) return E_POINTER;
  ComPtr<ITypeInfo> info;
  const HRESULT result = InterfaceTypeInfo(&info);
  if (FAILED(result)) return result;
  return DispGetIDsOfNames(info.Get(), names, count, ids);
}

STDMETHODIMP ActiveFormControl::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                       VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr) return E_POINTER;
  ComPtr<ITypeInfo> info;
  const HRESULT outcome = InterfaceTypeInfo(&info);
  if (FAILED(outcome)) return outcome;
  return info->Invoke(static_cast<IFfrmActivexForm*>(this), id, flags, params, result, exception,
                      argumentError);
}

HRESULT ActiveFormControl::InterfaceTypeInfo(ITypeInfo** info) {
  ComPtr<ITypeInfo> dispatch;
  HRESULT result = ComServer::Instance().TypeInfoOf(IID_IFfrmActivexForm, &dispatch);
  if (FAILED(result)) return result;
  HREFTYPE vtableHalf = 0;
  result = dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableHalf);
  if (SUCCEEDED(result)) result = dispatch->GetRefTypeInfo(vtableHalf, info);
  return result;
}

// ---- The form's standard properties -------------------------------------------------------

STDMETHODIMP ActiveFormControl::get_Visible(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(IsWindowVisible(window_->Handle()) != FALSE); });
}
STDMETHODIMP ActiveFormControl::put_Visible(VARIANT_BOOL Value) {
  return Put([&] { ShowWindow(window_->Handle(), Value != 0 ? SW_SHOWNA : SW_HIDE); });
}
STDMETHODIMP ActiveFormControl::get_Caption(BSTR* Value) {
  return Get(Value, [&] {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window_->Handle())) + 1, L'\0');
    text.resize(static_cast<size_t>(
        GetWindowTextW(window_->Handle(), text.data(), static_cast<int>(text.size()))));
    return ToBstr(text);
  });
}
STDMETHODIMP ActiveFormControl::put_Caption(BSTR Value) {
  return Put([&] { SetWindowTextW(window_->Handle(), FromBstr(Value).c_str()); });
}
STDMETHODIMP ActiveFormControl::get_Font(IFontDisp** Value) {
  return Get(Value, [&] {
    IFontDisp* font = nullptr;
    font_.CopyTo(&font);
    return font;
  });
}
STDMETHODIMP ActiveFormControl::put_Font(IFontDisp* Value) {
  return Put([&] {
    // The given font's attributes become the form's: a copy of it, not the caller's object.
    ComPtr<IFont> given;
    if (Value == nullptr || FAILED(Value->QueryInterface(IID_IFont, &given))) {
      throw ComError(E_INVALIDARG, "Font: not an OLE font");
    }
    ComPtr<IFont> copy;
    const HRESULT cloned = given->Clone(&copy);
    if (FAILED(cloned)) throw ComError(cloned, "Font: the font could not be copied");
    ComPtr<IFontDisp> dispatch;
    copy->QueryInterface(IID_IFontDisp, &dispatch);
    font_ = dispatch;
  });
}
STDMETHODIMP ActiveFormControl::putref_Font(IFontDisp* Value) {
  return put_Font(Value);
}
STDMETHODIMP ActiveFormControl::get_Active(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(GetActiveWindow() == window_->Handle()); });
}
STDMETHODIMP ActiveFormControl::get_AlignDisabled(VARIANT_BOOL* Value) {
  return Get(Value, [] { return VARIANT_FALSE; });
}
STDMETHODIMP ActiveFormControl::get_MouseInClient(VARIANT_BOOL* Value) {
  return Get(Value, [&] {
    POINT cursor = {};
    GetCursorPos(&cursor);
    return ToVariantBool(WindowFromPoint(cursor) == window_->Handle());
  });
}
STDMETHODIMP ActiveFormControl::get_VisibleDockClientCount(LONG* Value) {
  return Get(Value, [] { return LONG{0}; });
}
STDMETHODIMP ActiveFormControl::get_Enabled(VARIANT_BOOL* Value) {
  return Get(Value, [&] { return ToVariantBool(IsWindowEnabled(window_->Handle()) != FALSE); });
}
STDMETHODIMP ActiveFormControl::put_Enabled(VARIANT_BOOL Value) {
  return Put([&] { EnableWindow(window_->Handle(), Value != 0); });
}

namespace {

RECT WindowRectangle(HWND window) {
  RECT rectangle = {};
  GetWindowRect(window, &rectangle);
  MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rectangle), 2);
  return rectangle;
}

}  // namespace

STDMETHODIMP ActiveFormControl::get_ExplicitLeft(LONG* Value) {
  return Get(Value, [&] { return WindowRectangle(window_->Handle()).left; });
}
STDMETHODIMP ActiveFormControl::get_ExplicitTop(LONG* Value) {
  return Get(Value, [&] { return WindowRectangle(window_->Handle()).top; });
}
STDMETHODIMP ActiveFormControl::get_ExplicitWidth(LONG* Value) {
  return Get(Value, [&] {
    const RECT r = WindowRectangle(window_->Handle());
    return r.right - r.left;
  });
}
STDMETHODIMP ActiveFormControl::get_ExplicitHeight(LONG* Value) {
  return Get(Value, [&] {
    const RECT r = WindowRectangle(window_->Handle());
    return r.bottom - r.top;
  });
}

// ---- The stored properties: values the weighing form keeps for its host and has no use for ----

#define TRAVINEL_STORED_PROPERTY(Name, Type, field)          \
  STDMETHODIMP ActiveFormControl::get_##Name(Type* Value) {  \
    return Get(Value, [&] { return ToCom(stored_.field); }); \
  }                                                          \
  STDMETHODIMP ActiveFormControl::put_##Name(Type Value) {   \
    return Put([&] { FromCom(Value, stored_.field); });      \
  }

TRAVINEL_STORED_PROPERTY(AutoScroll, VARIANT_BOOL, autoScroll)
TRAVINEL_STORED_PROPERTY(AutoSize, VARIANT_BOOL, autoSize)
TRAVINEL_STORED_PROPERTY(AxBorderStyle, TxActiveFormBorderStyle, axBorderStyle)
TRAVINEL_STORED_PROPERTY(BorderWidth, LONG, borderWidth)
TRAVINEL_STORED_PROPERTY(Color, OLE_COLOR, color)
TRAVINEL_STORED_PROPERTY(KeyPreview, VARIANT_BOOL, keyPreview)
TRAVINEL_STORED_PROPERTY(PixelsPerInch, LONG, pixelsPerInch)
TRAVINEL_STORED_PROPERTY(PrintScale, TxPrintScale, printScale)
TRAVINEL_STORED_PROPERTY(Scaled, VARIANT_BOOL, scaled)
TRAVINEL_STORED_PROPERTY(DropTarget, VARIANT_BOOL, dropTarget)
TRAVINEL_STORED_PROPERTY(HelpFile, BSTR, helpFile)
TRAVINEL_STORED_PROPERTY(PopupMode, TxPopupMode, popupMode)
TRAVINEL_STORED_PROPERTY(ScreenSnap, VARIANT_BOOL, screenSnap)
TRAVINEL_STORED_PROPERTY(SnapBuffer, LONG, snapBuffer)
TRAVINEL_STORED_PROPERTY(DockSite, VARIANT_BOOL, dockSite)
TRAVINEL_STORED_PROPERTY(DoubleBuffered, VARIANT_BOOL, doubleBuffered)
TRAVINEL_STORED_PROPERTY(ParentDoubleBuffered, VARIANT_BOOL, parentDoubleBuffered)
TRAVINEL_STORED_PROPERTY(UseDockManager, VARIANT_BOOL, useDockManager)
TRAVINEL_STORED_PROPERTY(AlignWithMargins, VARIANT_BOOL, alignWithMargins)
TRAVINEL_STORED_PROPERTY(ParentCustomHint, VARIANT_BOOL, parentCustomHint)
#undef TRAVINEL_STORED_PROPERTY

// ---- The scale's properties and the reading -------------------------------------------------

// Each goes through the form's getter and setter that the table of the form's properties gives
// for its name.
#define TRAVINEL_SCALE_PROPERTY(Name)                              \
  STDMETHODIMP ActiveFormControl::get_##Name(int* Value) {         \
    const FormProperty& property = *FormProperties::Named(#Name);  \
    return Get(Value, [&] { return (Form().*(property.get))(); }); \
  }                                                                \
  STDMETHODIMP ActiveFormControl::put_##Name(int Value) {          \
    const FormProperty& property = *FormProperties::Named(#Name);  \
    return Put([&] { (Form().*(property.set))(Value); });          \
  }

TRAVINEL_SCALE_PROPERTY(Porta)
TRAVINEL_SCALE_PROPERTY(Mod_Bal)
TRAVINEL_SCALE_PROPERTY(Hnd_Bal)
TRAVINEL_SCALE_PROPERTY(Par_Bal)
TRAVINEL_SCALE_PROPERTY(Stp_Bal)
TRAVINEL_SCALE_PROPERTY(Bit_Bal)
TRAVINEL_SCALE_PROPERTY(Vel_Bal)
TRAVINEL_SCALE_PROPERTY(Uni_Bal)
TRAVINEL_SCALE_PROPERTY(Dec_Bal)
#undef TRAVINEL_SCALE_PROPERTY

// Enabling opens the port: a page that may not use the scale gets a COM error, before the form
// would show it the refusal in a message box.
STDMETHODIMP ActiveFormControl::get_Usr_Bal(int* Value) {
  return Get(Value, [&] { return Form().UsrBal(); });
}
STDMETHODIMP ActiveFormControl::put_Usr_Bal(int Value) {
  return Put([&] {
    if (Value == 1) siteLock_.CheckPortAccess();
    Form().SetUsrBal(Value);
  });
}

STDMETHODIMP ActiveFormControl::get_PesoLido(double* Value) {
  return Get(Value, [&] { return Form().PesoLido(); });
}
STDMETHODIMP ActiveFormControl::put_PesoLido(double Value) {
  return Put([&] { Form().SetPesoLido(Value); });
}

STDMETHODIMP ActiveFormControl::LerPeso() {
  return Put([&] {
    siteLock_.CheckPortAccess();
    Form().LerPeso();
  });
}

// ---- Error information, class information, events -------------------------------------------

STDMETHODIMP ActiveFormControl::InterfaceSupportsErrorInfo(REFIID riid) {
  return IsEqualIID(riid, IID_IFfrmActivexForm) ? S_OK : S_FALSE;
}

STDMETHODIMP ActiveFormControl::GetClassInfo(ITypeInfo** info) {
  return ComServer::Instance().TypeInfoOf(CLSID_FfrmActivexForm, info);
}

STDMETHODIMP ActiveFormControl::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = DIID_IFfrmActivexFormEvents;
  return S_OK;
}

STDMETHODIMP ActiveFormControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
  IConnectionPoint* const point = connectionPoint_.Get();
  return ComEnumerator<ConnectionPointItems>::Create(&point, 1, points);
}

STDMETHODIMP ActiveFormControl::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (!IsEqualIID(riid, DIID_IFfrmActivexFormEvents)) return CONNECT_E_NOCONNECTION;
  *point = connectionPoint_.Get();
  (*point)->AddRef();
  return S_OK;
}

}  // namespace trv::com
