#include "SimulatorCommandLine.h"

#include <set>

#include "ControlInterpreter.h"
#include "ScaleProtocols.h"
#include "SimulatorText.h"
#include "platform/Text.h"

namespace trv::tools {
namespace {

// Options that take a value.
const std::set<std::string> kValueOptions{
    "--protocol", "--link",        "--tty",      "--control-link", "--weight", "--state", "--delay",
    "--split",    "--unsolicited", "--unstable", "--log",          "--baud",   "--frame"};

const std::set<int> kBaudRates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

}  // namespace

bool SimulatorCommandLine::Fail(const std::string& message) {
  error_ = message;
  return false;
}

bool SimulatorCommandLine::Parse(int argc, const char* const* argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t index = 0; index < args.size(); ++index) {
    std::string name;
    std::string value;
    if (!NextOption(args, index, name, value) || !Apply(name, value)) return false;
  }
  if (!options_.link.empty() && !options_.tty.empty()) {
    return Fail("--link and --tty exclude each other (a tty has its own path)");
  }
  return true;
}

bool SimulatorCommandLine::NextOption(const std::vector<std::string>& args, size_t& index,
                                      std::string& name, std::string& value) {
  name = args[index];
  const size_t equals = name.find('=');
  if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
    value = name.substr(equals + 1);
    name.erase(equals);
    return kValueOptions.count(name) != 0 || Fail(name + " takes no value");
  }
  if (kValueOptions.count(name) == 0) return true;
  if (index + 1 >= args.size()) return Fail(name + " needs a value");
  value = args[++index];
  return true;
}

bool SimulatorCommandLine::Apply(const std::string& name, const std::string& value) {
  if (name == "--help" || name == "-h") {
    options_.help = true;
    return true;
  }
  if (name == "--silent") return ApplySetting(name, "SILENT on");
  if (name == "--link") return TakePath(name, value, options_.link);
  if (name == "--tty") return TakePath(name, value, options_.tty);
  if (name == "--control-link") return TakePath(name, value, options_.controlLink);
  if (name == "--log") return TakePath(name, value, options_.logPath);
  if (name == "--baud") return ApplyBaud(value);
  // The rest set the scale's behaviour: --weight 5 is the command WEIGHT 5.
  if (kValueOptions.count(name) != 0) {
    return ApplySetting(name, platform::AsciiUpper(name.substr(2)) + " " + value);
  }
  return Fail("unknown option " + name);
}

bool SimulatorCommandLine::TakePath(const std::string& name, const std::string& value,
                                    std::string& path) {
  if (value.empty()) return Fail(name + " needs a path");
  path = value;
  return true;
}

bool SimulatorCommandLine::ApplySetting(const std::string& name, const std::string& command) {
  const ControlInterpreter interpreter(options_.settings);
  const ControlInterpreter::Result result = interpreter.Execute(command, options_.settings, 0);
  if (result.reply == "OK\n") return true;
  // "ERR <reason>\n" -> "<option>: <reason>"
  return Fail(name + ": " + result.reply.substr(4, result.reply.size() - 5));
}

bool SimulatorCommandLine::ApplyBaud(const std::string& value) {
  int64_t baud = 0;
  if (!text::ParseInteger(value, 1, 4000000, baud) ||
      kBaudRates.count(static_cast<int>(baud)) == 0) {
    return Fail("--baud: " + value + " is not one of 1200 2400 4800 9600 19200 38400 57600 115200");
  }
  options_.baud = static_cast<int>(baud);
  return true;
}

std::string SimulatorCommandLine::Usage() {
  return "usage: travinel-simulator [options]\n"
         "A simulated retail scale on a serial line: answers the weight requests of a point of\n"
         "sale in the chosen scale protocol. Prints the path to connect to on its first line,\n"
         "then serves until SIGTERM, SIGINT or the QUIT command.\n"
         "\n"
         "Line:\n"
         "  --protocol NAME     scale protocol (" +
         ScaleProtocolNames() +
         "); default filizola\n"
         "  --link PATH         publish the new pseudo-terminal under PATH (a symbolic link)\n"
         "  --tty PATH          serve an existing tty instead (e.g. a USB adapter cabled to a "
         "POS)\n"
         "  --baud N            line speed of that tty; default 9600 (8 data bits, no parity)\n"
         "  --control-link PATH also open a control pseudo-terminal, published under PATH\n"
         "  --log FILE          log every byte received and sent, in hex with the time\n"
         "\n"
         "Behaviour (the same as the control commands):\n"
         "  --weight GRAMS      weight shown, in grams; default 0\n"
         "  --state S           stable (default), unstable, negative or overload\n"
         "  --delay MS          time from a request to its answer\n"
         "  --split MS          send each answer in two halves MS apart\n"
         "  --silent            answer nothing\n"
         "  --unstable N        the first N answers are unstable\n"
         "  --unsolicited MS    also send the answer by itself every MS\n"
         "  --frame KIND        after --protocol: send another frame its real scales send\n"
         "                      (answer: the usual one, the default):\n"
         "                        filizola: signed (a weight below zero as - and 5 digits)\n"
         "                        toledo: long (weight/price/total, signed), prt2 (stream\n"
         "                        STX +PP.PPP CR), prt4 (with a product code), standard\n"
         "                        (continuous output with tare and checksum), standard-short\n"
         "                        (without either)\n"
         "                        toledo2180: standard\n"
         "                        digitron: stream (E, six characters, CR)\n"
         "                      streams start and end in the middle of a frame; with --split\n"
         "                      a frame is also cut between two packets\n"
         "\n"
         "Control commands, one per line, on the control pseudo-terminal and on standard input\n"
         "(when it is a terminal or a pipe); each is answered with OK or ERR <reason>:\n"
         "  WEIGHT <grams>, STATE <state>, DELAY <ms>, SPLIT <ms> (0 = off), SILENT on|off,\n"
         "  UNSTABLE <n>, UNSOLICITED <ms> (0 = off), PROTOCOL <name>, FRAME <kind>,\n"
         "  RESET (back to the settings given at start), REQUESTS (answers OK <requests\n"
         "  received>), QUIT\n"
         "\n"
         "Exit status: 0 when ended, 1 when a line could not be opened or failed, 2 for bad\n"
         "options.\n";
}

}  // namespace trv::tools
