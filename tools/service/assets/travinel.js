// travinel.js: the scale on this computer, through the local Travinel service (travinel servir),
// with the names of the Travinel control. An ES module, no build step:
//
//   import { Travinel } from "http://127.0.0.1:8470/travinel.js";
//   const balanca = new Travinel();          // the service at http://127.0.0.1:8470
//   balanca.Porta = 1; balanca.Mod_Bal = 1;   // as the control's properties
//   await balanca.LerPeso();                  // one reading, as the control's LerPeso
//   console.log(balanca.PesoLido);
//   balanca.onstatus = (status, peso) => ...; // every status the form shows
//   balanca.Usr_Bal = 1;                      // listen (the scale stays enabled); 0 stops
//
// A page of another origin must be on the service's list (travinel servir --origem URL).

const FIELDS = ["Porta", "Mod_Bal", "Vel_Bal", "Bit_Bal", "Par_Bal", "Stp_Bal", "Hnd_Bal",
                "Uni_Bal", "Dec_Bal"];

export class Travinel {
  constructor(servico = "http://127.0.0.1:8470") {
    this.servico = servico.replace(/\/$/, "");
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

  async LerPeso() {
    const resposta = await fetch(`${this.servico}/v1/ler`, {
      method: "POST",
      headers: { "Content-Type": "application/json" },
      body: JSON.stringify(this._configuracao()),
    });
    const corpo = await resposta.json();
    if (!resposta.ok) throw new Error(corpo.erro || `HTTP ${resposta.status}`);
    this.PesoLido = corpo.PesoLido;
    this.mensagem = corpo.mensagem;
    this._mostrar(corpo.status);
    return this.PesoLido;
  }

  _configuracao() {
    const configuracao = {};
    for (const campo of FIELDS) configuracao[campo] = this[campo];
    return configuracao;
  }

  _ouvirEventos() {
    const consulta = new URLSearchParams(this._configuracao());
    this._eventos = new EventSource(`${this.servico}/v1/eventos?${consulta}`);
    this._eventos.onmessage = (mensagem) => {
      const evento = JSON.parse(mensagem.data);
      this.PesoLido = evento.PesoLido;
      this._mostrar(evento.status);
    };
    // A refusal (this page's origin is not on the service's list) or no service at all: the
    // browser gives up on the stream; a dropped connection it retries by itself.
    this._eventos.onerror = () => {
      if (this._eventos && this._eventos.readyState === EventSource.CLOSED) {
        this._mostrar("Serviço da balança indisponível em " + this.servico);
      }
    };
  }

  _pararEventos() {
    if (this._eventos) this._eventos.close();
    this._eventos = null;
  }

  _mostrar(status) {
    this.status = status;
    if (typeof this.onstatus === "function") this.onstatus(status, this.PesoLido);
  }
}

export default Travinel;
