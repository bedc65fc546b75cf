// The weighing form on headless controls, a scripted port and a manual clock: its state table,
// the nesting of enabling and disabling through the check box, and the display of readings.
#include <gtest/gtest.h>

#include "control/FrmActivexForm.h"
#include "control/HeadlessControls.h"
#include "control/SitePolicy.h"
#include "control/WeightCodeStatus.h"
#include "platform/Locale.h"
#include "platform/TimerQueue.h"
#include "testing/CommPortFake.h"
#include "testing/ManualClock.h"

namespace trv {
namespace {

const Bytes STX = "\x02";
const Bytes ETX = "\x03";
const char kDataMessage[] =
    "Valor deve estar na faixa de 5 a 8.\nNormalmente os equipamentos Seriais utilizam: 7 ou 8";

class FormTest : public ::testing::Test {
 protected:
  FormTest() : form_(nullptr, ui_.Controls(), MakePort()) {}

  // A Filizola scale on port 3 at 9600 8N1.
  void Configure(int model = 1) {
    form_.SetModBal(model);
    form_.SetPorta(3);
    form_.SetBitBal(8);
    form_.SetVelBal(9600);
  }

  // The scale answers every request with this field, framed.
  void ScaleShows(const Bytes& field) {
    port_->SetResponder([this, field](const Bytes&) { port_->ArriveAfter(10, STX + field + ETX); });
  }
  void ScaleIsSilent() { port_->SetResponder(nullptr); }

  std::string Status() const {
    return ui_.StatusHistory().empty() ? "" : ui_.StatusHistory().back();
  }
  std::string WeightBox() { return ui_.Controls().txtPeso.Text(); }
  bool Ticked() { return ui_.Controls().chkBalanca.Checked(); }
  int Opens() const {
    int opens = 0;
    for (const std::string& call : port_->Calls()) opens += call.rfind("Open ", 0) == 0;
    return opens;
  }

  platform::ManualClock clock_{10000};
  platform::ScopedClock scopedClock_{clock_};
  platform::TimerQueue timers_;
  platform::ScopedTimerService scopedTimers_{timers_};
  HeadlessControls ui_;
  CommPortFake* port_ = nullptr;
  TFfrmActivexForm form_;

