' The control driven from VBScript with the language's own argument types.
' Results go to the file named by the first argument: Wine's cscript has
' no console output when piped.
Option Explicit
Dim failures : failures = 0
Dim log : Set log = CreateObject("Scripting.FileSystemObject").CreateTextFile(WScript.Arguments(0), True)
Sub Check(condition, what)
    If condition Then
        log.WriteLine "ok: " & what
    Else
        log.WriteLine "FAIL: " & what
        failures = failures + 1
    End If
End Sub

Dim c
Set c = CreateObject("TESRA.TesraCtrl.1")
Check TypeName(c) = "_DTesra", "created by ProgID, typed by its dispatch interface"
Check c.ShowMemoDlg = False, "ShowMemoDlg starts false"
c.ShowMemoDlg = True
Check c.ShowMemoDlg = True, "ShowMemoDlg reads back true"
c.ShowMemoDlg = 0
Check c.ShowMemoDlg = False, "an Integer 0 sets it false"

Dim port : port = CInt(21)
Check c.FtpConnection("memo.example", port, "kim@example.com", "pw") = True, "FtpConnection with an Integer port"
Check c.FtpConnection("memo.example", CLng(70000), "kim@example.com", "pw") = True, "FtpConnection with a Long port"
c.ChageFtpConnection "memo.example", 80, "lee@example.com", "pw"
Check IsEmpty(c.ChageFtpConnection("memo.example", 80, "lee@example.com", "pw")), "ChageFtpConnection returns nothing"

Dim text : text = "a memo"
Check c.ReceiveMemoData(text) = False, "ReceiveMemoData by reference is false before loading"
Check c.ReceiveMemoData("literal") = False, "ReceiveMemoData by value is false before loading"
Check c.IsMemoFileExists("nobody") = False, "IsMemoFileExists of a missing folder"
Check c.IsMemoFileExists("..\..") = False, "IsMemoFileExists refuses a path"

On Error Resume Next
c.FtpConnection "memo.example", "not a number", "kim@example.com", "pw"
Check Err.Number <> 0, "a port that is no number is a type mismatch"
Err.Clear
On Error GoTo 0

Set c = Nothing
log.WriteLine "done"
log.Close
WScript.Quit failures
