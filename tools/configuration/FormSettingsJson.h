#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "control/FormSettings.h"

namespace trv::config {

// The weighing form's settings in JSON, named as the control names its properties (Porta,
// Mod_Bal, Vel_Bal, Bit_Bal, Par_Bal, Stp_Bal, Hnd_Bal, Uni_Bal, Dec_Bal): the one reader of a
// page's request to the local weight service and of a named scale in its configuration file,
// driven by the table of the form's properties. Numbers, and Porta also as a text ("com1" or a
// device path). Mod_Bal 0 (no scale), which the form takes, is refused: a reading needs a
// scale. Errors are in words a developer can act on, in Portuguese.
class FormSettingsJson {
 public:
  // Where the settings come from: a named scale's port may also be a USB adapter's identity
  // ("usb:VID:PID:SERIAL"), which only the configuration file may give.
  enum class Source { kPage, kConfiguration };

  // Reads every member of `object` into the settings; false, with `error`, for a member that is
  // not one of the control's properties, a value of the wrong type or out of range. Members left
  // out keep their values.
  static bool Read(const nlohmann::json& object, Source source, FormSettings& settings,
                   std::string& error);
  // One property given as a text, as in a query (GET /v1/eventos?Mod_Bal=1): numbers only, and
  // Porta also as a device path.
  static bool ReadText(const std::string& name, const std::string& text, FormSettings& settings,
                       std::string& error);
  // Porta and Mod_Bal were given.
  static bool CheckRequired(const FormSettings& settings, std::string& error);
  // Every property, Porta as its number or as the text of its path or identity.
  static nlohmann::json Write(const FormSettings& settings);
};

}  // namespace trv::config