 private:
  std::unique_ptr<CommPort> MakePort() {
    auto port = std::make_unique<CommPortFake>(clock_);
    port_ = port.get();
    return port;
  }
};

// A form that monitors for days shows a status every few hundred milliseconds: the headless
// controls keep the latest of them, not all.
TEST(HeadlessControls, KeepTheLatestStatusesOnly) {
  HeadlessControls ui;
  for (int i = 0; i < 5000; ++i) ui.Controls().lmm.SetCaption(std::to_string(i));
  EXPECT_LE(ui.StatusHistory().size(), 2000u);
  EXPECT_GE(ui.StatusHistory().size(), 1000u);
  EXPECT_EQ(ui.StatusHistory().back(), "4999");
}

TEST_F(FormTest, ANewFormIsUnconfigured) {
  EXPECT_EQ(form_.ModBal(), 0);
  EXPECT_EQ(form_.UsrBal(), 0);
  EXPECT_EQ(form_.PesoLido(), 0.0);
  EXPECT_EQ(WeightBox(), "0.00");  // as the form's window starts it
  EXPECT_FALSE(form_.timePeso().Enabled());
  EXPECT_EQ(form_.timePeso().Interval(), 3000u);
  EXPECT_TRUE(form_.balanca().MonitorarBalanca());
  EXPECT_EQ(form_.balanca().Porta(), "COM1");
}

TEST_F(FormTest, TickingAnUnconfiguredScaleShowsTheBoxThenDisables) {
  ui_.Controls().chkBalanca.Toggle();  // the user's tick
  ASSERT_EQ(ui_.Boxes().size(), 1u);
  EXPECT_EQ(ui_.Boxes()[0].text, "Balança não configurada.");
  EXPECT_EQ(ui_.Boxes()[0].caption, "Erro:");
  EXPECT_TRUE(ui_.Boxes()[0].error);
  EXPECT_EQ(ui_.StatusHistory(),
            (std::vector<std::string>{"Balança não configurada.", "Balança Desativada"}));
  EXPECT_FALSE(Ticked());
}

TEST_F(FormTest, EnablingAnUnconfiguredScaleFromTheHostKeepsItsText) {
  form_.SetUsrBal(1);
  EXPECT_EQ(ui_.Boxes().size(), 1u);
  EXPECT_EQ(Status(), "Balança não configurada.");
  EXPECT_FALSE(Ticked());
}

TEST_F(FormTest, ARefusedValueShowsTheDevicesMessage) {
  form_.SetModBal(1);  // data bits left at 0
  form_.SetUsrBal(1);
  EXPECT_EQ(Status(), std::string("Erro na configuração, ou balança desligada: ") + kDataMessage);
  EXPECT_FALSE(form_.balanca().Ativo());

  ui_.Controls().chkBalanca.Toggle();  // through the box the failure text is replaced
  EXPECT_EQ(Status(), "Balança Desativada");
  EXPECT_FALSE(Ticked());
}

TEST_F(FormTest, APortThatDoesNotOpenFailsTheEnabling) {
  Configure();
  port_->SetOpenError(NumberedPortPath(2), 2);
  form_.SetUsrBal(1);
  EXPECT_EQ(
      Status().rfind("Erro na configuração, ou balança desligada: Communication error 2: ", 0), 0u)
      << Status();
  EXPECT_FALSE(form_.balanca().Ativo());
  EXPECT_FALSE(form_.timePeso().Enabled());
}

TEST_F(FormTest, ARefusedCallerOpensNoPortByAnyPath) {
  Configure();
  form_.CheckPortAccess = [] { throw Exception("Site não autorizado a usar a balança: x"); };
  form_.SetUsrBal(1);
  EXPECT_EQ(Status(),
            "Erro na configuração, ou balança desligada: Site não autorizado a usar a "
            "balança: x");
  ui_.Controls().chkBalanca.Toggle();  // the user's click
  form_.SpeedButton1Click();           // the read button
  ASSERT_EQ(ui_.Boxes().size(), 1u);
  EXPECT_EQ(ui_.Boxes()[0].text, "Erro na configuração: Site não autorizado a usar a balança: x");
  EXPECT_EQ(Opens(), 0);
}

TEST_F(FormTest, PortZeroIsComZero) {
  Configure();
  form_.SetPorta(0);
  form_.SetUsrBal(1);
  EXPECT_EQ(form_.balanca().Porta(), "COM0");
}

TEST_F(FormTest, EnablingFromTheHostNestsAndEndsReady) {
  Configure();
  form_.SetUsrBal(1);
  EXPECT_EQ(Opens(), 2);  // the tick re-runs the enabling inside the first one
  EXPECT_EQ(Status(), "Balança Pronta");
  EXPECT_TRUE(Ticked());
  EXPECT_TRUE(form_.balanca().Ativo());
  EXPECT_TRUE(form_.timePeso().Enabled());
  EXPECT_TRUE(form_.balanca().Timer().Running());  // monitoring

  form_.SetUsrBal(1);  // again: re-configured and re-opened once more
  EXPECT_EQ(Opens(), 3);
  EXPECT_EQ(Status(), "Balança Pronta");
  EXPECT_EQ(port_->State().BaudRate, 9600u);
}

TEST_F(FormTest, DisablingFromTheHostClosesEverything) {
  Configure();
  form_.SetUsrBal(1);
  form_.SetUsrBal(0);
  EXPECT_EQ(Status(), "Balança Desativada");
  EXPECT_FALSE(Ticked());
  EXPECT_FALSE(form_.balanca().Ativo());
  EXPECT_FALSE(form_.timePeso().Enabled());
  EXPECT_FALSE(port_->IsOpen());
}

TEST_F(FormTest, PollingShowsEachReading) {
  Configure();
  form_.SetUsrBal(1);
  ScaleShows("001500");
  timers_.RunFor(3000);
  EXPECT_EQ(Status(), "Peso Aferido: 1500 gramas");
  EXPECT_EQ(form_.PesoLido(), 1500);

  ScaleIsSilent();  // -9 keeps the text
  timers_.RunFor(3000);
  EXPECT_EQ(Status(), "Peso Aferido: 1500 gramas");
}

TEST_F(FormTest, AReadErrorWhilePollingDisablesTheScale) {
  Configure();
  form_.SetUsrBal(1);
  port_->Fail(CommPortFake::Call::Purge, 5);
  timers_.RunFor(3000);
  const auto& history = ui_.StatusHistory();
  ASSERT_GE(history.size(), 2u);
  EXPECT_EQ(
      history[history.size() - 2].rfind("Erro na Leitura do peso: Communication error 5: ", 0), 0u);
  EXPECT_EQ(Status(), "Balança Desativada");
  EXPECT_EQ(form_.UsrBal(), 0);
  EXPECT_FALSE(form_.balanca().Ativo());
  EXPECT_FALSE(form_.timePeso().Enabled());
}

TEST_F(FormTest, AModelWithoutProtocolFailsAtTheFirstPoll) {
  Configure(256);  // passes the configured test, selects no protocol
  form_.SetUsrBal(1);
  EXPECT_EQ(Status(), "Balança Pronta");
  timers_.RunFor(3000);
  const auto& history = ui_.StatusHistory();
  EXPECT_EQ(history[history.size() - 2],
            "Erro na Leitura do peso: Função LePeso não implementada em: Não Definida");
  EXPECT_EQ(Status(), "Balança Desativada");
}

TEST_F(FormTest, ReadOnceLeavesPollingWithoutScale) {
  Configure();
  form_.SetUsrBal(1);
  ScaleShows("002000");
  form_.SpeedButton1Click();
  EXPECT_EQ(Status(), "Peso Aferido: 2000 gramas");
  EXPECT_FALSE(form_.balanca().Ativo());
  EXPECT_TRUE(Ticked());
  EXPECT_TRUE(form_.timePeso().Enabled());
  timers_.RunFor(3000);
  EXPECT_EQ(Status(), "Balança não disponivel");

  // Unticking shows the disabled text but leaves the timer, which had no scale to close.
  ui_.Controls().chkBalanca.Toggle();
  EXPECT_EQ(Status(), "Balança Desativada");
  EXPECT_TRUE(form_.timePeso().Enabled());
  timers_.RunFor(3000);
  EXPECT_EQ(Status(), "Balança não disponivel");

  ui_.Controls().chkBalanca.Toggle();  // enabling again returns to the enabled state
  EXPECT_EQ(Status(), "Balança Pronta");
  EXPECT_TRUE(form_.balanca().Ativo());
}

TEST_F(FormTest, ReadOnceReportsItsErrorInABox) {
  form_.SpeedButton1Click();  // model 0: no protocol to read with
  ASSERT_EQ(ui_.Boxes().size(), 1u);
  EXPECT_EQ(ui_.Boxes()[0].text, std::string("Erro na configuração: ") + kDataMessage);
  EXPECT_EQ(ui_.Boxes()[0].caption, "Erro:");
  EXPECT_FALSE(form_.balanca().Ativo());
}

TEST_F(FormTest, ReadingForTheHostWhileDisabledGivesZero) {
  form_.SetPesoLido(5);
  form_.LerPeso();
  EXPECT_EQ(form_.PesoLido(), 0.0);
  EXPECT_TRUE(ui_.StatusHistory().empty());
}

TEST_F(FormTest, TheOtherControls) {
  form_.txtPesoEnter();
  EXPECT_TRUE(form_.timePeso().Enabled());
  form_.txtPesoExit();
  EXPECT_FALSE(form_.timePeso().Enabled());
  form_.Button1Click();
  ASSERT_EQ(ui_.Boxes().size(), 1u);
  EXPECT_EQ(ui_.Boxes()[0].text, "oi");
  EXPECT_FALSE(ui_.Boxes()[0].error);
}

// The display of one reading on demand, for each unit setting and decimal separator.
struct DisplayCase {
  Bytes field;  // what the Filizola scale sends between STX and ETX
  int unit;
  int decimals;
  std::string box;  // with '#' standing for the locale's decimal separator
  std::string status;
  double pesoLido;
};

class FormDisplayTest : public FormTest, public ::testing::WithParamInterface<char> {
 protected:
  platform::ScopedDecimalSeparator separator_{GetParam()};
  std::string Local(std::string text) {
    for (char& c : text) {
      if (c == '#') c = GetParam();
    }
    return text;
  }
};

TEST_P(FormDisplayTest, EveryUnitAndCode) {
  const DisplayCase cases[] = {
      {"1.2346", 0, 0, "1235", "Peso Aferido: 1235 gramas", 1235},
      {"1.2346", 1, 1, "1#235", "Peso Aferido: 1#235 kilogramas", 1.235},
      {"0.350", 1, 0, "350", "Peso Aferido: 350 gramas", 350},
      {"2.4", 1, 0, "2", "Peso Aferido: 2 kilogramas", 2},
      {"1.0", 1, 0, "1", "Peso Aferido: 1 kilogramas", 1},
      {"0.0004", 0, 0, "0", "Peso Aferido: 0 gramas", 0},
      {"IIIIII", 0, 0, "-1000", "Peso Instavel Aguarde Nova Leitura", -1000},
      {"IIIIII", 1, 1, "-1#000", "Peso Instavel Aguarde Nova Leitura", -1},
      {"NNNNNN", 0, 0, "-2000", "Peso Negativo.", -2000},
      {"SSSSSS", 0, 0, "-10000", "Sobrepeso.", -10000},
      {"000000", 0, 0, "0", "Coloque o Objeto sobre a Balança!", 0},
      {"-0.5", 0, 0, "-2000", "Peso Negativo.", -2000},  // below zero: the negative code
      {"", 0, 0, "-9000", "Peso Negativo.", -9000},      // -9: the text of the row before stays
  };
  Configure();
  form_.SetUsrBal(1);
  for (const DisplayCase& c : cases) {
    form_.SetUniBal(c.unit);
    form_.SetDecBal(c.decimals);
    ScaleShows(c.field);
    form_.LerPeso();
    EXPECT_EQ(WeightBox(), Local(c.box)) << c.field;
    EXPECT_EQ(Status(), Local(c.status)) << c.field;
    EXPECT_DOUBLE_EQ(form_.PesoLido(), c.pesoLido) << c.field;
  }
}

INSTANTIATE_TEST_SUITE_P(Separators, FormDisplayTest, ::testing::Values(',', '.'));

// The status of a value that is no weight: truncated toward zero, it names a code or nothing.
TEST(WeightCodeStatus, ATruncatedValueNamesItsCode) {
  const struct {
    double weight;
    bool shown;
    std::string text;
  } cases[] = {
      {0, true, "Coloque o Objeto sobre a Balança!"},
      {-0.5, true, "Coloque o Objeto sobre a Balança!"},  // not a code: truncates to 0
      {-1, true, "Peso Instavel Aguarde Nova Leitura"},
      {-1.9, true, "Peso Instavel Aguarde Nova Leitura"},
      {-2, true, "Peso Negativo."},
      {-2.5, true, "Peso Negativo."},
      {-10, true, "Sobrepeso."},
      {-10.5, true, "Sobrepeso."},
      {-9, false, ""},  // a read failure leaves the status as it is
      {-3, false, ""},
      {-2147483649.0, false, ""},  // beyond 32 bits: no code at all
      {2147483648.0, false, ""},
  };
  for (const auto& c : cases) {
    std::string text;
    EXPECT_EQ(WeightCodeStatus::TextOf(c.weight, text), c.shown) << c.weight;
    EXPECT_EQ(text, c.text) << c.weight;
  }
}

}  // namespace
}  // namespace trv

