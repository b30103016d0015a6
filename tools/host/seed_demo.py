#!/usr/bin/env python3
"""Gives the stand-in memo server a demo user with a few memos.

Usage: seed_demo.py HOST:PORT USER PASSWORD
The memos: Korean and English text, one folded, one whose alarm is due."""

import sys
import time
import urllib.parse
import urllib.request


def post(host, path, fields, cookie=""):
    body = "&".join(k + "=" + urllib.parse.quote_from_bytes(v if isinstance(v, bytes) else str(v).encode("cp949"), safe="")
                    for k, v in fields)
    req = urllib.request.Request("http://%s%s" % (host, path), data=body.encode("ascii"), method="POST")
    if cookie:
        req.add_header("Cookie", cookie)
    with urllib.request.urlopen(req, timeout=10) as reply:
        return reply.read().decode("latin-1")


def main():
    host, user, password = sys.argv[1:4]
    post(host, "/admin/user", [("id", user), ("pw", password), ("group", 1)])
    sid = post(host, "/admin/session", [("id", user)]).strip().split("=", 1)[1]
    cookie = "QUILLMAR_SID=%s; QUILLMAR_EMAIL_SID=%s" % (sid, sid)
    font = "0 -12 0 0 0 400 0 0 129 3 2 1 1 \xb1\xbc\xb8\xb2\xc3\xbc"  # 굴림체 as CP949 bytes
    post(host, "/AUTH/setmemouser.cgi",
         [("cmd", "set"), ("showdlg", 0), ("defbg", 0), ("defcx", 200), ("defcy", 210), ("deffont", font.encode("latin-1"))], cookie)
    now = int(time.time())
    memos = [
        # muid, title, text, bg, pos, min, alarm
        (now - 500, "할 일", "할 일\r\n- 회의 자료 정리\r\n- 점심 약속 12시\r\n- 우체국 들르기", 1, "4.00 6.00 24.00 36.00", 0, 0),
        (now - 400, "장보기", "장보기\r\n우유, 계란, 사과\r\n두부 한 모", 3, "28.00 6.00 48.00 32.00", 0, 0),
        (now - 300, "접어 둔 메모", "접어 둔 메모입니다.\r\n두 번 누르면 펼쳐집니다.", 5, "52.00 6.00 72.00 30.00", 1, 0),
        (now - 200, "알람", "3시 팀 회의\r\n회의실 B", 6, "28.00 42.00 50.00 72.00", 0, now - 120),
        (now - 100, "Shopping", "A memo in English\r\nbread, milk", 0, "4.00 42.00 24.00 68.00", 0, 0),
    ]
    for muid, title, text, bg, pos, folded, alarm in memos:
        data = text.encode("cp949")
        ver = "%d:%d" % (len(data), muid)
        post(host, "/AUTH/setmemo.cgi",
             [("cmd", "setmemo"), ("mgrp", 2), ("muid", muid), ("ver", ver), ("title", title.encode("cp949")),
              ("font", font.encode("latin-1")), ("pos", pos), ("alarm", alarm), ("bg", bg), ("min", folded),
              ("gm_data", data)], cookie)
    print("seeded %d memos for %s" % (len(memos), user))


if __name__ == "__main__":
    main()
