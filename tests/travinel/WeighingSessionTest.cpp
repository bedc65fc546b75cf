// The travinel command's weighing on the real form, over a scripted port and a manual clock:
// what ler and monitorar print, and the exit code of each outcome.
#include <gtest/gtest.h>

#include <sstream>

#include "CommandLoop.h"
#include "ExitCodes.h"
#include "WeighingSession.h"
#include "platform/TimerQueue.h"
#include "testing/CommPortFake.h"
#include "testing/ManualClock.h"

namespace trv::cli {
namespace {

class WeighingSessionTest : public ::testing::Test {
 protected:
  WeighingSessionTest() {
    settings_.porta = 3;
    settings_.modelo = 1;  // Filizola
  }

  WeighingSession& Session() {
    auto port = std::make_unique<CommPortFake>(clock_);
    port_ = port.get();
    session_ = std::make_unique<WeighingSession>(settings_, out_, err_, std::move(port));
    return *session_;
  }

  // The Filizola scale answers every request with this field, framed.
  void ScaleShows(const Bytes& field) {
    port_->SetResponder(
        [this, field](const Bytes&) { port_->ArriveAfter(10, "\x02" + field + "\x03"); });
  }

  platform::ManualClock clock_{10000};
  platform::ScopedClock scopedClock_{clock_};
  platform::TimerQueue timers_;
  platform::ScopedTimerService scopedTimers_{timers_};
  FormSettings settings_;
  std::ostringstream out_;
  std::ostringstream err_;
  CommPortFake* port_ = nullptr;
  std::unique_ptr<WeighingSession> session_;
};

TEST_F(WeighingSessionTest, LerPrintsOnlyTheReading) {
  WeighingSession& session = Session();
  ScaleShows("001235");
  EXPECT_EQ(session.Ler(false), kExitOk);
  EXPECT_EQ(out_.str(), "Peso Aferido: 1235 gramas\n");
  EXPECT_EQ(err_.str(), "");
}

TEST_F(WeighingSessionTest, VerboseLerPrintsWhatTheFormShowsWhileEnabling) {
  WeighingSession& session = Session();
  ScaleShows("001235");
  EXPECT_EQ(session.Ler(true), kExitOk);
  // Writing 1 to Usr_Bal with the box unticked enables the scale twice (the box's tick nests).
  EXPECT_EQ(out_.str(),
            "Aguarde...\nBalança Pronta\nAguarde...\nBalança Pronta\nPeso Aferido: 1235 gramas\n");
}

TEST_F(WeighingSessionTest, TheUnitAndDecimalsAreTheForms) {
  settings_.unidade = 1;
  settings_.decimais = 1;
  WeighingSession& session = Session();
  ScaleShows("002500");
  EXPECT_EQ(session.Ler(false), kExitOk);
  EXPECT_NE(out_.str().find("kilogramas"), std::string::npos) << out_.str();
}

TEST_F(WeighingSessionTest, ASilentScaleExitsWithFour) {
  WeighingSession& session = Session();
  EXPECT_EQ(session.Ler(false), kExitNoAnswer);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str(), "travinel: no weight from the scale within the time-out (code -9)\n");
}

TEST_F(WeighingSessionTest, WeightCodesExitWithFive) {
  const std::pair<Bytes, std::string> codes[] = {{"IIIIII", "Peso Instavel Aguarde Nova Leitura\n"},
                                                 {"NNNNNN", "Peso Negativo.\n"},
                                                 {"SSSSSS", "Sobrepeso.\n"},
                                                 {"000000", "Coloque o Objeto sobre a Balança!\n"}};
  for (const auto& [field, status] : codes) {
    out_.str("");
    WeighingSession& session = Session();
    ScaleShows(field);
    EXPECT_EQ(session.Ler(false), kExitNotAWeight) << field;
    EXPECT_EQ(out_.str(), status);
  }
}

TEST_F(WeighingSessionTest, APortThatDoesNotOpenExitsWithThree) {
  WeighingSession& session = Session();
  port_->SetOpenError(NumberedPortPath(2), 2);
  EXPECT_EQ(session.Ler(false), kExitPortFailure);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(err_.str().rfind("Erro na configuração, ou balança desligada: ", 0), 0u) << err_.str();
}

TEST_F(WeighingSessionTest, ADevicePathReplacesThePortName) {
#ifdef _WIN32
  const std::string path = "\\\\.\\COM42";
#else
  const std::string path = "/dev/pts/42";
#endif
  settings_.porta = -1;
  settings_.portPath = path;
  WeighingSession& session = Session();
  ScaleShows("000500");
  EXPECT_EQ(session.Ler(false), kExitOk);
  EXPECT_EQ(session.Form().balanca().Porta(), path);
}

TEST_F(WeighingSessionTest, APathThatIsNoSerialDeviceExitsWithThree) {
  settings_.porta = -1;
  settings_.portPath = "/no/such/port";  // the device would write it as a file
  WeighingSession& session = Session();
  EXPECT_EQ(session.Ler(false), kExitPortFailure);
  EXPECT_EQ(err_.str(),
            "travinel: /no/such/port is not a serial port (missing, or not a serial device)\n");
  EXPECT_FALSE(port_->IsOpen());
}

TEST_F(WeighingSessionTest, NoModelShowsTheBoxAndExitsWithTwo) {
  settings_.modelo = 0;
  WeighingSession& session = Session();
  EXPECT_EQ(session.Ler(false), kExitUsage);
  EXPECT_EQ(err_.str(), "Erro: Balança não configurada.\n");
}

#ifndef _WIN32
// The loop's timers are the test's queue on the manual clock (Windows delivers window timers).
TEST_F(WeighingSessionTest, MonitorarPrintsEachPollUntilTheEnd) {
  WeighingSession& session = Session();
  ScaleShows("001500");
  CommandLoop loop;
  EXPECT_EQ(session.Monitorar(loop, 7), kExitOk);
  EXPECT_EQ(out_.str(),
            "Aguarde...\nBalança Pronta\nAguarde...\nBalança Pronta\n"
            "Peso Aferido: 1500 gramas\nPeso Aferido: 1500 gramas\nBalança Desativada\n");
  EXPECT_FALSE(session.Form().balanca().Ativo());
}

TEST_F(WeighingSessionTest, MonitorarEndsWithOneWhenThePollingDisablesTheScale) {
  WeighingSession& session = Session();
  port_->Fail(CommPortFake::Call::Write, 5);  // the request of the first poll cannot go out
  CommandLoop loop;
  EXPECT_EQ(session.Monitorar(loop, 10), kExitFailure);
  EXPECT_NE(err_.str().find("Erro na Leitura do peso: "), std::string::npos) << err_.str();
}
#endif

}  // namespace
}  // namespace trv::cli
