#include "control/com/OleEmbedding.h"

#include <olectl.h>

#include "control/com/ActiveFormControl.h"
#include "control/com/ComIdentifiers.h"

namespace trv::com {
namespace {

constexpr wchar_t kUserType[] = L"FfrmActivexForm Control";

// Pixels at 96 per inch to HIMETRIC (hundredths of a millimetre).
LONG PixelsToHimetric(int pixels) {
  return MulDiv(pixels, 2540, 96);
}

LPOLESTR CopyToTaskMemory(const wchar_t* text) {
  const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (copy != nullptr) memcpy(copy, text, bytes);
  return copy;
}

}  // namespace

OleEmbedding::OleEmbedding(ActiveFormControl& control)
    : ControlTearOff(control),
      extent_{PixelsToHimetric(Win32FormWindow::kWidth),
              PixelsToHimetric(Win32FormWindow::kHeight)},
      view_(control, extent_),
      persistence_(control),
      safety_(control) {}

bool OleEmbedding::Find(REFIID riid, void** object) {
  if (IsEqualIID(riid, IID_IOleObject)) return Give<IOleObject>(object);
  if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceObject)) {
    return Give<IOleInPlaceObject>(object);
  }
  if (IsEqualIID(riid, IID_IOleInPlaceActiveObject)) return Give<IOleInPlaceActiveObject>(object);
  if (IsEqualIID(riid, IID_IOleControl)) return Give<IOleControl>(object);
  return view_.Find(riid, object) || persistence_.Find(riid, object) || safety_.Find(riid, object);
}

HWND OleEmbedding::FormWindow() const {
  return control_.Window().Handle();
}

// ---- IOleObject -------------------------------------------------------------------------------

STDMETHODIMP OleEmbedding::SetClientSite(IOleClientSite* site) {
  site_ = site;
  control_.Sites().SetSite(site);
  return S_OK;
}

STDMETHODIMP OleEmbedding::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  return site_.CopyTo(site);
}

STDMETHODIMP OleEmbedding::SetHostNames(LPCOLESTR, LPCOLESTR) {
  return S_OK;
}

STDMETHODIMP OleEmbedding::Close(DWORD) {
  // Nothing to save: the control keeps no state of its own beyond what the host sets.
  InPlaceDeactivate();
  if (adviseHolder_ != nullptr) adviseHolder_->SendOnClose();
  return S_OK;
}

STDMETHODIMP OleEmbedding::SetMoniker(DWORD, IMoniker*) {
  return E_NOTIMPL;
}

STDMETHODIMP OleEmbedding::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP OleEmbedding::InitFromData(IDataObject*, BOOL, DWORD) {
  return E_NOTIMPL;
}

STDMETHODIMP OleEmbedding::GetClipboardData(DWORD, IDataObject** data) {
  if (data != nullptr) *data = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP OleEmbedding::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND,
                                  LPCRECT) {
  // A container that activates without having given its site first gives it here.
  if (site_ == nullptr && activeSite != nullptr) SetClientSite(activeSite);
  switch (verb) {
    case OLEIVERB_INPLACEACTIVATE:
      return Activate(false);
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_SHOW:
    case OLEIVERB_OPEN:
      return Activate(true);
    case OLEIVERB_HIDE:
      UIDeactivate();
      if (FormWindow() != nullptr) ShowWindow(FormWindow(), SW_HIDE);
      return S_OK;
    case OLEIVERB_PRIMARY:
      // Verb 0 is the primary verb and the registered "Properties" verb; the control names no
      // property page, so it activates the control as showing it would.
      return Activate(true);
    default:
      // Unknown positive verbs run as the primary one; unknown negative ones are refused.
      if (verb < 0) return E_NOTIMPL;
      return SUCCEEDED(Activate(true)) ? OLEOBJ_S_INVALIDVERB : E_FAIL;
  }
}

