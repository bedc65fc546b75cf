#pragma once

#include <span>
#include <string>
#include <string_view>

#include "control/FormProperty.h"
#include "control/FormSettings.h"

namespace trv {

class TFfrmActivexForm;

// The one table of the weighing form's nine scale properties (Porta, Mod_Bal, Hnd_Bal,
// Par_Bal, Stp_Bal, Bit_Bal, Vel_Bal, Uni_Bal, Dec_Bal): the command line, the local weight
// service and the control's property code read their names, ranges and defaults from it.
class FormProperties {
 public:
  // The properties, in the order the form is configured.
  static std::span<const FormProperty> All();
  // The property of that control name (exact letter case), or null.
  static const FormProperty* Named(std::string_view name);
  // The property the settings keep in `value`; every member of the settings but portPath has
  // one.
  static const FormProperty& Of(int FormSettings::*value);

  // The text parsers of the table: a number within the range; a number or one of the names;
  // a port number (3 or com3) or a device path (see FormValueText::Port).
  static bool ParseNumber(const FormProperty& property, const std::string& text,
                          FormSettings& settings);
  static bool ParseChoice(const FormProperty& property, const std::string& text,
                          FormSettings& settings);
  static bool ParsePort(const FormProperty& property, const std::string& text,
                        FormSettings& settings);

  // The name of one of the property's values, or the number when it has no name.
  static std::string ValueName(const FormProperty& property, int value);

  // Writes the settings into the form's properties (a device path through its PortName).
  static void Configure(TFfrmActivexForm& form, const FormSettings& settings);
};

}  // namespace trv