namespace trv {
namespace {

// A host's sink that records the events it receives and answers key presses with its own key.
class RecordingSink final : public FormEventSink {
 public:
  void Fire(Event event) override { events.push_back(event); }
  void FireKeyPress(int16_t& key) override {
    events.push_back(kOnKeyPress);
    seenKey = key;
    key = answerKey;
  }
  std::vector<int> events;
  int16_t seenKey = 0;
  int16_t answerKey = 0;
};

TEST_F(FormTest, EventsReachTheHostOnlyThroughItsSink) {
  form_.Initialize();
  form_.OnClick();  // no sink: lost
  char16_t key = u'a';
  form_.OnKeyPress(key);
  EXPECT_EQ(key, u'a');  // written back unchanged

  auto sink = std::make_shared<RecordingSink>();
  form_.EventSinkChanged(sink);  // the first connection brings OnCreate
  form_.OnClick();
  form_.OnPaint();
  sink->answerKey = 0;  // the host suppresses the key
  form_.OnKeyPress(key);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(sink->seenKey, u'a');
  EXPECT_EQ(sink->events, (std::vector<int>{203, 202, 210, 207}));

  form_.EventSinkChanged(nullptr);
  form_.OnClick();
  form_.EventSinkChanged(sink);  // a second connection: no OnCreate again
  form_.OnDestroy();
  EXPECT_EQ(sink->events, (std::vector<int>{203, 202, 210, 207, 205}));
}

TEST_F(FormTest, AFirstChangeWithoutASinkUsesUpTheCreationEvent) {
  form_.Initialize();
  form_.EventSinkChanged(nullptr);
  auto sink = std::make_shared<RecordingSink>();
  form_.EventSinkChanged(sink);
  EXPECT_TRUE(sink->events.empty());
}

}  // namespace
}  // namespace trv

