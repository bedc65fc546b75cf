#include "control/FormSettings.h"

#include "control/FormProperties.h"

namespace trv {

FormSettings::FormSettings() {
  for (const FormProperty& property : FormProperties::All()) {
    this->*(property.value) = property.defaultValue;
  }
}

}  // namespace trv
