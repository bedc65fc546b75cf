#include "DetectCommand.h"

#include <chrono>
#include <cstdio>
#include <exception>

#include "DetectOptions.h"
#include "ExitCodes.h"
#include "NamedScaleSaver.h"
#include "ScaleDetector.h"
#include "StandardOutput.h"

namespace trv::detection {
namespace {

constexpr char kClearLine[] = "\r\033[K";

// Kilograms as the shop reads them: "1,234 kg".
std::string Kilograms(double weight) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", weight);
  std::string result = text;
  if (const size_t dot = result.find('.'); dot != std::string::npos) result[dot] = ',';
  return result + " kg";
}

std::string PortTitle(const PortOutcome& outcome) {
  return outcome.identity.empty() ? outcome.port : outcome.port + " (" + outcome.identity + ")";
}

std::string Seconds(std::chrono::steady_clock::duration elapsed) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", std::chrono::duration<double>(elapsed).count());
  std::string result = text;
  if (const size_t dot = result.find('.'); dot != std::string::npos) result[dot] = ',';
  return result + " s";
}

}  // namespace

int DetectCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  DetectRequest request;
  std::string error;
  if (!DetectOptions::Parse(args, request, error)) {
    err << "travinel detectar: " << error << "\nVeja 'travinel detectar --help'." << std::endl;
    return cli::kExitUsage;
  }
  if (request.help) {
    out << Usage();
    return cli::kExitOk;
  }
  return Execute(request, out, err, StandardOutputIsTerminal());
}

int DetectCommand::Execute(const DetectRequest& request, std::ostream& out, std::ostream& err,
                           bool terminal) {
  ScaleDetector::Request search;
  search.ports = request.ports;
  const size_t count = ScaleDetector::Candidates(ListSerialPorts(), search).size();
  if (count == 0) {
    err << "travinel detectar: nenhuma porta serial encontrada neste computador" << std::endl;
    return cli::kExitNoAnswer;
  }
  out << "Procurando balanças em " << count << (count == 1 ? " porta" : " portas")
      << " (pode levar até " << ScaleDetector::kBudgetMs / 1000 << " s)..." << std::endl;
  const auto started = std::chrono::steady_clock::now();
  const auto progress = [&](const std::string& port, const LineSetting& line, size_t index,
                            size_t total) {
    out << kClearLine << "  " << port << ": " << line.Text() << " (" << index + 1 << "/" << total
        << ")" << std::flush;
  };
  const auto done = [&](const PortOutcome& outcome) {
    out << (terminal ? kClearLine : "") << Line(outcome) << std::endl;
  };
  const std::vector<PortOutcome> outcomes =
      ScaleDetector().Run(search, terminal ? ScaleDetector::Progress(progress) : nullptr, done);
  out << "Busca concluída em " << Seconds(std::chrono::steady_clock::now() - started) << "."
      << std::endl;
  return Finish(request, outcomes, out, err);
}

int DetectCommand::Finish(const DetectRequest& request, const std::vector<PortOutcome>& outcomes,
                          std::ostream& out, std::ostream& err) {
  for (const PortOutcome& outcome : outcomes) {
    if (!outcome.Found()) continue;
    if (request.saveAs.empty()) return cli::kExitOk;
    try {
      NamedScaleSaver::Save(request.configPath, request.saveAs, outcome);
    } catch (const std::exception& e) {
      err << "travinel detectar: não foi possível gravar a balança: " << e.what() << std::endl;
      return cli::kExitFailure;
    }
    out << "Balança \"" << request.saveAs << "\" gravada em " << request.configPath << ": "
        << PortTitle(outcome) << std::endl;
    return cli::kExitOk;
  }
  err << "travinel detectar: nenhuma balança encontrada. Verifique se a balança está ligada e "
         "conectada a este computador, e coloque um objeto sobre ela."
      << std::endl;
  return cli::kExitNoAnswer;
}

std::string DetectCommand::Line(const PortOutcome& outcome) {
  if (!outcome.Found()) return PortTitle(outcome) + ": " + outcome.Description();
  std::string line = PortTitle(outcome) + ": " + outcome.reading.name + " (Mod_Bal " +
                     std::to_string(outcome.reading.model) + "), " + outcome.line.Text() +
                     ", peso " + Kilograms(outcome.reading.weight);
  if (!outcome.alsoRead.empty()) {
    line += "; a resposta também é lida como";
    for (size_t i = 0; i < outcome.alsoRead.size(); ++i) {
      line += (i == 0 ? " " : ", ") + outcome.alsoRead[i].name + " (" +
              Kilograms(outcome.alsoRead[i].weight) + ")";
    }
  }
  return line;
}

std::string DetectCommand::Usage() {
  return R"(uso: travinel detectar [--portas LISTA] [--salvar NOME]
Procura sozinho a balança: em cada porta serial (todas, ou as de --portas), ao mesmo tempo,
escuta as balanças que mandam o peso sem pedido e pede o peso como cada modelo pede (Filizola,
Toledo, Toledo 2180, Urano, LucasTec, Magna, Digitron), a 9600, 4800, 2400 e 19200 bauds, em
8N1, 7E1 e 8N2. Mostra a porta, o modelo (Mod_Bal), a linha e o peso lido de cada balança
encontrada. Uma porta que outro programa está usando é deixada em paz ("em uso"); um nome que
não é de porta serial nunca é aberto. Só um peso identifica o modelo: coloque um objeto sobre a
balança antes de procurar.

  --portas LISTA   só estas portas, separadas por ',' (1 para COM1, um caminho como
                   /dev/ttyUSB0, ou a identidade de um adaptador USB, usb:VID:PID:SERIE)
  --salvar NOME    grava a primeira balança encontrada com este nome no arquivo do serviço
                   (o mesmo de travinel configurar), com a identidade do adaptador USB quando
                   houver; a página então pede new Travinel({balanca: "NOME"})
  --raiz PASTA     (Linux, testes) usa o arquivo abaixo de PASTA; TRAVINEL_CONFIG também
                   escolhe o arquivo
  --help, -h       este texto

Saída: 0 balança encontrada (e gravada); 1 falha ao gravar; 2 opção inválida; 4 nenhuma
balança encontrada.

Exemplos:
  travinel detectar
  travinel detectar --portas /dev/ttyUSB0,/dev/ttyUSB1 --salvar caixa
)";
}

}  // namespace trv::detection
