#include "control/FormProperties.h"

#include <gtest/gtest.h>

#include "control/FrmActivexForm.h"
#include "control/HeadlessControls.h"
#include "platform/TimerQueue.h"
#include "testing/ManualClock.h"

namespace trv {
namespace {

TEST(FormProperties, NewSettingsHoldTheTableDefaults) {
  const FormSettings settings;
  for (const FormProperty& property : FormProperties::All()) {
    EXPECT_EQ(settings.*(property.value), property.defaultValue) << property.name;
  }
  EXPECT_EQ(settings.porta, -1);
  EXPECT_EQ(settings.modelo, -1);
  EXPECT_EQ(settings.vel, 9600);
  EXPECT_EQ(settings.bits, 8);
  EXPECT_TRUE(settings.portPath.empty());
}

TEST(FormProperties, ConfigureWritesEveryPropertyIntoTheForm) {
  platform::ManualClock clock{10000};
  platform::ScopedClock scopedClock{clock};
  platform::TimerQueue timers;
  platform::ScopedTimerService scopedTimers{timers};
  HeadlessControls ui;
  TFfrmActivexForm form(nullptr, ui.Controls());

  FormSettings settings;
  for (const FormProperty& property : FormProperties::All()) {
    settings.*(property.value) = property.high;
  }
  FormProperties::Configure(form, settings);
  for (const FormProperty& property : FormProperties::All()) {
    EXPECT_EQ((form.*(property.get))(), property.high) << property.name;
  }
  EXPECT_EQ(form.PortName(3), "com3");

  settings.portPath = "/dev/ttyUSB0";
  FormProperties::Configure(form, settings);
  EXPECT_EQ(form.PortName(3), "/dev/ttyUSB0");
}

// Each property's text parser: numbers within the range, names where it has them, and the
// settings untouched by a refused text.
TEST(FormProperties, TextParsers) {
  struct Case {
    const char* property;
    const char* text;
    bool read;
    int value;
  };
  const Case cases[] = {
      {"Porta", "com4", true, 4},         {"Porta", "-3", false, -1},
      {"Mod_Bal", "Toledo2180", true, 3}, {"Mod_Bal", "8", false, -1},
      {"Par_Bal", "S", true, 4},          {"Hnd_Bal", "dtr", true, 3},
      {"Uni_Bal", "kg", true, 1},         {"Vel_Bal", "4000000", true, 4000000},
      {"Vel_Bal", "49", false, 9600},     {"Bit_Bal", "4", false, 8},
      {"Stp_Bal", "one", false, 0},       {"Dec_Bal", " 1", false, 0},
  };
  for (const Case& c : cases) {
    const FormProperty& property = *FormProperties::Named(c.property);
    FormSettings settings;
    EXPECT_EQ(property.parse(property, c.text, settings), c.read) << c.property << " " << c.text;
    EXPECT_EQ(settings.*(property.value), c.value) << c.property << " " << c.text;
  }
  EXPECT_EQ(FormProperties::Named("porta"), nullptr);
  EXPECT_EQ(FormProperties::ValueName(FormProperties::Of(&FormSettings::modelo), 7), "digitron");
  EXPECT_EQ(FormProperties::ValueName(FormProperties::Of(&FormSettings::vel), 9600), "9600");
}

}  // namespace
}  // namespace trv
