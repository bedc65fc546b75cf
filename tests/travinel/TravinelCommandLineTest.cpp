// The travinel command line: subcommands, option names and their aliases, values by number and
// by name, and the messages for bad ones (which the program answers with exit code 2).
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ExitCodes.h"
#include "TravinelCommandLine.h"

namespace trv::cli {
namespace {

bool Parse(TravinelCommandLine& commandLine, std::vector<std::string> args) {
  args.insert(args.begin(), "travinel");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  return commandLine.Parse(static_cast<int>(argv.size()), argv.data());
}

// ler with the two required options and one more.
std::vector<std::string> Ler(const std::string& option, const std::string& value) {
  return {"ler", "--porta", "1", "--modelo", "1", option, value};
}

struct ValueCase {
  std::string option;
  std::string value;
  int FormSettings::*field;
  int expected;
};

void PrintTo(const ValueCase& c, std::ostream* os) {
  *os << c.option << " " << c.value;
}

class OptionValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(OptionValueTest, SetsTheFormsValue) {
  const ValueCase& c = GetParam();
  TravinelCommandLine commandLine;
  ASSERT_TRUE(Parse(commandLine, Ler(c.option, c.value))) << commandLine.Error();
  EXPECT_EQ(commandLine.Options().form.*c.field, c.expected);
}

TEST_P(OptionValueTest, TakesTheValueAfterAnEqualsSign) {
  const ValueCase& c = GetParam();
  TravinelCommandLine commandLine;
  ASSERT_TRUE(
      Parse(commandLine, {"monitorar", "--porta=2", "--modelo=2", c.option + "=" + c.value}))
      << commandLine.Error();
  EXPECT_EQ(commandLine.Options().form.*c.field, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    NamesAndAliases, OptionValueTest,
    ::testing::Values(ValueCase{"--modelo", "filizola", &FormSettings::modelo, 1},
                      ValueCase{"--modelo", "toledo", &FormSettings::modelo, 2},
                      ValueCase{"--modelo", "Toledo2180", &FormSettings::modelo, 3},
                      ValueCase{"--modelo", "urano", &FormSettings::modelo, 4},
                      ValueCase{"--modelo", "lucastec", &FormSettings::modelo, 5},
                      ValueCase{"--modelo", "MAGNA", &FormSettings::modelo, 6},
                      ValueCase{"--modelo", "digitron", &FormSettings::modelo, 7},
                      ValueCase{"--Mod_Bal", "7", &FormSettings::modelo, 7},
                      ValueCase{"--modelo", "0", &FormSettings::modelo, 0},
                      ValueCase{"--porta", "3", &FormSettings::porta, 3},
                      ValueCase{"--Por_Bal", "com4", &FormSettings::porta, 4},
                      ValueCase{"--porta", "COM10", &FormSettings::porta, 10},
                      ValueCase{"--vel", "4800", &FormSettings::vel, 4800},
                      ValueCase{"--Vel_Bal", "4000000", &FormSettings::vel, 4000000},
                      ValueCase{"--bits", "7", &FormSettings::bits, 7},
                      ValueCase{"--Bit_Bal", "5", &FormSettings::bits, 5},
                      ValueCase{"--paridade", "e", &FormSettings::paridade, 2},
                      ValueCase{"--paridade", "S", &FormSettings::paridade, 4},
                      ValueCase{"--Par_Bal", "1", &FormSettings::paridade, 1},
                      ValueCase{"--parada", "2", &FormSettings::parada, 2},
                      ValueCase{"--Stp_Bal", "1", &FormSettings::parada, 1},
                      ValueCase{"--handshake", "rts", &FormSettings::handshake, 2},
                      ValueCase{"--handshake", "XON", &FormSettings::handshake, 1},
                      ValueCase{"--Hnd_Bal", "3", &FormSettings::handshake, 3},
                      ValueCase{"--handshake", "nenhum", &FormSettings::handshake, 0},
                      ValueCase{"--unidade", "kg", &FormSettings::unidade, 1},
                      ValueCase{"--Uni_Bal", "0", &FormSettings::unidade, 0},
                      ValueCase{"--unidade", "g", &FormSettings::unidade, 0},
                      ValueCase{"--decimais", "1", &FormSettings::decimais, 1},
                      ValueCase{"--DEC_BAL", "0", &FormSettings::decimais, 0}));

struct BadCase {
  std::vector<std::string> args;
  std::string error;
};

void PrintTo(const BadCase& c, std::ostream* os) {
  for (const std::string& arg : c.args) *os << arg << " ";
}

class BadCommandLineTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadCommandLineTest, FailsWithItsMessage) {
  const BadCase& c = GetParam();
  TravinelCommandLine commandLine;
  EXPECT_FALSE(Parse(commandLine, c.args));
  EXPECT_EQ(commandLine.Error(), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, BadCommandLineTest,
    ::testing::Values(
        BadCase{{},
                "missing subcommand (ler, monitorar, portas, detectar, simular, demo, servir or "
                "configurar)"},
        BadCase{{"pesar"},
                "unknown subcommand 'pesar' (ler, monitorar, portas, detectar, simular, demo, "
                "servir or configurar)"},
        BadCase{{"ler", "--modelo", "1"},
                "ler needs --porta (a port number, or a device path such as /dev/ttyUSB0)"},
        BadCase{{"monitorar", "--porta", "1"}, "monitorar needs --modelo (filizola, toledo, ...)"},
        BadCase{Ler("--modelo", "8"),
                "--modelo: '8' is not a scale model: 0-7 or nenhum, filizola, toledo, "
                "toledo2180, urano, lucastec, magna, digitron"},
        BadCase{Ler("--Mod_Bal", "balanca"),
                "--Mod_Bal: 'balanca' is not a scale model: 0-7 or nenhum, filizola, toledo, "
                "toledo2180, urano, lucastec, magna, digitron"},
        BadCase{Ler("--vel", "49"), "--vel: '49' is not a baud rate from 50 to 4000000"},
        BadCase{Ler("--vel", "9600x"), "--vel: '9600x' is not a baud rate from 50 to 4000000"},
        BadCase{Ler("--bits", "9"), "--bits: '9' is not a number of data bits from 5 to 8"},
        BadCase{Ler("--paridade", "x"), "--paridade: 'x' is not a parity: 0-4 or n, o, e, m, s"},
        BadCase{Ler("--Par_Bal", "5"), "--Par_Bal: '5' is not a parity: 0-4 or n, o, e, m, s"},
        BadCase{Ler("--parada", "3"),
                "--parada: '3' is not a stop bits code: 0 (one), 1 (one and a half) or 2 (two)"},
        BadCase{Ler("--handshake", "cts"),
                "--handshake: 'cts' is not a handshake: 0-3 or nenhum, xon, rts, dtr"},
        BadCase{Ler("--unidade", "lb"), "--unidade: 'lb' is not a unit: g or kg"},
        BadCase{Ler("--decimais", "2"), "--decimais: '2' is not 0 or 1"},
        BadCase{Ler("--duracao", "5"), "--duracao belongs to monitorar"},
        BadCase{{"monitorar", "--porta", "1", "--modelo", "1", "--duracao", "0"},
                "--duracao: '0' is not a number of seconds from 1 to 31536000"},
        BadCase{{"ler", "--porta"}, "--porta needs a value"},
        BadCase{{"ler", "--porta", "1", "--modelo", "1", "--peso", "3"}, "unknown option --peso"},
        BadCase{{"ler", "--verbose=1"}, "--verbose takes no value"},
        BadCase{{"ler", "agora"}, "unexpected argument 'agora'"},
        BadCase{{"demo", "--porta", "1"}, "demo takes no option --porta"},
        BadCase{{"ler", "--balanca", "caixa", "--porta", "1"},
                "--porta does not go with --balanca: the named scale has its port"},
        BadCase{{"ler", "--Por_Bal=1", "--balanca", "caixa"},
                "--porta does not go with --balanca: the named scale has its port"},
        BadCase{{"ler", "--balanca="}, "--balanca: '' is not the name of a configured scale"},
        BadCase{{"portas", "--balanca", "caixa"}, "portas takes no option --balanca"},
        BadCase{Ler("--porta", "-1"),
                "--porta: '-1' is not a port number (1 for com1) or a device path such as "
                "/dev/ttyUSB0"}));

TEST(TravinelCommandLineTest, UsageErrorsExitWithTwo) {
  EXPECT_EQ(kExitUsage, 2);
  EXPECT_EQ(kExitPortFailure, 3);
  EXPECT_EQ(kExitNoAnswer, 4);
  EXPECT_EQ(kExitNotAWeight, 5);
}

TEST(TravinelCommandLineTest, DefaultsAreThoseOfACommonScale) {
  TravinelCommandLine commandLine;
  ASSERT_TRUE(Parse(commandLine, {"ler", "--porta", "1", "--modelo", "filizola"}));
  const CommandOptions& options = commandLine.Options();
  EXPECT_EQ(options.command, Subcommand::Ler);
  EXPECT_EQ(options.form.vel, 9600);
  EXPECT_EQ(options.form.bits, 8);
  EXPECT_EQ(options.form.paridade, 0);
  EXPECT_EQ(options.form.parada, 0);
  EXPECT_EQ(options.form.handshake, 0);
  EXPECT_EQ(options.form.unidade, 0);
  EXPECT_EQ(options.form.decimais, 0);
  EXPECT_FALSE(options.verbose);
  EXPECT_EQ(options.durationSeconds, 0);
}

TEST(TravinelCommandLineTest, ADevicePathGoesThroughThePortNameHook) {
#ifdef _WIN32
  const std::string path = "\\\\.\\COM10";
#else
  const std::string path = "/dev/ttyUSB0";
#endif
  TravinelCommandLine commandLine;
  ASSERT_TRUE(Parse(commandLine, {"ler", "--porta", path, "--modelo", "1"}));
  EXPECT_EQ(commandLine.Options().form.portPath, path);
  EXPECT_EQ(commandLine.Options().form.porta, -1);
}

TEST(TravinelCommandLineTest, MonitorarTakesADurationAndLerTakesVerbose) {
  TravinelCommandLine monitor;
  ASSERT_TRUE(Parse(monitor, {"monitorar", "--porta", "1", "--modelo", "1", "--duracao", "30"}));
  EXPECT_EQ(monitor.Options().command, Subcommand::Monitorar);
  EXPECT_EQ(monitor.Options().durationSeconds, 30);

  TravinelCommandLine read;
  ASSERT_TRUE(Parse(read, {"ler", "-v", "--porta", "1", "--modelo", "1"}));
  EXPECT_TRUE(read.Options().verbose);
}

// A named scale needs neither --porta nor --modelo; the options given are remembered, to
// override the scale's own settings.
TEST(TravinelCommandLineTest, ANamedScaleKeepsTheOptionsGivenToOverrideIt) {
  TravinelCommandLine commandLine;
  ASSERT_TRUE(Parse(commandLine, {"monitorar", "--balanca", "caixa", "--vel", "4800", "--Uni_Bal",
                                  "kg", "--duracao", "5"}))
      << commandLine.Error();
  const CommandOptions& options = commandLine.Options();
  EXPECT_EQ(options.scaleName, "caixa");
  EXPECT_EQ(options.given,
            (std::vector<int FormSettings::*>{&FormSettings::vel, &FormSettings::unidade}));
  EXPECT_EQ(options.form.vel, 4800);
  EXPECT_EQ(options.form.modelo, -1);

  TravinelCommandLine plain;
  ASSERT_TRUE(Parse(plain, {"ler", "--balanca", "caixa"})) << plain.Error();
  EXPECT_TRUE(plain.Options().given.empty());
}

TEST(TravinelCommandLineTest, HelpNeedsNothingElse) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"-h"}, {"help"}, {"ler", "--help"}, {"monitorar", "-h"}}) {
    TravinelCommandLine commandLine;
    ASSERT_TRUE(Parse(commandLine, args)) << commandLine.Error();
    EXPECT_EQ(commandLine.Options().command, Subcommand::Help);
  }
}

