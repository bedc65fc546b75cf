#include "ServiceCommand.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "ConfigurationPlaces.h"
#include "ExitCodes.h"
#include "HttpServer.h"
#include "ServiceConfigurationSource.h"
#include "ServiceHost.h"
#include "ServiceLog.h"
#include "WeightService.h"
#include "control/FormValueText.h"
#include "control/SitePolicy.h"

namespace trv::service {
namespace {

bool IsLoopback(const std::string& address) {
  return address.rfind("127.", 0) == 0 || address == "::1";
}

// "ENDEREÇO:PORTA", or "[::1]:PORTA".
bool ParseListen(const std::string& text, ServiceSettings& settings) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  std::string address = text.substr(0, colon);
  if (address.front() == '[' && address.back() == ']')
    address = address.substr(1, address.size() - 2);
  int port = 0;
  if (!FormValueText::Integer(text.substr(colon + 1), 1, 65535, port)) return false;
  settings.address = address;
  settings.port = static_cast<uint16_t>(port);
  return !address.empty();
}

void SplitList(const std::string& text, std::vector<std::string>& into) {
  std::stringstream stream(text);
  std::string item;
  while (std::getline(stream, item, ',')) {
    if (!item.empty()) into.push_back(item);
  }
}

std::string NotASitePattern(const std::string& where, const std::string& value) {
  return where + ": '" + value +
         "' não é uma origem como https://loja.exemplo:8443 ou https://*.loja.exemplo";
}

// The service's configuration file, as travinel configurar writes it:
// {"origens": [...], "portasPermitidas": [...], "escuta": "127.0.0.1:8470", "balancas": {...}}.
bool ReadConfig(const std::string& path, ServiceSettings& settings, std::string& error) {
  config::SiteConfiguration configuration;
  if (!config::ServiceConfigurationSource::Load(path, configuration, error)) {
    error = "--config: " + error;
    return false;
  }
  settings.origins.insert(settings.origins.end(), configuration.sites.begin(),
                          configuration.sites.end());
  settings.allowedPorts.insert(settings.allowedPorts.end(), configuration.allowedPorts.begin(),
                               configuration.allowedPorts.end());
  for (auto& [name, scale] : configuration.scales) settings.scales.insert_or_assign(name, scale);
  if (!configuration.listen.empty() && !ParseListen(configuration.listen, settings)) {
    error = "--config: " + path + ": escuta '" + configuration.listen + "' não é ENDEREÇO:PORTA";
    return false;
  }
  return true;
}

// The configuration travinel configurar writes, read when no --config is given.
std::string DefaultConfigPath() {
  return config::ServiceConfigurationSource::DefaultPath();
}

bool NamesAConfig(const std::vector<std::string>& args) {
  return std::find(args.begin(), args.end(), "--config") != args.end();
}

}  // namespace

bool ServiceCommand::Parse(const std::vector<std::string>& args, ServiceSettings& settings,
                           bool& help, std::string& error) {
  help = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (name == "--help" || name == "-h") {
      help = true;
      return true;
    }
    if (name == "--permitir-rede") {
      settings.allowNetwork = true;
      continue;
    }
    if (name == "--servico") {
      if (!ServiceHost::HasServiceManager()) {
        error = "--servico existe só no Windows; no Linux o systemd roda travinel-servir.service";
        return false;
      }
      settings.windowsService = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = name.rfind("--", 0) == 0 ? name + " precisa de um valor"
                                       : "argumento inesperado: " + name;
      return false;
    }
    const std::string& value = args[++i];
    if (name == "--escuta") {
      if (!ParseListen(value, settings)) {
        error = "--escuta: '" + value + "' não é ENDEREÇO:PORTA (como 127.0.0.1:8470)";
        return false;
      }
    } else if (name == "--origem") {
      if (!SitePolicy::IsPattern(value)) {
        error = NotASitePattern("--origem", value);
        return false;
      }
      settings.origins.push_back(value);
    } else if (name == "--portas-permitidas") {
      SplitList(value, settings.allowedPorts);
    } else if (name == "--duracao") {
      if (!FormValueText::Integer(value, 1, 31536000, settings.durationSeconds)) {
        error = "--duracao: '" + value + "' não é um número de segundos de 1 a 31536000";
        return false;
      }
    } else if (name == "--config") {
      if (!ReadConfig(value, settings, error)) return false;
    } else {
      error = "opção desconhecida: " + name;
      return false;
    }
  }
  if (!IsLoopback(settings.address) && !settings.allowNetwork) {
    error = "--escuta: " + settings.address +
            " não é o endereço local; outra máquina poderia usar a balança. Use --permitir-rede "
            "para aceitar isso";
    return false;
  }
  return true;
}

