// Reads one weight through the Travinel control, as a point-of-sale script would.
//   cscript //nologo read_weight.js PORT MODEL      PORT: 1 for COM1; MODEL: 1 Filizola to 7 Digitron
var balanca = new ActiveXObject("Dornavel.FfrmActivexForm");
balanca.Porta = parseInt(WScript.Arguments(0), 10);
balanca.Mod_Bal = parseInt(WScript.Arguments(1), 10);
balanca.Bit_Bal = 8;
balanca.Vel_Bal = 9600;
balanca.Usr_Bal = 1;  // enables the scale: opens and configures the port
try {
  balanca.LerPeso();
  WScript.Echo("PesoLido=" + balanca.PesoLido);  // grams (kilograms with Uni_Bal = 1)
} catch (e) {
  WScript.Echo("Erro: " + e.description);
}
balanca.Usr_Bal = 0;
