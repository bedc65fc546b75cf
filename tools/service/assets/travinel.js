// travinel.js: the scale on this computer, through the local Travinel service (travinel servir),
// with the names of the Travinel control. An ES module, no build step:
//
//   import { Travinel } from "http://127.0.0.1:8470/travinel.js";
//   const balanca = new Travinel();          // the service at http://127.0.0.1:8470
//   balanca.Porta = 1; balanca.Mod_Bal = 1;   // as the control's properties
//   try {
//     await balanca.LerPeso();                // one reading, as the control's LerPeso
//     console.log(balanca.PesoLido);          // a weight: LerPeso rejects for anything else
//   } catch (erro) {
//     console.log(erro.message, erro.estado); // "sem_resposta", "instavel", ...
//   }
//   balanca.onstatus = (status, peso, evento) => ...; // every status the form shows; the
//                                             // weight is one only when evento.ok is true
//   balanca.Usr_Bal = 1;                      // listen (the scale stays enabled); 0 stops
//
// A scale the shop's IT named (travinel configurar --balanca caixa ...) needs no port or model:
//   const caixa = new Travinel({ balanca: "caixa" });   // also { balanca, servico }
//   await caixa.LerPeso();                    // the service reads it with IT's settings
//
// Besides a reading's estados, the events say what happens to the scale meanwhile, and the
// service acts on it by itself, with nothing for the page to do:
//   "pronta"        the scale is being enabled ("Aguarde...", "Balança Pronta");
//   "reativando"    it was lost (a reading error) and will be enabled again in a few seconds;
//   "desconectada"  its device vanished (a USB adapter unplugged): sent once, then the service
//                   looks for it every few seconds;
//   "reconectada"   the device is back and the scale enabled again: readings follow.
//
// A page of another origin must be on the service's list (travinel servir --origem URL). When
// the service cannot be reached, the Error says why, with `causa`:
//   "rede_local_bloqueada"  the browser refused this page access to the local network (Chrome
//                           and Edge ask the user first; IT can allow the site by policy);
//   "servico_indisponivel"  nothing answers: the service is not running on this computer.

const FIELDS = ["Porta", "Mod_Bal", "Vel_Bal", "Bit_Bal", "Par_Bal", "Stp_Bal", "Hnd_Bal",
                "Uni_Bal", "Dec_Bal"];

// The names Chrome and Edge give the permission to reach this computer from a page.
const PERMISSOES_DE_REDE_LOCAL = ["loopback-network", "local-network-access"];

// "denied", "granted", "prompt", or null when the browser knows no such permission.
async function permissaoDeRedeLocal() {
  if (!navigator.permissions || !navigator.permissions.query) return null;
  for (const nome of PERMISSOES_DE_REDE_LOCAL) {
    try {
      return (await navigator.permissions.query({ name: nome })).state;
    } catch (erro) {
      // Not a name this browser knows: try the next one.
    }
  }
  return null;
}

// The Error for a service that could not be reached: refused by the browser, or not running.
export async function explicarFalhaDeConexao(servico) {
  const permissao = await permissaoDeRedeLocal();
  if (permissao === "denied") {
    const erro = new Error(
      "O navegador bloqueou o acesso desta página à balança (rede local, " + servico + "). " +
      "Permita o \"Acesso à rede local\" para este site nas configurações do site (o ícone à " +
      "esquerda do endereço) e recarregue a página, ou peça ao TI da loja que inclua o site na " +
      "política LoopbackNetworkAllowedForUrls do Chrome ou do Edge.");
    erro.causa = "rede_local_bloqueada";
    return erro;
  }
  const erro = new Error(
    "O serviço da balança não responde em " + servico + ". Verifique se o Travinel " +
    "(travinel servir) está instalado e em execução neste computador e tente de novo.");
  erro.causa = "servico_indisponivel";
  return erro;
}

