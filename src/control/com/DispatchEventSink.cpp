#include "control/com/DispatchEventSink.h"

#include <string>
#include <utility>

#include "control/com/ComErrors.h"

namespace trv::com {

DispatchEventSink::DispatchEventSink(IDispatch* sink, std::function<bool()> frozen)
    : sink_(sink), frozen_(std::move(frozen)) {}

void DispatchEventSink::Fire(Event event) {
  DISPPARAMS none = {};
  Call(event, none);
}

void DispatchEventSink::FireKeyPress(int16_t& key) {
  // The key travels by reference, so the host can change it or suppress it (0).
  SHORT value = key;
  VARIANTARG argument;
  VariantInit(&argument);
  argument.vt = VT_I2 | VT_BYREF;
  argument.piVal = &value;
  DISPPARAMS parameters = {};
  parameters.rgvarg = &argument;
  parameters.cArgs = 1;
  Call(kOnKeyPress, parameters);
  key = value;
}

void DispatchEventSink::Call(Event event, DISPPARAMS& parameters) {
  if (frozen_ && frozen_()) return;
  const HRESULT result = sink_->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                       &parameters, nullptr, nullptr, nullptr);
  if (FAILED(result)) {
    throw ComError(result, "The host's event sink failed on event " + std::to_string(event));
  }
}

}  // namespace trv::com