TEST(TravinelCommandLineTest, PortasTakesNoOption) {
  TravinelCommandLine commandLine;
  ASSERT_TRUE(Parse(commandLine, {"portas"})) << commandLine.Error();
  EXPECT_EQ(commandLine.Options().command, Subcommand::Portas);
  TravinelCommandLine withOption;
  EXPECT_FALSE(Parse(withOption, {"portas", "--porta", "1"}));
}

TEST(TravinelCommandLineTest, SimularPassesItsArgumentsOn) {
  TravinelCommandLine commandLine;
  ASSERT_TRUE(Parse(commandLine, {"simular", "--weight", "1235", "--state=unstable"}));
  EXPECT_EQ(commandLine.Options().command, Subcommand::Simular);
  EXPECT_EQ(commandLine.Options().simulatorArgs,
            (std::vector<std::string>{"--weight", "1235", "--state=unstable"}));
}

TEST(TravinelCommandLineTest, ConfigurarPassesItsArgumentsOn) {
  TravinelCommandLine commandLine;
  ASSERT_TRUE(Parse(commandLine, {"configurar", "--sites", "https://*.loja.example", "--remover"}));
  EXPECT_EQ(commandLine.Options().command, Subcommand::Configurar);
  EXPECT_EQ(commandLine.Options().configureArgs,
            (std::vector<std::string>{"--sites", "https://*.loja.example", "--remover"}));
}

