' Creates the control by its ProgID, sets a property and reads it back: what any host of this
' bitness does first. Prints "Porta=3", or the error that stopped it.
On Error Resume Next
Set control = CreateObject("Dornavel.FfrmActivexForm")
If Err.Number <> 0 Then
  WScript.Echo "error " & Err.Number & ": " & Err.Description
  WScript.Quit 1
End If
control.Porta = 3
WScript.Echo "Porta=" & control.Porta