namespace {

// Serves until waitForStop returns (or the time runs out), recording the start and the stop.
// Answers the exit code once every connection has ended.
int Serve(const ServiceSettings& settings, ServiceLog& log,
          const std::function<void()>& waitForStop, std::ostream& out, std::ostream& err) {
  WeightService service(settings, nullptr, &log);
  HttpServer server([&service](const HttpRequest& request) { return service.Handle(request); },
                    [&service](const HttpRequest& request, HttpResponse& response) {
                      service.AddCorsHeaders(request, response);
                    },
                    WeightService::kMaxBody);
  std::string error;
  if (!server.Listen(settings.address, settings.port, error)) {
    err << "travinel servir: " << error << std::endl;
    log.Write("não iniciado: " + error);
    return cli::kExitPortFailure;
  }
  const std::string host = settings.address.find(':') != std::string::npos
                               ? "[" + settings.address + "]"
                               : settings.address;
  const std::string address = "http://" + host + ":" + std::to_string(settings.port) + "/";
  out << "travinel servir: escutando em " << address << " (Ctrl-C para parar)" << std::endl;
  log.Write("iniciado, versão " TRAVINEL_VERSION ", em " + address +
            "; origens permitidas: " + std::to_string(settings.origins.size()));
  std::thread accepting([&server] { server.Run(); });
  waitForStop();
  // Pages still listening are cut off; a reading under way ends at the scale's time-out at most.
  server.Stop();
  accepting.join();
  log.Write("parado");
  out << "travinel servir: parado" << std::endl;
  return cli::kExitOk;
}

}  // namespace

int ServiceCommand::Run(const std::vector<std::string>& args, std::ostream& out,
                        std::ostream& err) {
  ServiceSettings settings;
  bool help = false;
  std::string error;
  const std::string defaultConfig = DefaultConfigPath();
  if (!NamesAConfig(args) && std::ifstream(defaultConfig) &&
      !ReadConfig(defaultConfig, settings, error)) {
    err << "travinel servir: " << error << std::endl;
    return cli::kExitUsage;
  }
  if (!Parse(args, settings, help, error)) {
    err << "travinel servir: " << error << std::endl;
    return cli::kExitUsage;
  }
  if (help) {
    out << Usage();
    return cli::kExitOk;
  }
  return ServiceHost::Run(
      settings, defaultConfig,
      [&](ServiceLog& log, const std::function<void()>& waitForStop) {
        return Serve(settings, log, waitForStop, out, err);
      },
      err);
}

std::string ServiceCommand::Usage() {
  return R"(usage: travinel servir [options]
Runs the local weight service: web pages on this computer read the scale over HTTP, through the
same weighing form as the Travinel control. The page at / shows the live weight; /travinel.js
is the client module for your own pages (see the README).

  --escuta ENDEREÇO:PORTA   where to listen; default 127.0.0.1:8470
  --permitir-rede           allow an address other than the loopback one (other machines could
                            then reach the scale)
  --origem URL              a site allowed to call the service, e.g. https://pdv.loja.com.br
                            or https://*.loja.com.br for every store below it (repeatable);
                            the service's own pages are always allowed, every other origin is
                            refused
  --portas-permitidas LISTA the only serial ports pages may use, e.g. 1,/dev/ttyUSB0
  --config ARQUIVO          a JSON file: {"origens": [...], "portasPermitidas": [...],
                            "escuta": "127.0.0.1:8470", "balancas": {"caixa": {"Porta": 3,
                            "Mod_Bal": 2, ...}}}. Without --config, the file travinel
                            configurar writes is read when it exists: /etc/travinel/servir.json
                            (Windows: %ProgramData%\Travinel\servir.json), or TRAVINEL_CONFIG
  --servico                 (Windows) run as the Windows service Travinel, under the service
                            manager, logging to %ProgramData%\Travinel\logs
  --duracao SEGUNDOS        stop after this many seconds (default: until Ctrl-C)
  --help, -h                this text

API (JSON in UTF-8, names of the control's properties):
  POST /v1/ler       {"Porta": 1 or "/dev/ttyUSB0", "Mod_Bal": 1-7, "Vel_Bal", "Bit_Bal",
                     "Par_Bal", "Stp_Bal", "Hnd_Bal", "Uni_Bal", "Dec_Bal"}
                     -> {"PesoLido": 1234, "status": "...", "mensagem": null or "...",
                         "ok": true only for a weight, "estado": "peso", "sem_resposta", ...}
  GET  /v1/eventos?Porta=...&Mod_Bal=...   Server-Sent Events
                     {"status", "PesoLido", "ok", "estado"}
  {"balanca": "caixa"} or ?balanca=caixa   a scale named in the configuration (travinel
                     configurar --balanca) instead of Porta; its other fields, when given,
                     override the scale's. With a single scale configured, a request without
                     balanca and Porta uses it. Unknown name: 404; its adapter not connected:
                     503 with "estado": "porta_indisponivel"
  GET  /v1/balancas  the named scales: [{"nome", "Porta", "Mod_Bal", ...}]
  GET  /v1/portas    the serial ports of this machine
  GET  /v1/saude     {"versao", "ativoHaSegundos", "portasEmUso"}, for monitoring
  GET  /v1/versao    {"versao"}
)";
}

}  // namespace trv::service