TEST(TravinelCommandLineTest, DetectarPassesItsArgumentsOn) {
  TravinelCommandLine commandLine;
  ASSERT_TRUE(Parse(commandLine, {"detectar", "--portas", "1,/dev/ttyUSB0", "--salvar=caixa"}));
  EXPECT_EQ(commandLine.Options().command, Subcommand::Detectar);
  EXPECT_EQ(commandLine.Options().detectArgs,
            (std::vector<std::string>{"--portas", "1,/dev/ttyUSB0", "--salvar=caixa"}));
}

TEST(TravinelCommandLineTest, UsageExplainsEveryOptionAndExitCode) {
  const std::string usage = TravinelCommandLine::Usage();
  for (const char* word :
       {"ler",       "monitorar",    "configurar",  "simular",    "demo",      "--porta",
        "--Por_Bal", "--modelo",     "--Mod_Bal",   "--vel",      "--Vel_Bal", "--bits",
        "--Bit_Bal", "--paridade",   "--Par_Bal",   "--parada",   "--Stp_Bal", "--handshake",
        "--Hnd_Bal", "--unidade",    "--Uni_Bal",   "--decimais", "--Dec_Bal", "--duracao",
        "--verbose", "/dev/ttyUSB0", "Exit status", "Examples"}) {
    EXPECT_NE(usage.find(word), std::string::npos) << word;
  }
}

}  // namespace
}  // namespace trv::cli
