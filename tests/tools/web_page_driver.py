#!/usr/bin/env python3
"""Drives the stand-in memo server's web page in headless Chromium, through
chromedriver's WebDriver HTTP interface with nothing but the standard library.

Usage: web_page_driver.py CHROMEDRIVER CHROMIUM URL USER PASSWORD [STEP]...
  expect:MUID:TEXT   the memo's text area holds TEXT
  edit:MUID:TEXT     type TEXT over the memo's text and save; its stamp changes
  delete:MUID        delete the memo; it leaves the page
  shot:PATH          a PNG of the page
PASSWORD and TEXT are CP949, percent-encoded. Signs in with a wrong password
first (the page must say so), then with the right one. Prints "web page: ok"
and exits 0, or names the first step that failed and exits 1."""

import base64, json, os, signal, socket, subprocess, sys, tempfile, time
import urllib.error, urllib.parse, urllib.request

ELEMENT = "element-6066-11e4-a52e-4f735466cecf"


class Failed(Exception):
    pass


class Browser:
    def __init__(self, driver):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        self.base = "http://127.0.0.1:%d" % port
        # Its own process group: chromedriver and every browser process end together.
        self.proc = subprocess.Popen([driver, "--port=%d" % port, "--allowed-ips=127.0.0.1"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     start_new_session=True)

    def open(self, chromium, profile):
        for _ in range(100):
            try:
                if self.call("GET", "/status")["ready"]:
                    break
            except (OSError, ValueError):
                pass
            time.sleep(0.1)
        args = ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--user-data-dir=" + profile, "--window-size=1000,760", "--no-first-run", "--lang=ko",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                # Loopback only: every other name fails to resolve.
                "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1"]
        caps = {"browserName": "chrome", "pageLoadStrategy": "normal",
                "timeouts": {"pageLoad": 20000, "script": 5000, "implicit": 0},
                "goog:chromeOptions": {"binary": chromium, "args": args}}
        self.session = "/session/" + self.call("POST", "/session", {"capabilities": {"alwaysMatch": caps}})["sessionId"]

    def call(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data, {"Content-Type": "application/json"}, method=method)
        try:
            with urllib.request.urlopen(request, timeout=30) as reply:
                return json.load(reply)["value"]
        except urllib.error.HTTPError as e:
            raise Failed("%s %s: %s" % (method, path, e.read()[:300].decode(errors="replace")))

    def go(self, url):
        self.call("POST", self.session + "/url", {"url": url})

    def find(self, css):
        found = self.call("POST", self.session + "/elements", {"using": "css selector", "value": css})
        return [e[ELEMENT] for e in found]

    def one(self, css):
        found = self.find(css)
        if len(found) != 1:
            raise Failed("%d elements match %s" % (len(found), css))
        return "%s/element/%s" % (self.session, found[0])

    def type(self, css, text, clear=True):
        element = self.one(css)
        if clear:
            self.call("POST", element + "/clear", {})
        self.call("POST", element + "/value", {"text": text})

    def submit(self, css):
        # A click may return before the form's page replaces this one: wait
        # until the old document is gone.
        old = self.one("html")
        self.call("POST", self.one(css) + "/click", {})
        for _ in range(100):
            try:
                self.call("GET", old + "/name")
            except Failed as e:
                if "stale element" in str(e) or "not belong to the document" in str(e):
                    return
                raise
            time.sleep(0.1)
        raise Failed("no new page after clicking " + css)

    def value(self, css):
        return self.call("GET", self.one(css) + "/property/value")

    def text(self, css):
        return self.call("GET", self.one(css) + "/text")

    def close(self):
        try:
            self.call("DELETE", self.session)
        except (OSError, Failed, AttributeError):
            pass
        try:
            os.killpg(self.proc.pid, signal.SIGTERM)
            self.proc.wait(10)
        except (OSError, subprocess.TimeoutExpired):
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait()


def cp949(encoded):
    # The text area shows LF where the memo holds CR LF.
    return urllib.parse.unquote_to_bytes(encoded).decode("cp949").replace("\r\n", "\n")


def run(b, url, user, password, steps):
    b.go(url + "/web")
    b.type("input[name=id]", user)
    b.type("input[name=pw]", "wrong")
    b.submit(".signin button")
    if not b.find(".signin .error"):
        raise Failed("a wrong password got no error")
    b.type("input[name=id]", user)
    b.type("input[name=pw]", password)
    b.submit(".signin button")
    if not b.find("article.memo") and not b.find("p.empty"):
        raise Failed("no memo list after signing in")
    for step in steps:
        kind, _, rest = step.partition(":")
        muid, _, text = rest.partition(":")
        card = "#memo" + muid
        if kind == "expect" and b.value(card + " textarea") != cp949(text):
            raise Failed("%s: shows %r" % (step, b.value(card + " textarea")))
        if kind == "edit":
            before = b.text(card + " .ver")
            b.type(card + " textarea", cp949(text))
            b.submit(card + " button.save")
            if b.value(card + " textarea") != cp949(text) or b.text(card + " .ver") == before:
                raise Failed("%s: after saving %r, %s" % (step, b.value(card + " textarea"), b.text(card + " .ver")))
        if kind == "delete":
            b.submit(card + " button.delete")
            if b.find(card):
                raise Failed(step + ": still shown")
        if kind == "shot":
            with open(rest, "wb") as f:
                f.write(base64.b64decode(b.call("GET", b.session + "/screenshot")))


def main():
    driver, chromium, url, user, password = sys.argv[1:6]
    browser = None
    with tempfile.TemporaryDirectory() as profile:
        try:
            browser = Browser(driver)
            browser.open(chromium, profile)
            run(browser, url, user, cp949(password), sys.argv[6:])
        except (Failed, OSError, KeyError, ValueError) as e:
            print("web page: %s" % e, flush=True)
            return 1
        finally:
            if browser:
                browser.close()
    print("web page: ok", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
