#include "control/com/ControlTearOff.h"

#include "control/com/ActiveFormControl.h"

namespace trv::com {

IUnknown* ControlIdentity(ActiveFormControl& control) {
  return control.Identity();
}

}  // namespace trv::com
