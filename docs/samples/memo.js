// The control from JScript. Run: cscript //nologo memo.js (the 32-bit
// cscript for the 32-bit control).
var tesra = new ActiveXObject("TESRA.TesraCtrl.1");

// false until the host shows the memos.
if (tesra.ShowMemoDlg) WScript.Quit(1);

// Whether this computer keeps memo files of a user (before the "@").
var kept = tesra.IsMemoFileExists("kim");

// Stores the connection values and signs in; always true.
if (!tesra.FtpConnection("ftp.example.com", 21, "kim@example.com", "secret")) WScript.Quit(1);

// ChageFtpConnection only stores them and returns nothing.
tesra.ChageFtpConnection("ftp.example.com", 21, "kim@example.com", "secret");

tesra = null;
CollectGarbage();
WScript.Quit(0);
