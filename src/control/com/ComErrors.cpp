#include "control/com/ComErrors.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <exception>

#include "control/com/ComIdentifiers.h"
#include "platform/TextWin32.h"

namespace trv::com {
namespace {

void SetThreadErrorInfo(REFIID riid, const std::string& message) {
  Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(&create))) return;
  const std::wstring description = platform::Utf8ToWide(message);
  create->SetGUID(riid);
  create->SetSource(const_cast<LPOLESTR>(kProgId));
  create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
  Microsoft::WRL::ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, &info))) SetErrorInfo(0, info.Get());
}

}  // namespace

HRESULT Refusal(HRESULT result, REFIID riid, const std::string& message) {
  SetThreadErrorInfo(riid, message);
  return result;
}

HRESULT ResultOfCurrentException(REFIID riid) {
  HRESULT result = E_UNEXPECTED;
  std::string message = "Unexpected failure";
  try {
    throw;
  } catch (const ComError& e) {
    result = e.Result;
    message = e.what();
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
  }
  SetThreadErrorInfo(riid, message);
  return result;
}

}  // namespace trv::com
