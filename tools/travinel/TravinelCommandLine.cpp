#include "TravinelCommandLine.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>

#include "control/FormProperties.h"
#include "control/FormValueText.h"
#include "platform/Text.h"

namespace trv::cli {
namespace {

// Every option name, lower case, with the name it stands for: each of the form's properties
// under the command's own name and, as an alias, the form's field name.
const std::map<std::string, std::string>& Names() {
  static const std::map<std::string, std::string> names = [] {
    std::map<std::string, std::string> all{{"--duracao", "duracao"}, {"--balanca", "balanca"},
                                           {"--verbose", "verbose"}, {"-v", "verbose"},
                                           {"--help", "help"},       {"-h", "help"}};
    for (const FormProperty& property : FormProperties::All()) {
      all.emplace(std::string("--") + property.option, property.option);
      all.emplace("--" + platform::AsciiLower(property.field), property.option);
    }
    return all;
  }();
  return names;
}

// How an option's value is read, and what it should have been when it cannot be.
struct ValueReader {
  const char* expected;
  std::function<bool(const std::string&, CommandOptions&)> read;
};

const std::map<std::string, ValueReader>& Readers() {
  static const std::map<std::string, ValueReader> readers = [] {
    std::map<std::string, ValueReader> all{
        {"duracao",
         {"a number of seconds from 1 to 31536000",
          [](const std::string& v, CommandOptions& o) {
            return FormValueText::Integer(v, 1, 31536000, o.durationSeconds);
          }}},
        // The name is checked against the configuration file, which says what names it takes.
        {"balanca", {"the name of a configured scale", [](const std::string& v, CommandOptions& o) {
                       o.scaleName = v;
                       return !v.empty();
                     }}}};
    for (const FormProperty& property : FormProperties::All()) {
      all.emplace(property.option, ValueReader{property.expected, [&property](const std::string& v,
                                                                              CommandOptions& o) {
                                                 if (!property.parse(property, v, o.form)) {
                                                   return false;
                                                 }
                                                 o.given.push_back(property.value);
                                                 return true;
                                               }});
    }
    return all;
  }();
  return readers;
}

}  // namespace

bool TravinelCommandLine::Fail(const std::string& message) {
  error_ = message;
  return false;
}

bool TravinelCommandLine::Parse(int argc, const char* const* argv) {
  const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
  if (args.empty())
    return Fail(
        "missing subcommand (ler, monitorar, portas, detectar, simular, demo, servir or "
        "configurar)");
  if (!ParseSubcommand(args[0])) return false;
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  switch (options_.command) {
    case Subcommand::Simular:
      options_.simulatorArgs = rest;
      return true;
    case Subcommand::Servir:
      options_.serviceArgs = rest;
      return true;
    case Subcommand::Configurar:
      options_.configureArgs = rest;
      return true;
    case Subcommand::Detectar:
      options_.detectArgs = rest;
      return true;
    case Subcommand::Ler:
    case Subcommand::Monitorar:
      // Asking for help needs no --porta or --modelo.
      return ParseOptions(rest) && (options_.command == Subcommand::Help || CheckComplete());
    default:
      return ParseOptions(rest);
  }
}

bool TravinelCommandLine::ParseSubcommand(const std::string& name) {
  static const std::map<std::string, Subcommand> kSubcommands{
      {"ler", Subcommand::Ler},
      {"monitorar", Subcommand::Monitorar},
      {"portas", Subcommand::Portas},
      {"simular", Subcommand::Simular},
      {"demo", Subcommand::Demo},
      {"servir", Subcommand::Servir},
      {"configurar", Subcommand::Configurar},
      {"detectar", Subcommand::Detectar},
      {"help", Subcommand::Help},
      {"--help", Subcommand::Help},
      {"-h", Subcommand::Help}};
  const auto found = kSubcommands.find(name);
  if (found == kSubcommands.end()) {
    return Fail("unknown subcommand '" + name +
                "' (ler, monitorar, portas, detectar, simular, demo, servir or configurar)");
  }
  options_.command = found->second;
  return true;
}

bool TravinelCommandLine::ParseOptions(const std::vector<std::string>& args) {
  for (size_t index = 0; index < args.size(); ++index) {
    std::string given;
    std::string canonical;
    std::string value;
    if (!NextOption(args, index, given, canonical, value)) return false;
    if (!Apply(given, canonical, value)) return false;
  }
  return true;
}

bool TravinelCommandLine::NextOption(const std::vector<std::string>& args, size_t& index,
                                     std::string& given, std::string& canonical,
                                     std::string& value) {
  given = args[index];
  const size_t equals = given.find('=');
  const bool inlineValue = given.rfind("--", 0) == 0 && equals != std::string::npos;
  if (inlineValue) {
    value = given.substr(equals + 1);
    given.erase(equals);
  }
  const auto found = Names().find(platform::AsciiLower(given));
  if (found == Names().end()) {
    if (given.rfind("-", 0) != 0) return Fail("unexpected argument '" + given + "'");
    return Fail("unknown option " + given);
  }
  canonical = found->second;
  const bool takesValue = Readers().count(canonical) != 0;
  if (!takesValue && inlineValue) return Fail(given + " takes no value");
  if (!takesValue || inlineValue) return true;
  if (index + 1 >= args.size()) return Fail(given + " needs a value");
  value = args[++index];
  return true;
}

bool TravinelCommandLine::Apply(const std::string& given, const std::string& canonical,
                                const std::string& value) {
  if (canonical == "help") {
    options_.command = Subcommand::Help;
    return true;
  }
  if (canonical == "verbose") {
    options_.verbose = true;
    return true;
  }
  if (options_.command == Subcommand::Demo) return Fail("demo takes no option " + given);
  if (options_.command == Subcommand::Portas) return Fail("portas takes no option " + given);
  if (canonical == "duracao" && options_.command != Subcommand::Monitorar) {
    return Fail(given + " belongs to monitorar");
  }
  if (canonical == "porta" && !options_.scaleName.empty()) {
    return Fail(given + " does not go with --balanca: the named scale has its port");
  }
  const ValueReader& reader = Readers().at(canonical);
  if (reader.read(value, options_)) return true;
  return Fail(given + ": '" + value + "' is not " + reader.expected);
}

bool TravinelCommandLine::CheckComplete() {
  const std::string name = options_.command == Subcommand::Ler ? "ler" : "monitorar";
  if (!options_.scaleName.empty()) {
    const bool portGiven = std::find(options_.given.begin(), options_.given.end(),
                                     &FormSettings::porta) != options_.given.end();
    if (portGiven) return Fail("--porta does not go with --balanca: the named scale has its port");
    return true;
  }
  if (options_.form.porta < 0 && options_.form.portPath.empty()) {
    return Fail(name + " needs --porta (a port number, or a device path such as /dev/ttyUSB0)");
  }
  if (options_.form.modelo < 0) return Fail(name + " needs --modelo (filizola, toledo, ...)");
  return true;
}

std::string TravinelCommandLine::Usage() {
  return R"(usage: travinel <subcommand> [options]
Reads the weight from a retail scale on a serial port through the Travinel weighing form, the
same code the Travinel.ocx control runs. Every text the form shows in its status line is printed
on its own line; message boxes and errors go to standard error as "Erro: <text>".

Subcommands:
  ler          enable the scale, read one weight and print it (e.g. "Peso Aferido: 1235 gramas").
               Only the reading is printed; --verbose also prints what the form shows while it
               enables the scale ("Aguarde...", "Balança Pronta").
  monitorar    enable the scale and keep it enabled: the form polls it every 3 s (the first
               reading comes 3 s after "Balança Pronta") and also shows every 200 ms what the
               scale sends by itself. Prints every status until Ctrl-C or --duracao.
  portas       list the serial ports of this machine: on Linux the real UARTs (/dev/ttyS*),
               USB adapters (/dev/ttyUSB*, /dev/ttyACM*) and their stable /dev/serial/by-id
               names, with the device each name leads to; on Windows COM1 to COM256, those
               that exist (also when another program holds them). Each with what the system
               calls it and, for a USB adapter, its identity (usb:VID:PID:SERIE), the same on
               whichever socket the adapter is plugged into.
  detectar     procura sozinho a balança em cada porta serial (todas, ou as de --portas): cada
               modelo, 9600/4800/2400/19200 bauds, 8N1/7E1/8N2; mostra porta, modelo, linha e
               peso; --salvar NOME grava a primeira como balança com nome. Veja travinel
               detectar --help.
  simular      (Linux) run a simulated scale on a pseudo-terminal; prints the path to connect
               to. Takes the options of travinel-simulator: travinel simular --help.
  demo         (Linux) read a simulated scale through the whole stack for a few weights and
               states (grams, kilograms with decimals, unstable, silent); a few seconds.
  servir       run the local weight service for web pages on http://127.0.0.1:8470 (the page
               at / shows the live weight; travinel.js speaks the control's names). See
               travinel servir --help.
  configurar   grava os sites que podem usar a balança, de uma vez, no arquivo do serviço, na
               lista do controle (Windows) e nas políticas do Chrome e do Edge; --remover os
               tira; --balanca NOME grava uma balança com nome, que as páginas e ler --balanca
               usam sem saber a porta; sem opções, mostra o que está configurado. Veja
               travinel configurar --help.

Options of ler and monitorar (the control's property name is an alias of each):
  --porta N|PATH     --Por_Bal  port: a number as the control takes it (1 is com1: COM1 on
                                Windows, /dev/ttyS0 on Linux; com1 also works), or a device path
                                such as /dev/ttyUSB0 or /dev/pts/3 (Linux), \.\COM10 (Windows).
                                Required.
  --modelo M         --Mod_Bal  scale model, a number or its name: 1 filizola, 2 toledo,
                                3 toledo2180, 4 urano, 5 lucastec, 6 magna, 7 digitron
                                (0 nenhum: no scale configured). Required.
  --vel BAUD         --Vel_Bal  baud rate, 50 to 4000000; default 9600
  --bits N           --Bit_Bal  data bits, 5 to 8; default 8
  --paridade P       --Par_Bal  parity: 0 n (none, default), 1 o (odd), 2 e (even), 3 m (mark),
                                4 s (space)
  --parada S         --Stp_Bal  stop bits code: 0 one (default), 1 one and a half, 2 two
  --handshake H      --Hnd_Bal  flow control: 0 nenhum (default), 1 xon (XON/XOFF),
                                2 rts (RTS/CTS), 3 dtr (DTR/DSR)
  --unidade U        --Uni_Bal  display unit: g (0, default) or kg (1)
  --decimais D       --Dec_Bal  with kg: 1 shows three decimals; 0 (default) whole numbers, and
                                weights below 1 kg in grams
  --balanca NAME                a scale named with travinel configurar --balanca, in the
                                service's configuration file (TRAVINEL_CONFIG, or else
                                /etc/travinel/servir.json; Windows:
                                %ProgramData%\Travinel\servir.json): its port and settings, no
                                --porta; other options given override its settings
  --duracao SECONDS             monitorar only: stop after this many seconds
  --verbose, -v                 ler: also print the statuses shown while enabling the scale
  --help, -h                    this text
Values are given as "--porta 3" or "--porta=3"; option names take any letter case.

Exit status:
  0  a weight was read (monitorar: ended by Ctrl-C or --duracao)
  1  another failure: a reading raised an error, or the polling had to disable the scale
  2  bad subcommand, option or value; no scale model (--modelo 0); simular or demo on Windows
  3  the port could not be opened or configured ("Erro na configuração, ou balança desligada")
  4  the scale sent no weight within the time-out (code -9)
  5  the scale answered a code, not a weight: no weight on it, unstable, negative, overload

Examples:
  travinel ler --porta /dev/ttyUSB0 --modelo filizola       a real scale on a USB adapter
  travinel ler --porta 1 --modelo toledo --vel 4800         COM1 (Windows) or /dev/ttyS0
  travinel ler --Por_Bal=3 --Mod_Bal=1 --Uni_Bal=1 --Dec_Bal=1
  travinel ler --balanca caixa                              the scale IT named "caixa"
  travinel monitorar --porta /dev/ttyUSB0 --modelo urano --duracao 30
  travinel simular --weight 1235        then, in another terminal, with the path it printed:
  travinel ler --porta /dev/pts/5 --modelo filizola
  travinel demo
  travinel detectar --salvar caixa
  travinel configurar --sites "https://*.loja.example;https://pdv.example" --portas 1
)";
}

}  // namespace trv::cli
