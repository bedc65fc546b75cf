#include "control/com/ComErrors.h"

#include <oleauto.h>

#include <exception>

#include "control/com/ComIdentifiers.h"
#include "platform/TextWin32.h"

namespace trv::com {
namespace {

void SetThreadErrorInfo(REFIID riid, const std::string& message) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return;
  const std::wstring description = platform::Utf8ToWide(message);
  create->SetGUID(riid);
  create->SetSource(const_cast<LPOLESTR>(kProgId));
  create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
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
