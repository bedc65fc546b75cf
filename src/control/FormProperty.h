#pragma once

#include <string>

#include "control/FormSettings.h"

namespace trv {

class TFfrmActivexForm;

// One of the weighing form's scale properties: its names, the values it takes, where the
// settings and the form keep it, and how a text gives its value.
struct FormProperty {
  // Reads `text` into the settings; false, with the settings unchanged, for a text that is no
  // value of the property.
  using TextParser = bool (*)(const FormProperty& property, const std::string& text,
                              FormSettings& settings);

  // The control's property name (Porta, Mod_Bal, ...), as the service and pages name it.
  const char* name;
  // The form's field (Por_Bal, Mod_Bal, ...); the command line takes it as an alias.
  const char* field;
  // The command line's own name of the property (porta, modelo, ...).
  const char* option;
  // The range of its numbers (Porta: the port numbers; it also takes a device path).
  int low;
  int high;
  // The value of new settings; -1 stands for "not given" (Porta and Mod_Bal must be given).
  int defaultValue;
  int FormSettings::*value;
  // The names of the values low, low + 1, ... (any letter case), or null: numbers only.
  const char* const* names;
  TextParser parse;
  // What a value should be, in words, for a command that refuses one.
  const char* expected;
  int (TFfrmActivexForm::*get)() const;
  void (TFfrmActivexForm::*set)(int);
};

}  // namespace trv
