// The scale component: model and driver, activation, readings on demand and monitoring.
#include <gtest/gtest.h>

#include "ScaleFixture.h"
#include "scale/TrvBALFilizola.h"

namespace trv::testing {
namespace {

const Bytes kFilizola1234 =
    "\x02"
    "001234"
    "\x03";

class ScaleComponentTest : public ScaleFixture {};

TEST_F(ScaleComponentTest, StartsInactiveWithNoProtocol) {
  EXPECT_EQ(scale_.Modelo(), balNenhum);
  EXPECT_EQ(scale_.ModeloStr(), "Não Definida");
  EXPECT_EQ(scale_.Porta(), "COM1");
  EXPECT_EQ(scale_.Intervalo(), 200);
  EXPECT_FALSE(scale_.MonitorarBalanca());
  EXPECT_FALSE(scale_.Ativo());
  EXPECT_FALSE(scale_.Timer().Running());
  EXPECT_EQ(scale_.Device().Name(), "TrvDevice");
  EXPECT_TRUE(scale_.Device().IsSubComponent());
  EXPECT_EQ(scale_.Device().Serial->DeadlockTimeout(), 1000);
  EXPECT_EQ(scale_.AboutTrv(), TrvAbout);
}

TEST_F(ScaleComponentTest, ANewModelBringsANewDriverAndResetsTheLine) {
  scale_.Device().SetBaud(4800);
  scale_.SetModelo(balNenhum);  // the same model: nothing happens
  EXPECT_EQ(scale_.Device().Baud(), 4800);
  scale_.SetPorta("COM4");
  scale_.SetModelo(balFilizola);
  EXPECT_NE(dynamic_cast<TTrvBALFilizola*>(&scale_.BAL()), nullptr);
  EXPECT_EQ(scale_.ModeloStr(), "Filizola");
  EXPECT_EQ(scale_.Device().Baud(), 9600);
  EXPECT_EQ(scale_.Porta(), "COM4");

  scale_.SetModelo(200);  // no driver for that ordinal: the base, stored as given
  EXPECT_EQ(scale_.Modelo(), 200);
  EXPECT_EQ(scale_.ModeloStr(), "Não Definida");
}

TEST_F(ScaleComponentTest, TheModelCannotChangeWhileActive) {
  scale_.SetModelo(balFilizola);
  scale_.Ativar();
  TTrvBALClass* driver = &scale_.BAL();
  EXPECT_EQ(MessageOf([&] { scale_.SetModelo(balToledo); }),
            "Não é possível mudar o Modelo com TrvBAL Ativo");
  EXPECT_EQ(scale_.Modelo(), balFilizola);
  EXPECT_EQ(&scale_.BAL(), driver);
}

TEST_F(ScaleComponentTest, DriversBelongToTheScaleComponent) {
  TComponent stranger(nullptr);
  EXPECT_EQ(MessageOf([&] { TTrvBALClass driver(&stranger); }),
            "Essa Classe deve ser instanciada por TTrvBAL");
}

TEST_F(ScaleComponentTest, WithoutAProtocolTheReadingRaisesAndStateIsKept) {
  scale_.SetMonitorarBalanca(true);
  EXPECT_EQ(MessageOf([&] { scale_.LePeso(2000); }),
            "Função LePeso não implementada em: Não Definida");
  EXPECT_FALSE(scale_.Ativo());
  EXPECT_TRUE(scale_.MonitorarBalanca());
  EXPECT_FALSE(port_->IsOpen());
  EXPECT_TRUE(readings_.empty());

  scale_.Ativar();  // the port still opens
  EXPECT_TRUE(port_->IsOpen());
}

TEST_F(ScaleComponentTest, AnEmptyPortActivatesWithoutOpening) {
  scale_.SetPorta("");
  scale_.Ativar();
  EXPECT_TRUE(scale_.Ativo());
  EXPECT_TRUE(scale_.BAL().Ativo());
  EXPECT_TRUE(port_->Calls().empty());
}

TEST_F(ScaleComponentTest, AReadingOnAnInactiveComponentOpensAndClosesThePort) {
  scale_.SetModelo(balFilizola);
  scale_.SetMonitorarBalanca(true);
  AnswerWith({kFilizola1234});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 1.234);
  EXPECT_FALSE(scale_.Ativo());
  EXPECT_FALSE(port_->IsOpen());
  EXPECT_TRUE(scale_.MonitorarBalanca());
  EXPECT_FALSE(scale_.Timer().Running());
  ASSERT_EQ(readings_.size(), 1u);
  EXPECT_DOUBLE_EQ(readings_[0].weight, 1.234);
  EXPECT_EQ(readings_[0].answer, kFilizola1234);
}

TEST_F(ScaleComponentTest, MonitoringPausesForAReadingOnDemand) {
  scale_.SetModelo(balFilizola);
  scale_.SetMonitorarBalanca(true);
  scale_.Ativar();
  EXPECT_TRUE(scale_.Timer().Running());
  bool runningDuringReading = true;
  scale_.OnLePeso = [&](double, const Bytes&) { runningDuringReading = scale_.Timer().Running(); };
  AnswerWith({kFilizola1234});
  scale_.LePeso(2000);
  EXPECT_FALSE(runningDuringReading);
  EXPECT_TRUE(scale_.Timer().Running());
  EXPECT_EQ(scale_.Timer().Interval(), 200u);
}

TEST_F(ScaleComponentTest, ATimeoutReachesTheHandlerAsACode) {
  scale_.SetModelo(balFilizola);
  EXPECT_DOUBLE_EQ(scale_.LePeso(1000), -9);
  ASSERT_EQ(readings_.size(), 1u);
  EXPECT_DOUBLE_EQ(readings_[0].weight, -9);
}

TEST_F(ScaleComponentTest, IntervalDecidesWhetherTheTimerRuns) {
  scale_.SetMonitorarBalanca(true);
  scale_.Ativar();
  EXPECT_TRUE(scale_.Timer().Running());
  scale_.SetIntervalo(0);
  EXPECT_FALSE(scale_.Timer().Running());
  scale_.SetIntervalo(-5);
  EXPECT_FALSE(scale_.Timer().Running());
  scale_.SetIntervalo(200);
  EXPECT_TRUE(scale_.Timer().Running());
  scale_.Desativar();
  EXPECT_FALSE(scale_.Timer().Running());
}

TEST_F(ScaleComponentTest, MonitoringPicksUpWhatTheScaleSendsByItself) {
  scale_.SetModelo(balFilizola);
  scale_.SetMonitorarBalanca(true);
  scale_.Ativar();
  timers_.RunFor(1000);
  EXPECT_TRUE(readings_.empty());  // nothing waiting: the driver is not called

  port_->ArriveAt(clock_.Milliseconds() + 50, kFilizola1234);
  timers_.RunFor(1000);
  ASSERT_EQ(readings_.size(), 1u);
  EXPECT_DOUBLE_EQ(readings_[0].weight, 1.234);
  EXPECT_TRUE(port_->Written().empty());  // no request was sent
  EXPECT_TRUE(scale_.Timer().Running());
}

TEST_F(ScaleComponentTest, ATickWithoutAProtocolStopsMonitoring) {
  scale_.SetMonitorarBalanca(true);
  scale_.Ativar();
  std::string reported;
  platform::SetTimerExceptionHandler([&](const std::string& message) { reported = message; });
  port_->ArriveAt(clock_.Milliseconds(), "x");
  timers_.RunFor(500);
  platform::SetTimerExceptionHandler([](const std::string&) {});
  EXPECT_EQ(reported, "Procedure LeSerial não implementada em: Não Definida");
  EXPECT_FALSE(scale_.Timer().Running());
  scale_.SetMonitorarBalanca(true);  // setting it again restarts monitoring
  EXPECT_TRUE(scale_.Timer().Running());
}

TEST_F(ScaleComponentTest, APortFailureWhileRequestingLeavesTheReading) {
  scale_.SetModelo(balFilizola);
  scale_.SetMonitorarBalanca(true);
  scale_.Ativar();
  port_->Fail(CommPortFake::Call::Purge, 5);
  EXPECT_THROW(scale_.LePeso(2000), ETrvSerialError);
  EXPECT_TRUE(scale_.Ativo());
  EXPECT_TRUE(scale_.Timer().Running());
  EXPECT_TRUE(readings_.empty());
}

}  // namespace
}  // namespace trv::testing
