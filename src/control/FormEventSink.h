#pragma once

#include <cstdint>

namespace trv {

// The host's sink for the form's events, as the form sees it: an event is a call by its
// dispatch identifier; the key press passes its key by reference, so the host may change it.
class FormEventSink {
 public:
  // Dispatch identifiers of the events.
  enum Event : int {
    kOnActivate = 201,
    kOnClick = 202,
    kOnCreate = 203,
    kOnDblClick = 204,
    kOnDestroy = 205,
    kOnDeactivate = 206,
    kOnKeyPress = 207,
    kOnMouseEnter = 208,
    kOnMouseLeave = 209,
    kOnPaint = 210,
  };

  virtual ~FormEventSink() = default;
  // Raises what the host's call raises (an error the host's sink returned).
  virtual void Fire(Event event) = 0;
  virtual void FireKeyPress(int16_t& key) = 0;
};

}  // namespace trv
