#include "ConfigureCommand.h"

#include <algorithm>
#include <exception>

#include "ConfigurationPlaces.h"
#include "ConfigureOptions.h"
#include "ExitCodes.h"
#include "FormSettingsJson.h"
#include "ListText.h"
#include "NamedScaleFile.h"

namespace trv::config {
namespace {

using Action = ConfigureRequest::Action;
using Places = std::vector<std::unique_ptr<ConfigurationPlace>>;

void List(const Places& places, std::ostream& out) {
  for (const auto& place : places) {
    for (const std::string& line : place->Describe()) out << line << '\n';
  }
  out.flush();
}

// The sites the last run wrote, as the places record them.
std::vector<std::string> PreviousSites(const Places& places) {
  std::vector<std::string> sites;
  for (const auto& place : places) {
    for (const std::string& site : place->RecordedSites()) {
      if (std::find(sites.begin(), sites.end(), site) == sites.end()) sites.push_back(site);
    }
  }
  return sites;
}

// Puts back the first `count` places, the last written first.
void RestoreFirst(const Places& places, size_t count, std::ostream& err) {
  while (count > 0) {
    --count;
    try {
      places[count]->Restore();
    } catch (const std::exception& e) {
      err << "travinel configurar: não foi possível restaurar: " << e.what() << std::endl;
    }
  }
}

// Saves and changes every place in turn; after a failure the places already touched get their
// old content back.
bool ChangeAll(const ConfigureRequest& request, const Places& places, std::ostream& err) {
  const std::vector<std::string> previous = PreviousSites(places);
  size_t saved = 0;
  try {
    for (const auto& place : places) {
      place->Save();
      ++saved;
      if (request.action == Action::Write) {
        place->Apply(request.configuration, previous);
      } else {
        place->Remove(previous);
      }
    }
    return true;
  } catch (const std::exception& e) {
    err << "travinel configurar: " << e.what() << std::endl;
    RestoreFirst(places, saved, err);
    err << "travinel configurar: nada foi alterado (a configuração anterior continua valendo)"
        << std::endl;
    return false;
  }
}

// --balanca and --remover-balanca: one scale of the service's file, which the service reads when
// it starts.
int ChangeScale(const ConfigureRequest& request, std::ostream& out, std::ostream& err) {
  const std::string path = ConfigurationPlaces::ServiceFilePath(request.root);
  if (request.action == Action::SetScale) {
    NamedScaleFile::Set(path, request.scaleName, request.scale);
    out << "Balança " << request.scaleName << " gravada em " << path << ": "
        << FormSettingsJson::Write(request.scale).dump()
        << "\nReinicie o serviço para que ele a use." << std::endl;
    return cli::kExitOk;
  }
  if (!NamedScaleFile::Remove(path, request.scaleName)) {
    err << "travinel configurar: não há balança " << request.scaleName << " em " << path
        << std::endl;
    return cli::kExitFailure;
  }
  out << "Balança " << request.scaleName << " removida de " << path
      << "\nReinicie o serviço para que ele deixe de usá-la." << std::endl;
  return cli::kExitOk;
}

}  // namespace

int ConfigureCommand::Run(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err) {
  ConfigureRequest request;
  std::string error;
  if (!ConfigureOptions::Parse(args, request, error)) {
    err << "travinel configurar: " << error << "\nVeja 'travinel configurar --help'." << std::endl;
    return cli::kExitUsage;
  }
  if (request.action == Action::Help) {
    out << Usage();
    return cli::kExitOk;
  }
  const Places places = ConfigurationPlaces::Make(request.root, request.browsers);
  return Execute(request, places, out, err);
}

int ConfigureCommand::Execute(const ConfigureRequest& request, const Places& places,
                              std::ostream& out, std::ostream& err) {
  try {
    if (request.action == Action::List) {
      List(places, out);
      return cli::kExitOk;
    }
    if (request.action == Action::SetScale || request.action == Action::RemoveScale) {
      return ChangeScale(request, out, err);
    }
    if (!ChangeAll(request, places, err)) return cli::kExitFailure;
    if (request.action == Action::Write) {
      out << "Configuração gravada: " << ListText::Join(request.configuration.sites, "")
          << std::endl;
    } else {
      out << "Configuração removida" << std::endl;
    }
    return cli::kExitOk;
  } catch (const std::exception& e) {
    err << "travinel configurar: " << e.what() << std::endl;
    return cli::kExitFailure;
  }
}

std::string ConfigureCommand::Usage() {
  return R"(uso: travinel configurar [opções]
Grava de uma vez a lista de sites que podem usar a balança, nos lugares que a leem:
  - o arquivo de configuração do serviço local (travinel servir): /etc/travinel/servir.json no
    Linux, %ProgramData%\Travinel\servir.json no Windows;
  - no Windows, a lista do controle: HKLM\SOFTWARE\Dornavel\Travinel, valor SitesPermitidos, nas
    visões de 32 e de 64 bits do registro;
  - as políticas do Chrome e do Edge (LoopbackNetworkAllowedForUrls e
    LocalNetworkAccessAllowedForUrls), para que a página do site alcance o serviço local sem
    pedir permissão: no Linux, o arquivo travinel.json em /etc/opt/chrome/policies/managed,
    /etc/chromium/policies/managed e /etc/opt/edge/policies/managed; no Windows, as listas em
    HKLM\SOFTWARE\Policies\Google\Chrome e HKLM\SOFTWARE\Policies\Microsoft\Edge, onde as
    entradas de outros donos ficam como estão.
Sem opções, mostra o que está configurado agora nesses lugares. Precisa de administrador (root).

  --sites LISTA        os sites, separados por ';': origens exatas (https://pdv.loja.example,
                       http://caixa:8080) ou https://*.loja.example (os nomes abaixo de
                       loja.example). Nas políticas, https://*.loja.example vira
                       https://[*.]loja.example, e a porta padrão some.
  --portas LISTA       as únicas portas seriais que as páginas podem usar, separadas por ','
                       (1 para COM1, ou um caminho como /dev/ttyUSB0); sem ela, todas
  --escuta END:PORTA   onde o serviço escuta, neste computador; sem ela, 127.0.0.1:8470
  --sem-politicas      não mexe nas políticas dos navegadores (aceita então sites file://)
  --remover            tira exatamente o que foi gravado: a lista do controle, as entradas das
                       políticas e os sites, portas e endereço do arquivo do serviço
  --raiz PASTA         (Linux, testes) grava tudo abaixo de PASTA em vez de /
  --help, -h           este texto

Balanças com nome, no arquivo do serviço: as páginas pedem {"balanca": "caixa"} sem saber a
porta. Cada uma vai sozinha, sem --sites, e o resto do arquivo fica como está; o serviço as lê
ao iniciar.
  --balanca NOME       grava (ou substitui) a balança NOME: de 1 a 32 letras sem acento,
                       dígitos, '-' ou '_'. Com as opções de travinel ler: --porta (obrigatória;
                       1 ou COM3, um caminho como /dev/ttyUSB0, ou a identidade de um adaptador
                       USB, usb:VID:PID:SERIE, achada na porta onde estiver ligado), --modelo
                       (obrigatória, 1 a 7 ou o nome), --vel, --bits, --paridade, --parada,
                       --handshake, --unidade, --decimais (ou --Por_Bal, --Mod_Bal, ...)
  --remover-balanca NOME  tira a balança NOME

Cada execução grava a configuração inteira: --portas e --escuta omitidas voltam ao padrão.
Um site inválido é recusado sem gravar nada; uma falha no meio do caminho devolve a
configuração anterior a todos os lugares.

Saída: 0 feito; 1 falha ao gravar (nada alterado); 2 opção ou valor inválido.

Exemplos:
  travinel configurar --sites "https://*.loja.example;https://pdv.example" --portas 1,3
  travinel configurar
  travinel configurar --remover
  travinel configurar --balanca caixa --porta COM3 --modelo 2
  travinel configurar --remover-balanca caixa
)";
}

}  // namespace trv::config