export class Travinel {
  // The service's address, or { balanca, servico }: a scale named in the service's
  // configuration, whose port and settings the service knows.
  constructor(opcoes = "http://127.0.0.1:8470") {
    const { servico = "http://127.0.0.1:8470", balanca = null } =
      typeof opcoes === "string" ? { servico: opcoes } : opcoes || {};
    this.servico = servico.replace(/\/$/, "");
    // The named scale; while it is set, its name goes instead of Porta, Mod_Bal, ...
    this.balanca = balanca;
    this.Porta = 1;
    this.Mod_Bal = 0;
    this.Vel_Bal = 9600;
    this.Bit_Bal = 8;
    this.Par_Bal = 0;
    this.Stp_Bal = 0;
    this.Hnd_Bal = 0;
    this.Uni_Bal = 0;
    this.Dec_Bal = 0;
    this.PesoLido = 0;
    this.status = "";
    // The text of the message box the form showed at the last reading, or null.
    this.mensagem = null;
    // What the last reading or event gave: "peso", "vazia", "instavel", ..., "desconectada"
    // (see the README).
    this.estado = null;
    this.onstatus = null;
    this._usr = 0;
    this._eventos = null;
  }

  get Usr_Bal() {
    return this._usr;
  }

  set Usr_Bal(valor) {
    this._usr = Number(valor) === 1 ? 1 : 0;
    this._pararEventos();
    if (this._usr === 1) this._ouvirEventos();
  }

  // Resolves with the weight; rejects with an Error whose `estado` says what the scale gave
  // instead ("sem_resposta", "instavel", "porta_indisponivel", ...), or whose `causa` says why
  // the service could not be reached.
  async LerPeso() {
    let resposta;
    try {
      resposta = await fetch(`${this.servico}/v1/ler`, {
        method: "POST",
        headers: { "Content-Type": "application/json" },
        body: JSON.stringify(this._configuracao()),
      });
    } catch (falha) {
      throw await explicarFalhaDeConexao(this.servico);
    }
    const corpo = await resposta.json();
    if (!resposta.ok) {
      const erro = new Error(corpo.erro || `HTTP ${resposta.status}`);
      erro.httpStatus = resposta.status;
      // A named scale whose adapter is not connected: "porta_indisponivel".
      if (corpo.estado) erro.estado = corpo.estado;
      throw erro;
    }
    this.PesoLido = corpo.PesoLido;
    this.mensagem = corpo.mensagem;
    this.estado = corpo.estado;
    this._mostrar(corpo);
    if (!corpo.ok) {
      const erro = new Error(corpo.mensagem || corpo.status);
      erro.estado = corpo.estado;
      erro.resposta = corpo;
      throw erro;
    }
    return this.PesoLido;
  }

  _configuracao() {
    if (this.balanca) return { balanca: this.balanca };
    const configuracao = {};
    for (const campo of FIELDS) configuracao[campo] = this[campo];
    return configuracao;
  }

  _ouvirEventos() {
    const consulta = new URLSearchParams(this._configuracao());
    const eventos = new EventSource(`${this.servico}/v1/eventos?${consulta}`);
    this._eventos = eventos;
    eventos.onmessage = (mensagem) => {
      const evento = JSON.parse(mensagem.data);
      this.PesoLido = evento.PesoLido;
      this.estado = evento.estado;
      this._mostrar(evento);
    };
    // A refusal (this page's origin is not on the service's list, a port that is no serial
    // port), the browser's own refusal, or no service at all: the browser gives up on the
    // stream; a dropped connection it retries by itself.
    eventos.onerror = async () => {
      if (eventos.readyState !== EventSource.CLOSED || this._eventos !== eventos) return;
      const erro = await explicarFalhaDeConexao(this.servico);
      if (this._eventos !== eventos) return;
      this._mostrar({ status: erro.message, PesoLido: this.PesoLido, ok: false,
                      estado: null, causa: erro.causa });
    };
  }

  _pararEventos() {
    if (this._eventos) this._eventos.close();
    this._eventos = null;
  }

  _mostrar(evento) {
    this.status = evento.status;
    if (typeof this.onstatus === "function") this.onstatus(evento.status, this.PesoLido, evento);
  }
}

export default Travinel;
