// Drives the HTTP and FTP clients against real servers that real_peers.py
// starts on loopback. Run in the folder the script prepared; prints one
// line per check and exits non-zero when any failed.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/fs.h"
#include "net/ftp_client.h"
#include "net/http_client.h"

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    if (!ok) ++failures;
}

std::string FileBytes(const std::string& path) {
    std::string bytes;
    return tesra::fs::ReadFile(path, &bytes) ? bytes : std::string("<missing>");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tesra;
    if (argc != 3) {
        std::fprintf(stderr, "usage: net_peer_driver HTTP_PORT FTP_PORT\n");
        return 2;
    }
    const std::string http = std::string("http://127.0.0.1:") + argv[1];
    const int ftpPort = std::atoi(argv[2]);

    CHttpClient client;
    client.m_nIoSecs = 10;
    client.m_nPostRounds = 100;
    client.Get(http + "/static.txt");
    Check(client.m_transport == HttpTransport::kCompleted, "GET of a static file completes");
    Check(client.m_strBody == FileBytes(fs::JoinPath("www", "static.txt")), "GET body is the file");
    Check(client.m_strHeaders.rfind("HTTP/1.0 200", 0) == 0, "GET status line " + client.m_strHeaders.substr(0, 15));

    client.Post(http + "/cgi-bin/echo.py", "id=kim&memo=%B8%DE%B8%F0");
    Check(client.m_transport == HttpTransport::kCompleted, "POST to a CGI script completes");
    Check(client.m_strBody == "[OK]\nlength=24\nbody=id=kim&memo=%B8%DE%B8%F0\ncookie=\n", "POST body: " + client.m_strBody);
    Check(client.m_strCookie == "SID=s1; EMAIL_SID=e1; ", "cookies collected: " + client.m_strCookie);

    client.Post(http + "/cgi-bin/echo.py", "x=1");
    Check(client.m_strBody.find("cookie=SID=s1; EMAIL_SID=e1;") != std::string::npos, "POST carries the cookie");
    client.Get(http + "/cgi-bin/echo.py?q=1");
    Check(client.m_strBody.find("cookie=SID=s1; EMAIL_SID=e1;") != std::string::npos, "GET carries the cookie");
    client.Get(http + "/missing.txt");
    Check(client.m_transport == HttpTransport::kCompleted && client.m_strHeaders.rfind("HTTP/1.0 404", 0) == 0,
          "a 404 is an answer like any other");

    const std::string remote = FileBytes(fs::JoinPath(fs::JoinPath("ftp", "Tesra"), "memo7.dat"));
    CFtpClient ftp;
    ftp.m_nTimeoutMs = 10000;
    int r = ftp.LogOn("127.0.0.1", ftpPort, "tesra", "secret", "", "", "", "", 21, 0);
    Check(r == 1, "FTP logon type 0: " + ftp.m_strLastReply);
    r = ftp.TransferFile("/Tesra/memo7.dat", "passive.dat", 1, 1);
    Check(r == 1, "passive download: " + ftp.m_strLastReply);
    Check(FileBytes("passive.dat") == remote, "passive download bytes");
    r = ftp.TransferFile("/Tesra/memo7.dat", "active.dat", 0, 1);
    Check(r == 1, "active download: " + ftp.m_strLastReply);
    Check(FileBytes("active.dat") == remote, "active download bytes");
    r = ftp.TransferFile("/Tesra/uploaded.dat", "passive.dat", 1, 0);
    Check(r == 1, "upload: " + ftp.m_strLastReply);
    Check(FileBytes(fs::JoinPath(fs::JoinPath("ftp", "Tesra"), "uploaded.dat")) == remote, "uploaded bytes");
    r = ftp.TransferFile("/Tesra/none.dat", "none.dat", 1, 1);
    Check(r == 0 && ftp.m_strLastReply.rfind("550", 0) == 0, "a missing remote file: " + ftp.m_strLastReply);
    Check(!fs::Stat("none.dat"), "no local file for a failed download");
    ftp.LogOff();

    CFtpClient wrong;
    wrong.m_nTimeoutMs = 10000;
    r = wrong.LogOn("127.0.0.1", ftpPort, "tesra", "wrong", "", "", "", "", 21, 0);
    Check(r == 0 && wrong.m_strLastReply.rfind("530", 0) == 0, "wrong password: " + wrong.m_strLastReply);

    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
