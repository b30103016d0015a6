' The control from VBScript: created by its ProgID, driven with the
' language's own types. Run: cscript //nologo memo.vbs (the 32-bit cscript,
' in syswow64 on 64-bit Windows, for the 32-bit control).
Option Explicit
Dim tesra : Set tesra = CreateObject("TESRA.TesraCtrl.1")

' False until the host shows the memos; True signs in and opens them.
If tesra.ShowMemoDlg Then WScript.Quit 1

' Whether this computer keeps memo files of a user (before the "@").
Dim kept : kept = tesra.IsMemoFileExists("kim")

' The FTP server of received memos, its port, the user id and password:
' stored, with a sign-in through the login script. Always True.
If Not tesra.FtpConnection("ftp.example.com", 21, "kim@example.com", "secret") Then WScript.Quit 1

' Before the memos are shown there is nowhere to put a received text.
Dim text : text = "a memo from a friend"
If tesra.ReceiveMemoData(text) Then WScript.Quit 1

Set tesra = Nothing
WScript.Quit 0
