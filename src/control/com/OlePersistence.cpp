#include "control/com/OlePersistence.h"

#include <oleauto.h>

#include <cstring>
#include <string>

#include "control/com/ActiveFormControl.h"
#include "control/com/ComErrors.h"
#include "control/com/ComIdentifiers.h"
#include "platform/TextWin32.h"

namespace trv::com {
namespace {

using Getter = HRESULT (STDMETHODCALLTYPE IFfrmActivexForm::*)(int*);
using Setter = HRESULT (STDMETHODCALLTYPE IFfrmActivexForm::*)(int);

struct PersistedProperty {
  const wchar_t* name;
  Getter get;
  Setter put;
};

// The form's configuration, in the order it is applied: enabling the scale comes last, once the
// port and the line are set.
constexpr PersistedProperty kProperties[] = {
    {L"Porta", &IFfrmActivexForm::get_Porta, &IFfrmActivexForm::put_Porta},
    {L"Mod_Bal", &IFfrmActivexForm::get_Mod_Bal, &IFfrmActivexForm::put_Mod_Bal},
    {L"Vel_Bal", &IFfrmActivexForm::get_Vel_Bal, &IFfrmActivexForm::put_Vel_Bal},
    {L"Bit_Bal", &IFfrmActivexForm::get_Bit_Bal, &IFfrmActivexForm::put_Bit_Bal},
    {L"Par_Bal", &IFfrmActivexForm::get_Par_Bal, &IFfrmActivexForm::put_Par_Bal},
    {L"Stp_Bal", &IFfrmActivexForm::get_Stp_Bal, &IFfrmActivexForm::put_Stp_Bal},
    {L"Hnd_Bal", &IFfrmActivexForm::get_Hnd_Bal, &IFfrmActivexForm::put_Hnd_Bal},
    {L"Uni_Bal", &IFfrmActivexForm::get_Uni_Bal, &IFfrmActivexForm::put_Uni_Bal},
    {L"Dec_Bal", &IFfrmActivexForm::get_Dec_Bal, &IFfrmActivexForm::put_Dec_Bal},
    {L"Usr_Bal", &IFfrmActivexForm::get_Usr_Bal, &IFfrmActivexForm::put_Usr_Bal},
};
static_assert(std::size(kProperties) == OlePersistence::kCount);

constexpr char kStreamMagic[4] = {'T', 'R', 'V', 'F'};
constexpr uint16_t kStreamVersion = 1;
constexpr size_t kStreamSize =
    sizeof kStreamMagic + 2 * sizeof(uint16_t) + 4 * OlePersistence::kCount;

using StreamBytes = std::array<unsigned char, kStreamSize>;

// A value that is not a whole number the property takes: refused with error information, and
// reported to the container's error log when it keeps one.
HRESULT RefuseValue(const wchar_t* name, IErrorLog* log) {
  const std::string message = "Valor inválido para " + platform::WideToUtf8(name);
  if (log != nullptr) {
    EXCEPINFO exception = {};
    exception.scode = E_INVALIDARG;
    exception.bstrSource = SysAllocString(kProgId);
    exception.bstrDescription = SysAllocString(platform::Utf8ToWide(message).c_str());
    log->AddError(name, &exception);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
  }
  return Refusal(E_INVALIDARG, IID_IPersistPropertyBag, message);
}

// The value the bag holds for the property as a 32-bit integer; S_FALSE when the bag has none.
HRESULT ReadValue(IPropertyBag* bag, const wchar_t* name, IErrorLog* log, int32_t& value) {
  VARIANT raw;
  VariantInit(&raw);  // VT_EMPTY: the value in whatever type the bag keeps it
  if (FAILED(bag->Read(name, &raw, log))) return S_FALSE;
  VARIANT number;
  VariantInit(&number);
  const HRESULT converted = VariantChangeType(&number, &raw, 0, VT_I4);
  VariantClear(&raw);
  if (FAILED(converted)) return RefuseValue(name, log);
  value = number.lVal;
  return S_OK;
}

void PutInteger(unsigned char* at, uint32_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t GetInteger(const unsigned char* at, size_t bytes) {
  uint32_t value = 0;
  for (size_t i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(at[i]) << (8 * i);
  return value;
}

StreamBytes Encode(const OlePersistence::Values& values) {
  StreamBytes bytes{};
  std::memcpy(bytes.data(), kStreamMagic, sizeof kStreamMagic);
  PutInteger(bytes.data() + 4, kStreamVersion, 2);
  PutInteger(bytes.data() + 6, OlePersistence::kCount, 2);
  for (size_t i = 0; i < values.size(); ++i) {
    PutInteger(bytes.data() + 8 + 4 * i, static_cast<uint32_t>(values[i]), 4);
  }
  return bytes;
}

bool Decode(const StreamBytes& bytes, OlePersistence::Values& values) {
  if (std::memcmp(bytes.data(), kStreamMagic, sizeof kStreamMagic) != 0) return false;
  if (GetInteger(bytes.data() + 4, 2) != kStreamVersion) return false;
  if (GetInteger(bytes.data() + 6, 2) != OlePersistence::kCount) return false;
  for (size_t i = 0; i < values.size(); ++i) {
    values[i] = static_cast<int32_t>(GetInteger(bytes.data() + 8 + 4 * i, 4));
  }
  return true;
}

}  // namespace

bool OlePersistence::Find(REFIID riid, void** object) {
  if (IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IPersistStreamInit)) {
    return Give<IPersistStreamInit>(object);
  }
  if (IsEqualIID(riid, IID_IPersistPropertyBag)) return Give<IPersistPropertyBag>(object);
  return false;
}

STDMETHODIMP OlePersistence::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_FfrmActivexForm;
  return S_OK;
}

STDMETHODIMP OlePersistence::InitNew() {
  clean_ = Current();
  knowsClean_ = true;
  return S_OK;
}

STDMETHODIMP OlePersistence::IsDirty() {
  return knowsClean_ && Current() == clean_ ? S_FALSE : S_OK;
}

STDMETHODIMP OlePersistence::Load(LPSTREAM stream) {
  if (stream == nullptr) return E_POINTER;
  StreamBytes bytes{};
  ULONG read = 0;
  Values values{};
  if (FAILED(stream->Read(bytes.data(), kStreamSize, &read)) || read != kStreamSize ||
      !Decode(bytes, values)) {
    return Refusal(E_FAIL, IID_IPersistStreamInit, "Dados de configuração inválidos");
  }
  std::array<bool, kCount> present;
  present.fill(true);
  return Apply(values, present);
}

STDMETHODIMP OlePersistence::Save(LPSTREAM stream, BOOL clearDirty) {
  if (stream == nullptr) return E_POINTER;
  const Values values = Current();
  const StreamBytes bytes = Encode(values);
  ULONG written = 0;
  const HRESULT result = stream->Write(bytes.data(), kStreamSize, &written);
  if (FAILED(result)) return result;
  if (written != kStreamSize) return STG_E_MEDIUMFULL;
  if (clearDirty) {
    clean_ = values;
    knowsClean_ = true;
  }
  return S_OK;
}

STDMETHODIMP OlePersistence::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = kStreamSize;
  return S_OK;
}

