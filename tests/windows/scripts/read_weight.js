// Reads one weight through Dornavel.FfrmActivexForm, as a point-of-sale script would.
//   cscript //nologo read_weight.js MODEL PORT
// Prints PesoLido=<weight>, then the error of a failing call (errors are caught here: an
// uncaught one would end the script silently).
var model = parseInt(WScript.Arguments(0), 10);
var port = parseInt(WScript.Arguments(1), 10);
var control;
try {
  control = new ActiveXObject("Dornavel.FfrmActivexForm");
} catch (e) {
  WScript.Echo("CreateError=" + e.description);
  WScript.Quit(1);
}

try {
  control.Porta = port;
  control.Mod_Bal = model;
  control.Bit_Bal = 8;
  control.Vel_Bal = 9600;
  control.Usr_Bal = 1;
  control.LerPeso();
} catch (e) {
  WScript.Echo("ReadError=" + e.description);
}
WScript.Echo("PesoLido=" + control.PesoLido);
control.Usr_Bal = 0;

// A property put with a value of the wrong type.
try {
  control.Porta = "not a number";
  WScript.Echo("TypeError=");
} catch (e) {
  WScript.Echo("TypeError=" + ((e.number >>> 0).toString(16)).toUpperCase());
}