// ---- Which pages may use the scale ---------------------------------------------------------

namespace trv {
namespace {

TEST(SitePolicy, OnlyTheLocalMachineAndTheListedSitesAreAllowed) {
  const SitePolicy policy({"https://*.loja.example", "http://caixa.loja.example:8080",
                           "  https://pdv.example/any/path  ", "not a pattern", ""});
  const std::pair<const char*, bool> cases[] = {
      {"file:///C:/pdv/balanca.html", true},
      {"FILE:///home/pdv/balanca.html", true},
      {"http://localhost/balanca.html", true},
      {"https://127.0.0.1:8443/", true},
      {"http://LOCALHOST:3000", true},
      {"https://loja1.loja.example/pdv", true},  // a subdomain
      {"https://a.b.LOJA.example/", true},       // any depth, any case
      {"https://loja.example/", false},          // not the domain itself
      {"https://pdv.example/", true},            // a pattern's path is ignored
      {"https://pdv.example:443/x?y", true},     // the default port written out
      {"https://pdv.example:8443/", false},      // another port
      {"http://pdv.example/", false},            // another scheme
      {"http://caixa.loja.example:8080/", true},
      {"http://caixa.loja.example/", false},       // the pattern's port only
      {"https://loja.example.evil.test/", false},  // a look-alike host
      {"https://evilloja.example/", false},
      {"https://pdv.example@evil.test/", false},  // the host is what follows the @
      {"https://evil.test/?https://pdv.example", false},
      {"ftp://pdv.example/", false},
      {"about:blank", false},
      {"", false},
  };
  for (const auto& [address, allowed] : cases) {
    EXPECT_EQ(policy.Allows(address), allowed) << address;
  }
  EXPECT_FALSE(SitePolicy().Allows("https://loja1.loja.example/")) << "an empty list";
}

// A file page is local only on this computer's own drives; a share of another computer, in any
// spelling Windows takes, is that computer's page and needs the list to name it.
TEST(SitePolicy, FilePagesOnAnotherComputerAreThatComputersPages) {
  const SitePolicy none;
  const SitePolicy server({"file://arquivos.loja.example"});
  struct Case {
    const char* address;
    bool local;
    bool onTheListedServer;
  };
  const Case cases[] = {
      {"file:///C:/pdv/balanca.html", true, true},
      {"file://localhost/C:/pdv/balanca.html", true, true},
      {"file:///c|/pdv/balanca.html", true, true},
      {"C:\\pdv\\balanca.html", true, true},
      {"file://evil.example/share/page.html", false, false},
      {"\\\\evil.example\\share\\page.html", false, false},
      {"file:////evil.example/share/x.html", false, false},
      {"file:///\\\\evil.example\\share\\x.html", false, false},
      {"file:///%5C%5Cevil.example%5Cshare%5Cx.html", false, false},
      {"file://localhost//evil.example/share/x.html", false, false},
      {"\\\\localhost\\c$\\pdv\\balanca.html", false, false},
      {"file://arquivos.loja.example/pdv/balanca.html", false, true},
      {"\\\\ARQUIVOS.loja.example\\pdv\\balanca.html", false, true},
      {"file:////arquivos.loja.example/pdv/balanca.html", false, true},
      {"file://", false, false},
      {"\\\\", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(none.Allows(c.address), c.local) << c.address;
    EXPECT_EQ(server.Allows(c.address), c.onTheListedServer) << c.address;
  }
}

// The service's Origin header: exactly an origin, matched by the same patterns.
TEST(SitePolicy, OriginsMatchThePatternsExactly) {
  const SitePolicy policy({"https://*.loja.example", "http://caixa.loja.example:8080/"});
  const std::pair<const char*, bool> cases[] = {
      {"https://loja7.loja.example", true},
      {"https://LOJA7.loja.example:443", true},
      {"https://loja7.loja.example/", true},
      {"http://caixa.loja.example:8080", true},
      {"https://loja.example", false},
      {"https://loja7.loja.example/x", false},  // no path in an origin
      {"https://user@loja7.loja.example", false},
      {"https://loja7.loja.example:+443", false},
      {"https://loja7.loja.example:99999", false},
      {"https://loja7.loja.example\x7f", false},
      {"https://lo ja.loja.example", false},
      {"null", false},
      {"http://localhost:8470", false},  // the service adds its own origins itself
      {"", false},
  };
  for (const auto& [origin, allowed] : cases) {
    EXPECT_EQ(policy.AllowsOrigin(origin), allowed) << origin;
  }
  EXPECT_TRUE(SitePolicy::IsPattern("https://*.loja.example"));
  EXPECT_TRUE(SitePolicy::IsPattern("file://arquivos"));
  EXPECT_FALSE(SitePolicy::IsPattern("https://user@loja.example"));
  EXPECT_FALSE(SitePolicy::IsPattern("ftp://loja.example"));
  EXPECT_FALSE(SitePolicy::IsPattern("loja.example"));
  EXPECT_FALSE(SitePolicy::IsPattern("https://*."));
}

}  // namespace
}  // namespace trv
