// The control driven from JScript with the language's own argument types.
// Results go to the file named by the first argument.
var failures = 0;
var log = new ActiveXObject("Scripting.FileSystemObject").CreateTextFile(WScript.Arguments(0), true);
function check(condition, what) {
    log.WriteLine((condition ? "ok: " : "FAIL: ") + what);
    if (!condition) failures++;
}

var c = new ActiveXObject("TESRA.TesraCtrl.1");
check(c.ShowMemoDlg === false, "ShowMemoDlg starts false");
c.ShowMemoDlg = true;
check(c.ShowMemoDlg === true, "ShowMemoDlg reads back true");
c.ShowMemoDlg = 0;
check(c.ShowMemoDlg === false, "a number 0 sets it false");

check(c.FtpConnection("memo.example", 21, "kim@example.com", "pw") === true, "FtpConnection");
check(c.FtpConnection("memo.example", 21.0, "kim@example.com", "pw") === true, "FtpConnection with a double port");
check(c.ChageFtpConnection("memo.example", 80, "lee@example.com", "pw") === undefined, "ChageFtpConnection returns nothing");
check(c.ReceiveMemoData("a memo") === false, "ReceiveMemoData is false before loading");
check(c.IsMemoFileExists("nobody") === false, "IsMemoFileExists of a missing folder");
check(c.IsMemoFileExists("a/b") === false, "IsMemoFileExists refuses a path");

var threw = false;
try { c.FtpConnection("memo.example", {}, "kim@example.com", "pw"); } catch (e) { threw = true; }
check(threw, "an object for the port is refused");

c = null;
log.WriteLine("done");
log.Close();
WScript.Quit(failures);
