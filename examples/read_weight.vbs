' Reads one weight through the Travinel control, as a point-of-sale script would.
'   cscript //nologo read_weight.vbs PORT MODEL      PORT: 1 for COM1; MODEL: 1 Filizola to 7 Digitron
Option Explicit
Dim balanca
Set balanca = CreateObject("Dornavel.FfrmActivexForm")
balanca.Porta = CLng(WScript.Arguments(0))
balanca.Mod_Bal = CLng(WScript.Arguments(1))
balanca.Bit_Bal = 8
balanca.Vel_Bal = 9600
balanca.Usr_Bal = 1          ' enables the scale: opens and configures the port

On Error Resume Next
balanca.LerPeso
If Err.Number <> 0 Then
  WScript.Echo "Erro: " & Err.Description
Else
  WScript.Echo "PesoLido=" & CStr(balanca.PesoLido)   ' grams (kilograms with Uni_Bal = 1)
End If
On Error GoTo 0
balanca.Usr_Bal = 0
