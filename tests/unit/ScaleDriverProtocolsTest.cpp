// The drivers' protocols as data: each entry must be what its model's driver does on a port,
// the same request on the line and the same name, so that code reading bytes without a port
// (finding a scale) speaks exactly as the drivers do.
#include <gtest/gtest.h>

#include "ScaleFixture.h"
#include "scale/TrvBALDrivers.h"

namespace trv::testing {
namespace {

class DriverProtocolTable : public ScaleFixture {};

TEST_F(DriverProtocolTable, ListTheSevenModelsInOrder) {
  const auto protocols = ScaleDriverProtocols();
  ASSERT_EQ(protocols.size(), 7u);
  for (size_t index = 0; index < protocols.size(); ++index) {
    EXPECT_EQ(protocols[index].model, index + 1);
  }
}

TEST_F(DriverProtocolTable, SendTheDriversRequestAndCarryTheirNames) {
  for (const ScaleDriverProtocol& protocol : ScaleDriverProtocols()) {
    scale_.SetModelo(protocol.model);
    scale_.Ativar();
    port_->SetResponder(nullptr);
    const size_t before = port_->Written().size();
    scale_.LePeso(300);  // nobody answers: the first request is all that matters
    const Bytes request = protocol.request();
    EXPECT_EQ(port_->Written().substr(before, request.size()), request) << protocol.name;
    EXPECT_EQ(scale_.ModeloStr(), protocol.name);
    scale_.Desativar();
  }
}

TEST_F(DriverProtocolTable, ParseAsTheDriversReceptionDoes) {
  // One answer per model, read by the driver on the port and by the protocol's parser alone.
  const std::pair<uint8_t, Bytes> answers[] = {
      {1, STX + "001234" + ETX}, {2, STX + " 01234 001990 002455" + ETX},
      {4, "E PESO: 1,234kg"},    {6, "PESO 1.234 kg" + CR + LF},
      {7, STX + "01.234" + ETX},
  };
  for (const auto& [model, answer] : answers) {
    scale_.SetModelo(model);
    scale_.Ativar();
    AnswerWith({answer});
    const double read = scale_.LePeso(2000);
    EXPECT_DOUBLE_EQ(ScaleDriverProtocols()[model - 1].parseAnswer(answer), read)
        << static_cast<int>(model);
    scale_.Desativar();
  }
}

}  // namespace
}  // namespace trv::testing