STDMETHODIMP OleEmbedding::EnumVerbs(IEnumOLEVERB** verbs) {
  if (verbs == nullptr) return E_POINTER;
  // The verbs are the registered ones (Verb\0 = "Properties,0,2").
  return OleRegEnumVerbs(CLSID_FfrmActivexForm, verbs);
}

STDMETHODIMP OleEmbedding::Update() {
  return S_OK;
}

STDMETHODIMP OleEmbedding::IsUpToDate() {
  return S_OK;
}

STDMETHODIMP OleEmbedding::GetUserClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_FfrmActivexForm;
  return S_OK;
}

STDMETHODIMP OleEmbedding::GetUserType(DWORD, LPOLESTR* userType) {
  if (userType == nullptr) return E_POINTER;
  *userType = CopyToTaskMemory(kUserType);
  return *userType != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP OleEmbedding::SetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  // The window follows when the container places it (SetObjectRects).
  extent_ = *size;
  return S_OK;
}

STDMETHODIMP OleEmbedding::GetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}

STDMETHODIMP OleEmbedding::Advise(IAdviseSink* sink, DWORD* connection) {
  if (sink == nullptr || connection == nullptr) return E_POINTER;
  if (adviseHolder_ == nullptr) {
    const HRESULT created = CreateOleAdviseHolder(&adviseHolder_);
    if (FAILED(created)) return created;
  }
  return adviseHolder_->Advise(sink, connection);
}

STDMETHODIMP OleEmbedding::Unadvise(DWORD connection) {
  if (adviseHolder_ == nullptr) return OLE_E_NOCONNECTION;
  return adviseHolder_->Unadvise(connection);
}

STDMETHODIMP OleEmbedding::EnumAdvise(IEnumSTATDATA** advises) {
  if (advises == nullptr) return E_POINTER;
  *advises = nullptr;
  if (adviseHolder_ == nullptr) return S_OK;
  return adviseHolder_->EnumAdvise(advises);
}

STDMETHODIMP OleEmbedding::GetMiscStatus(DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = kControlMiscStatus | kFactoryMiscStatus;
  return S_OK;
}

STDMETHODIMP OleEmbedding::SetColorScheme(LOGPALETTE*) {
  return E_NOTIMPL;
}

// ---- In-place activation ----------------------------------------------------------------------

HRESULT OleEmbedding::Activate(bool ui) {
  if (FormWindow() == nullptr) return E_UNEXPECTED;
  if (!inPlaceActive_) {
    const HRESULT result = ActivateInPlace();
    if (FAILED(result)) return result;
  }
  ShowWindow(FormWindow(), SW_SHOWNA);
  return ui ? ActivateUserInterface() : S_OK;
}

HRESULT OleEmbedding::ActivateInPlace() {
  if (site_ == nullptr) return E_UNEXPECTED;
  HRESULT result = site_->QueryInterface(IID_IOleInPlaceSite, &inPlaceSite_);
  if (FAILED(result)) return result;
  if (inPlaceSite_->CanInPlaceActivate() != S_OK) {
    inPlaceSite_.Reset();
    return E_FAIL;
  }
  inPlaceSite_->OnInPlaceActivate();
  HWND parent = nullptr;
  RECT position = {};
  RECT clip = {};
  OLEINPLACEFRAMEINFO frameInfo = {};
  frameInfo.cb = sizeof frameInfo;
  result = inPlaceSite_->GetWindow(&parent);
  if (SUCCEEDED(result)) {
    result = inPlaceSite_->GetWindowContext(&frame_, &uiWindow_, &position, &clip, &frameInfo);
  }
  if (FAILED(result) || parent == nullptr) {
    inPlaceSite_->OnInPlaceDeactivate();
    ReleaseFrames();
    inPlaceSite_.Reset();
    return FAILED(result) ? result : E_FAIL;
  }
  EnterContainerWindow(parent, position);
  inPlaceActive_ = true;
  return S_OK;
}

