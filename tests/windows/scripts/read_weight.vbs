' Reads one weight through Dornavel.FfrmActivexForm, as a point-of-sale script would.
'   cscript //nologo read_weight.vbs MODEL PORT
' Prints PesoLido=<weight>, then the errors of two failing calls (errors are caught here:
' an uncaught one would end the script silently).
Option Explicit
Dim control, model, port
model = CLng(WScript.Arguments(0))
port = CLng(WScript.Arguments(1))

On Error Resume Next
Set control = CreateObject("Dornavel.FfrmActivexForm")
If Err.Number <> 0 Then
  WScript.Echo "CreateError=" & Err.Description
  WScript.Quit 1
End If

control.Porta = port
control.Mod_Bal = model
control.Bit_Bal = 8
control.Vel_Bal = 9600
control.Usr_Bal = 1
control.LerPeso
If Err.Number <> 0 Then WScript.Echo "ReadError=" & Err.Description
Err.Clear
WScript.Echo "PesoLido=" & CStr(control.PesoLido)
control.Usr_Bal = 0

' A font that is not an OLE font: the control's own error description.
Err.Clear
Set control.Font = Nothing
WScript.Echo "FontError=" & Err.Description

' A property put with a value of the wrong type.
Err.Clear
control.Porta = "not a number"
WScript.Echo "TypeError=" & Err.Description
