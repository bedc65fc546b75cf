#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "CommandOptions.h"
#include "control/FrmActivexForm.h"
#include "control/HeadlessControls.h"

namespace trv::cli {

class CommandLoop;

// The weighing form on headless controls, configured from the command line, that prints what
// it shows: status texts one per line on `out` (those that report an error, "Erro ...", on
// `err`), and message boxes as "Erro: <text>" on `err`. Both subcommands enable the scale the
// way the host does, by writing 1 to Usr_Bal.
class WeighingSession {
 public:
  // port: the serial port of the scale; the operating system's when null (tests pass a fake).
  WeighingSession(const FormSettings& settings, std::ostream& out, std::ostream& err,
                  ScalePort port = nullptr);
  ~WeighingSession();
  WeighingSession(const WeighingSession&) = delete;
  WeighingSession& operator=(const WeighingSession&) = delete;

  // ler: enables the scale, then one LerPeso. Unless `verbose`, the statuses shown while
  // enabling are printed only when the enabling fails. Returns the exit code.
  int Ler(bool verbose);
  // monitorar: enables the scale and runs the loop until Ctrl-C, `seconds` (0: no end), or
  // the polling disabling the scale after an error. Returns the exit code.
  int Monitorar(CommandLoop& loop, int seconds);

  TFfrmActivexForm& Form() { return form_; }

 private:
  void OnStatus(const std::string& text);
  void OnBox(const HeadlessControls::Box& box);
  // Whether the device takes the port name for a serial port; says why not on `err`.
  bool PortIsSerial();
  // Writes 1 to Usr_Bal; 0 when the scale is enabled, else the exit code.
  int Enable();
  int OutcomeOfReading();
  // Runs the loop until it should end; false when the polling disabled the scale.
  bool KeepPolling(CommandLoop& loop, int seconds);
  void ReportMissingAnswer(double weight);

  std::ostream& out_;
  std::ostream& err_;
  HeadlessControls ui_;
  TFfrmActivexForm form_;
  // While false, statuses are kept back in held_ rather than printed.
  bool printing_ = true;
  std::string held_;
  bool boxShown_ = false;
  bool readingFailed_ = false;
};

}  // namespace trv::cli
