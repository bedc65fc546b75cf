#include "ScaleProtocols.h"

#include "DigitronProtocol.h"
#include "FilizolaProtocol.h"
#include "LucasTecProtocol.h"
#include "MagnaProtocol.h"
#include "SimulatorText.h"
#include "Toledo2180Protocol.h"
#include "ToledoProtocol.h"
#include "UranoProtocol.h"
#include "platform/Text.h"

namespace trv::tools {

std::unique_ptr<ScaleProtocol> MakeScaleProtocol(const std::string& name) {
  const std::string wanted = platform::AsciiLower(name);
  if (wanted == "filizola") return std::make_unique<FilizolaProtocol>();
  if (wanted == "toledo") return std::make_unique<ToledoProtocol>();
  if (wanted == "toledo2180") return std::make_unique<Toledo2180Protocol>();
  if (wanted == "urano") return std::make_unique<UranoProtocol>();
  if (wanted == "lucastec") return std::make_unique<LucasTecProtocol>();
  if (wanted == "magna") return std::make_unique<MagnaProtocol>();
  if (wanted == "digitron") return std::make_unique<DigitronProtocol>();
  return nullptr;
}

std::string ScaleProtocolNames() {
  return "filizola, toledo, toledo2180, urano, lucastec, magna, digitron";
}

std::string ScaleFrameKinds(const std::string& name) {
  const std::unique_ptr<ScaleProtocol> protocol = MakeScaleProtocol(name);
  if (!protocol) return "";
  std::string kinds = "answer";
  for (const std::string& kind : protocol->FrameKinds()) kinds += ", " + kind;
  return kinds;
}

}  // namespace trv::tools
