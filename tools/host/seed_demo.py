#!/usr/bin/env python3
"""Gives the stand-in memo server a demo user whose memos show the range of
the product, and puts a memo on the FTP server for the host to hand over.

Usage: seed_demo.py HOST:PORT USER PASSWORD [FTP_ROOT RECEIVED_NAME]
The memos: Korean and English text in several colours and fonts, one folded,
one with a title of its own, one whose alarm rings a minute from now. Placed
on the left and top of the screen: the host's panel stands bottom right."""

import os
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


def font(face, height=-12, weight=400, italic=0, colour=0, charset=129, pitch=1):
    """The memo index's font string: text colour, then the LOGFONT fields without underline."""
    return "%d %d 0 0 0 %d %d 0 %d 3 2 1 %d %s" % (colour, height, weight, italic, charset, pitch, face)


GULIM, GULIMCHE = "굴림", "굴림체"
BLUE, RED, GREEN = 0xA04000, 0x2020C0, 0x206020  # COLORREF: 0x00BBGGRR

RECEIVED = "김 과장님이 보낸 메모\r\n내일 10시 회의 자료를 부탁드립니다.\r\nThanks!"


def main():
    host, user, password = sys.argv[1:4]
    post(host, "/admin/user", [("id", user), ("pw", password), ("group", 1)])
    sid = post(host, "/admin/session", [("id", user)]).strip().split("=", 1)[1]
    cookie = "QUILLMAR_SID=%s; QUILLMAR_EMAIL_SID=%s" % (sid, sid)
    post(host, "/AUTH/setmemouser.cgi",
         [("cmd", "set"), ("showdlg", 0), ("defbg", 0), ("defcx", 200), ("defcy", 210), ("deffont", font(GULIMCHE))],
         cookie)
    now = int(time.time())
    memos = [
        # title ("" = the first line, as the control would make it), text, bg, font, pos, folded, alarm
        ("", "할 일\r\n- 회의 자료 정리\r\n- 점심 약속 12시\r\n- 우체국 들르기", 0, font(GULIM), "2.00 4.00 22.00 34.00", 0, 0),
        ("", "Shopping list\r\nbread, milk, eggs\r\n2 apples\r\ncoffee beans", 8, font(GULIMCHE, -13, colour=BLUE),
         "24.00 4.00 44.00 30.00", 0, 0),
        ("주간 보고", "금요일까지 보고서 초안\r\n- 매출 표 갱신\r\n- 다음 주 일정", 2, font(GULIM, -13, weight=700, colour=GREEN),
         "46.00 4.00 68.00 32.00", 0, 0),
        ("", "접은 메모\r\n펼치면 이 글이 보입니다.", 5, font(GULIM), "72.00 5.00 92.00 30.00", 1, 0),
        ("", "3시 팀 회의\r\n회의실 B, 노트북 지참\r\n(알람: 1분 뒤)", 6, font(GULIM, -15, weight=700, colour=RED),
         "2.00 40.00 24.00 70.00", 0, now + 60),
        ("", "Meeting notes / 회의록\r\nRelease 2.1 on Monday\r\n배포는 월요일 오전", 7,
         font(GULIMCHE, -12, italic=1), "26.00 40.00 50.00 66.00", 0, 0),
        ("", "전화번호\r\n고객센터 1588-0000\r\nhttp://127.0.0.1/", 3, font(GULIM, -11), "2.00 74.00 22.00 94.00", 0, 0),
    ]
    for n, (title, text, bg, face, pos, folded, alarm) in enumerate(memos):
        data = text.encode("cp949")
        muid = now - 1000 + n * 10
        title = title or text.split("\r\n", 1)[0]
        post(host, "/AUTH/setmemo.cgi",
             [("cmd", "setmemo"), ("mgrp", 2), ("muid", muid), ("ver", "%d:%d" % (len(data), muid)), ("title", title),
              ("font", face), ("pos", pos), ("alarm", alarm), ("bg", bg), ("min", folded), ("gm_data", data)], cookie)
    print("seeded %d memos for %s" % (len(memos), user))
    if len(sys.argv) > 5:
        root, name = sys.argv[4:6]
        os.makedirs(os.path.join(root, "Tesra"), exist_ok=True)
        with open(os.path.join(root, "Tesra", name), "wb") as f:
            f.write(RECEIVED.encode("cp949"))


if __name__ == "__main__":
    main()
