#pragma once

#include <functional>
#include <string>

#include "device/TrvDevice.h"
#include "platform/Bytes.h"
#include "platform/TComponent.h"

namespace trv {

// Weight codes: what a driver stores instead of a weight (a weight is above zero, in kg).
namespace weight_code {
constexpr double kNoWeight = 0;
constexpr double kUnstable = -1;
constexpr double kNegative = -2;
constexpr double kReadFailure = -9;
constexpr double kOverload = -10;
}  // namespace weight_code

// The driver base: what every scale protocol shares (the device, the active flag, the model
// name, the last weight and answer), opening and closing the device, and the two reading
// operations each model's driver overrides. The base itself speaks no protocol.
class TTrvBALClass {
 public:
  // The owner must be the scale component, whose device the driver borrows.
  explicit TTrvBALClass(TComponent* AOwner);
  virtual ~TTrvBALClass();
  TTrvBALClass(const TTrvBALClass&) = delete;
  TTrvBALClass& operator=(const TTrvBALClass&) = delete;

  virtual void Ativar();
  virtual void Desativar();
  // One reading on demand: request, answer, weight. Reception failures become weight codes;
  // failures of the port while discarding or sending are raised.
  virtual double LePeso(int MillisecTimeOut);
  // The reception and parsing half alone, on what the scale sent by itself. Raises nothing.
  virtual void LeSerial(int MillisecTimeOut);

  bool Ativo() const { return fpAtivo; }
  void SetAtivo(bool value) { value ? Ativar() : Desativar(); }
  const std::string& ModeloStr() const { return fpModeloStr; }
  double UltimoPesoLido() const { return fpUltimoPesoLido; }
  const Bytes& UltimaResposta() const { return fpUltimaResposta; }

 protected:
  // Model name, given as Windows-1252 bytes like every component text.
  void SetModeloStr(const Bytes& windows1252Name);
  TTrvSerial& Serial() { return *fpDevice->Serial; }
  void ClearReading();
  // Discards what waits on the port, sends the request and pauses 200 ms for the answer.
  void SendRequest(const Bytes& request);
  // One request and one reception with the whole time-out.
  double RequestOnce(const Bytes& request, int MillisecTimeOut);
  // Requests again, after a purge each time, until a positive weight or the deadline.
  double RequestUntilWeight(const Bytes& request, int MillisecTimeOut);
  // The guarded reception of every LeSerial: clears the reading, keeps the answer that
  // `receive` returns and stores the weight `parse` makes of it. Any failure on the way (a
  // time-out, a closed port, anything raised) leaves the read-failure code; nothing leaves here.
  void ReadAnswer(const std::function<Bytes()>& receive,
                  const std::function<double(const Bytes&)>& parse);
  // A weight field: "." and "," become the locale's mark; with a mark it is kilograms as
  // written, without one an integer count of 1/divisor kg. A field that does not convert gives
  // the code of its status letter.
  static double ConvertField(const std::string& field, double divisor);
  // ConvertField for scales whose fields may carry a sign: a number below zero is the negative
  // code, so that no negative weight can be mistaken for another code (-1.2 kg for unstable).
  static double ConvertSignedField(const std::string& field, double divisor);
  // The number of a weight field (after the mark replacement), in kg as ConvertField reads it;
  // false when the field is no number.
  static bool TryConvertNumber(const std::string& markedField, double divisor, double& weight);
  // A weight field of more than ten characters carries its weight in its first six, read as a
  // decimal number of thousandths of a kilogram; false when those six are no number.
  static bool TryConvertLongField(const std::string& field, double& weight);
  // A weight below zero becomes the negative code; anything else stays as it is.
  static double NegativeAsCode(double weight);
  // The weight code that the first character of an unconvertible, trimmed field stands for:
  // I unstable, N negative, S overload, any other no weight; an empty field is a read failure.
  static double StatusCode(const std::string& trimmedField);

  TTrvDevice* fpDevice;
  bool fpAtivo = false;
  std::string fpModeloStr;
  double fpUltimoPesoLido = 0;
  Bytes fpUltimaResposta;
};

}  // namespace trv