void OleEmbedding::EnterContainerWindow(HWND parent, const RECT& position) {
  control_.Window().SetParentWindow(parent);
  SetWindowPos(FormWindow(), nullptr, position.left, position.top, position.right - position.left,
               position.bottom - position.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

HRESULT OleEmbedding::ActivateUserInterface() {
  if (uiActive_ || inPlaceSite_ == nullptr) return S_OK;
  uiActive_ = true;
  inPlaceSite_->OnUIActivate();
  if (frame_ != nullptr) frame_->SetActiveObject(this, kUserType);
  if (uiWindow_ != nullptr) uiWindow_->SetActiveObject(this, kUserType);
  if (frame_ != nullptr) frame_->SetBorderSpace(nullptr);
  SetFocus(FormWindow());
  return S_OK;
}

void OleEmbedding::ReleaseFrames() {
  uiWindow_.Reset();
  frame_.Reset();
}

// ---- IOleWindow, IOleInPlaceObject --------------------------------------------------------------

STDMETHODIMP OleEmbedding::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = FormWindow();
  return *window != nullptr ? S_OK : E_FAIL;
}

STDMETHODIMP OleEmbedding::ContextSensitiveHelp(BOOL) {
  return E_NOTIMPL;
}

STDMETHODIMP OleEmbedding::InPlaceDeactivate() {
  if (!inPlaceActive_) return S_OK;
  UIDeactivate();
  inPlaceActive_ = false;
  // Hidden and top-level again, the form keeps its state until the next activation.
  if (FormWindow() != nullptr) {
    ShowWindow(FormWindow(), SW_HIDE);
    control_.Window().SetParentWindow(nullptr);
  }
  ReleaseFrames();
  Microsoft::WRL::ComPtr<IOleInPlaceSite> site;
  site.Swap(inPlaceSite_);
  site->OnInPlaceDeactivate();
  return S_OK;
}

STDMETHODIMP OleEmbedding::UIDeactivate() {
  if (!uiActive_) return S_OK;
  uiActive_ = false;
  if (uiWindow_ != nullptr) uiWindow_->SetActiveObject(nullptr, nullptr);
  if (frame_ != nullptr) frame_->SetActiveObject(nullptr, nullptr);
  if (inPlaceSite_ != nullptr) inPlaceSite_->OnUIDeactivate(FALSE);
  return S_OK;
}

STDMETHODIMP OleEmbedding::SetObjectRects(LPCRECT position, LPCRECT) {
  if (position == nullptr) return E_POINTER;
  if (FormWindow() == nullptr) return E_UNEXPECTED;
  SetWindowPos(FormWindow(), nullptr, position->left, position->top,
               position->right - position->left, position->bottom - position->top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  return S_OK;
}

STDMETHODIMP OleEmbedding::ReactivateAndUndo() {
  return E_NOTIMPL;
}

// ---- IOleInPlaceActiveObject --------------------------------------------------------------------

STDMETHODIMP OleEmbedding::TranslateAccelerator(LPMSG) {
  return S_FALSE;  // no accelerators: the message goes on to the window
}

STDMETHODIMP OleEmbedding::OnFrameWindowActivate(BOOL) {
  return S_OK;
}

STDMETHODIMP OleEmbedding::OnDocWindowActivate(BOOL) {
  return S_OK;
}

STDMETHODIMP OleEmbedding::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
  return S_OK;
}

STDMETHODIMP OleEmbedding::EnableModeless(BOOL) {
  return S_OK;
}

// ---- IOleControl --------------------------------------------------------------------------------

STDMETHODIMP OleEmbedding::GetControlInfo(CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  // No mnemonics: no accelerator table.
  info->cb = sizeof *info;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

STDMETHODIMP OleEmbedding::OnMnemonic(MSG*) {
  return E_NOTIMPL;
}

STDMETHODIMP OleEmbedding::OnAmbientPropertyChange(DISPID) {
  return S_OK;  // the form uses no ambient property
}

STDMETHODIMP OleEmbedding::FreezeEvents(BOOL freeze) {
  control_.FreezeEvents(freeze != FALSE);
  return S_OK;
}

}  // namespace trv::com