STDMETHODIMP OlePersistence::Load(IPropertyBag* bag, IErrorLog* log) {
  if (bag == nullptr) return E_POINTER;
  // Every value is read and checked before any is set: a refused tag changes nothing.
  Values values{};
  std::array<bool, kCount> present{};
  for (size_t i = 0; i < kCount; ++i) {
    const HRESULT result = ReadValue(bag, kProperties[i].name, log, values[i]);
    if (FAILED(result)) return result;
    present[i] = result == S_OK;
  }
  return Apply(values, present);
}

STDMETHODIMP OlePersistence::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
  if (bag == nullptr) return E_POINTER;
  const Values values = Current();
  for (size_t i = 0; i < kCount; ++i) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = values[i];
    const HRESULT result = bag->Write(kProperties[i].name, &value);
    if (FAILED(result)) return result;
  }
  if (clearDirty) {
    clean_ = values;
    knowsClean_ = true;
  }
  return S_OK;
}

OlePersistence::Values OlePersistence::Current() {
  Values values{};
  IFfrmActivexForm& form = control_;
  for (size_t i = 0; i < kCount; ++i) {
    int value = 0;
    (form.*kProperties[i].get)(&value);
    values[i] = value;
  }
  return values;
}

HRESULT OlePersistence::Apply(const Values& values, const std::array<bool, kCount>& present) {
  IFfrmActivexForm& form = control_;
  const Values before = Current();
  for (size_t i = 0; i < kCount; ++i) {
    // A value the control has already is not set again: enabling or disabling the scale anew
    // would show the form's messages for nothing.
    if (!present[i] || values[i] == before[i]) continue;
    const HRESULT result = (form.*kProperties[i].put)(values[i]);
    if (FAILED(result)) return result;
  }
  clean_ = Current();
  knowsClean_ = true;
  return S_OK;
}

}  // namespace trv::com
