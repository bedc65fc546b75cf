#pragma once

#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <functional>

#include "control/FormEventSink.h"

namespace trv::com {

// The host's event sink seen by the form: each event is a dispatch call of its identifier on
// the host's IDispatch. An error that the host returns is raised as ComError. While the container
// holds the events frozen (`frozen` answers true), they are dropped, as containers expect while
// they load a page.
class DispatchEventSink final : public FormEventSink {
 public:
  DispatchEventSink(IDispatch* sink, std::function<bool()> frozen);
  DispatchEventSink(const DispatchEventSink&) = delete;
  DispatchEventSink& operator=(const DispatchEventSink&) = delete;

  void Fire(Event event) override;
  void FireKeyPress(int16_t& key) override;

 private:
  void Call(Event event, DISPPARAMS& parameters);

  Microsoft::WRL::ComPtr<IDispatch> sink_;
  std::function<bool()> frozen_;
};

}  // namespace trv::com
