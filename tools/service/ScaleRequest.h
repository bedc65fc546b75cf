#pragma once

#include <map>
#include <string>

#include "NamedScales.h"
#include "control/FormSettings.h"

namespace trv::service {

// What a page asks of the scale: a scale IT named ("balanca": "caixa"), or the weighing form's
// properties, named as the control names them (Porta, Mod_Bal, Vel_Bal, Bit_Bal, Par_Bal,
// Stp_Bal, Hnd_Bal, Uni_Bal, Dec_Bal), with the control's defaults for those left out. Without
// a name Porta and Mod_Bal (1 to 7) are required, unless a single scale is configured, which a
// request without Porta then uses; with a name the other properties, when given, override the
// scale's, and Porta is refused.
class ScaleRequest {
 public:
  // From a JSON object (POST /v1/ler): numbers, and Porta also as a text ("com1" or a device
  // path). False, with the refusal in words a developer can act on, for malformed JSON, a field
  // that is not the control's, a value of the wrong type or out of range, an unknown scale.
  static bool FromJson(const std::string& body, const NamedScales& scales, ChosenScale& chosen,
                       ScaleRefusal& refusal);
  // From the query of GET /v1/eventos, with the same names and rules (values are texts there).
  static bool FromQuery(const std::map<std::string, std::string>& query, const NamedScales& scales,
                        ChosenScale& chosen, ScaleRefusal& refusal);
  // The port as a page names it in the allowed list: the number, or the device path.
  static std::string PortName(const FormSettings& settings);
  // Replaces the port by the serial device it leads to (see ResolveSerialDevice), so that the
  // form opens that device alone and never takes the name for a file; false, with the settings
  // unchanged, when the port is no serial device. Nothing is opened or created to decide.
  static bool PinSerialDevice(FormSettings& settings);
};

}  // namespace trv::service
