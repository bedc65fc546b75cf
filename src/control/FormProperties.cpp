#include "control/FormProperties.h"

#include <iterator>
#include <stdexcept>

#include "control/FormValueText.h"
#include "control/FrmActivexForm.h"
#include "device/TrvDevice.h"

namespace trv {
namespace {

const char* const kModels[] = {"nenhum", "filizola", "toledo", "toledo2180",
                               "urano",  "lucastec", "magna",  "digitron"};
const char* const kParities[] = {"n", "o", "e", "m", "s"};
const char* const kHandshakes[] = {"nenhum", "xon", "rts", "dtr"};
const char* const kUnits[] = {"g", "kg"};

using F = TFfrmActivexForm;
using S = FormSettings;

const FormProperty kProperties[] = {
    {"Porta", "Por_Bal", "porta", 0, 255, -1, &S::porta, nullptr, &FormProperties::ParsePort,
     "a port number (1 for com1) or a device path such as /dev/ttyUSB0", &F::Porta, &F::SetPorta},
    {"Mod_Bal", "Mod_Bal", "modelo", 0, static_cast<int>(std::size(kModels)) - 1, -1, &S::modelo,
     kModels, &FormProperties::ParseChoice,
     "a scale model: 0-7 or nenhum, filizola, toledo, toledo2180, urano, lucastec, magna, "
     "digitron",
     &F::ModBal, &F::SetModBal},
    {"Hnd_Bal", "Hnd_Bal", "handshake", 0, static_cast<int>(std::size(kHandshakes)) - 1, 0,
     &S::handshake, kHandshakes, &FormProperties::ParseChoice,
     "a handshake: 0-3 or nenhum, xon, rts, dtr", &F::HndBal, &F::SetHndBal},
    {"Par_Bal", "Par_Bal", "paridade", 0, static_cast<int>(std::size(kParities)) - 1, 0,
     &S::paridade, kParities, &FormProperties::ParseChoice, "a parity: 0-4 or n, o, e, m, s",
     &F::ParBal, &F::SetParBal},
    {"Stp_Bal", "Stp_Bal", "parada", 0, 2, 0, &S::parada, nullptr, &FormProperties::ParseNumber,
     "a stop bits code: 0 (one), 1 (one and a half) or 2 (two)", &F::StpBal, &F::SetStpBal},
    {"Bit_Bal", "Bit_Bal", "bits", TTrvDevice::kMinData, TTrvDevice::kMaxData, 8, &S::bits, nullptr,
     &FormProperties::ParseNumber, "a number of data bits from 5 to 8", &F::BitBal, &F::SetBitBal},
    {"Vel_Bal", "Vel_Bal", "vel", TTrvDevice::kMinBaud, TTrvDevice::kMaxBaud, 9600, &S::vel,
     nullptr, &FormProperties::ParseNumber, "a baud rate from 50 to 4000000", &F::VelBal,
     &F::SetVelBal},
    {"Uni_Bal", "Uni_Bal", "unidade", 0, static_cast<int>(std::size(kUnits)) - 1, 0, &S::unidade,
     kUnits, &FormProperties::ParseChoice, "a unit: g or kg", &F::UniBal, &F::SetUniBal},
    {"Dec_Bal", "Dec_Bal", "decimais", 0, 1, 0, &S::decimais, nullptr, &FormProperties::ParseNumber,
     "0 or 1", &F::DecBal, &F::SetDecBal},
};

}  // namespace

std::span<const FormProperty> FormProperties::All() {
  return kProperties;
}

const FormProperty* FormProperties::Named(std::string_view name) {
  for (const FormProperty& property : kProperties) {
    if (name == property.name) return &property;
  }
  return nullptr;
}

const FormProperty& FormProperties::Of(int FormSettings::*value) {
  for (const FormProperty& property : kProperties) {
    if (property.value == value) return property;
  }
  throw std::logic_error("a member of the form's settings without a property");
}

bool FormProperties::ParseNumber(const FormProperty& property, const std::string& text,
                                 FormSettings& settings) {
  return FormValueText::Integer(text, property.low, property.high, settings.*(property.value));
}

bool FormProperties::ParseChoice(const FormProperty& property, const std::string& text,
                                 FormSettings& settings) {
  return FormValueText::Choice(text, property.names, property.low, property.high,
                               settings.*(property.value));
}

bool FormProperties::ParsePort(const FormProperty& property, const std::string& text,
                               FormSettings& settings) {
  return FormValueText::Port(text, property.low, property.high, settings.*(property.value),
                             settings.portPath);
}

std::string FormProperties::ValueName(const FormProperty& property, int value) {
  const bool named = property.names != nullptr && value >= property.low && value <= property.high;
  return named ? property.names[value - property.low] : std::to_string(value);
}

void FormProperties::Configure(TFfrmActivexForm& form, const FormSettings& settings) {
  if (!settings.portPath.empty()) {
    const std::string path = settings.portPath;
    form.PortName = [path](int) { return path; };
  } else {
    form.PortName = [](int number) { return "com" + std::to_string(number); };
  }
  for (const FormProperty& property : kProperties) {
    (form.*(property.set))(settings.*(property.value));
  }
}

}  // namespace trv
