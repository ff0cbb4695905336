#!/usr/bin/env python3
"""Opens a page in headless Chromium and reports what happened, as JSON on stdout.

Usage: pagecheck.py PAGE SCREENSHOT [EXPRESSION [WIDTH]]

Chromium is driven through the DevTools protocol over a pipe (file descriptors 3
and 4, messages ended by a NUL byte). The report holds every console message of
level error, every uncaught exception, every request the page made besides the
page itself, the document's title, and the value of EXPRESSION (JavaScript that
returns something JSON can carry) evaluated once the page has loaded. The
screenshot of the whole page is written to SCREENSHOT. WIDTH sets the width of the
window in CSS pixels (1280 unless given; 375 is a phone's).

Exit status: 0 with the report written, 77 when Chromium cannot be started or
does not answer (the caller skips), 1 on any other failure.
"""

import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
TIMEOUT = 60.0


class Browser:
    def __init__(self, binary, profile):
        self.to_read, self.to_write = None, None
        browser_in_r, browser_in_w = os.pipe()
        browser_out_r, browser_out_w = os.pipe()
        args = [binary, "--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe",
                "--user-data-dir=" + profile, "--no-first-run", "--no-default-browser-check",
                "--disable-extensions", "--disable-background-networking", "--disable-sync",
                "--disable-component-update", "--disable-default-apps", "--mute-audio",
                "--hide-scrollbars", "--window-size=1280,900", "about:blank"]

        def child_fds():
            os.dup2(browser_in_r, 3)
            os.dup2(browser_out_w, 4)

        self.process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, preexec_fn=child_fds, pass_fds=(3, 4),
                                        close_fds=True)
        os.close(browser_in_r)
        os.close(browser_out_w)
        self.to_write = os.fdopen(browser_in_w, "wb", buffering=0)
        self.to_read = browser_out_r
        self.buffer = b""
        self.next_id = 0
        self.events = []

    def close(self):
        try:
            self.send("Browser.close", timeout=5)
        except Exception:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        try:
            self.to_write.close()
        except Exception:
            pass
        os.close(self.to_read)

    def _read_message(self, deadline):
        import select
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no answer from Chromium")
            ready, _, _ = select.select([self.to_read], [], [], left)
            if not ready:
                continue
            chunk = os.read(self.to_read, 1 << 20)
            if not chunk:
                raise EOFError("Chromium closed its pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def send(self, method, params=None, session=None, timeout=TIMEOUT):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        self.to_write.write(json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            answer = self._read_message(deadline)
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError("%s: %s" % (method, answer["error"]))
                return answer.get("result", {})
            self.events.append(answer)

    def wait_for(self, method, timeout=TIMEOUT):
        deadline = time.monotonic() + timeout
        for event in self.events:
            if event.get("method") == method:
                return event
        while True:
            event = self._read_message(deadline)
            self.events.append(event)
            if event.get("method") == method:
                return event


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 1
    page, screenshot = os.path.abspath(sys.argv[1]), sys.argv[2]
    expression = sys.argv[3] if len(sys.argv) > 3 else "null"
    width = int(sys.argv[4]) if len(sys.argv) > 4 else 1280
    binary = shutil.which("chromium") or shutil.which("chromium-browser")
    if not binary:
        print("Chromium is not installed (Debian package chromium)", file=sys.stderr)
        return SKIP
    url = "file://" + page
    profile = tempfile.mkdtemp(prefix="corvid-chromium-")
    browser = None
    try:
        try:
            browser = Browser(binary, profile)
            target = browser.send("Target.createTarget", {"url": "about:blank"}, timeout=30)
            session = browser.send("Target.attachToTarget", {"targetId": target["targetId"], "flatten": True},
                                   timeout=30)["sessionId"]
        except (TimeoutError, EOFError, OSError) as error:
            print("Chromium could not be started: %s" % error, file=sys.stderr)
            return SKIP
        for domain in ("Page", "Runtime", "Network", "Log"):
            browser.send(domain + ".enable", session=session)
        browser.send("Emulation.setDeviceMetricsOverride",
                     {"width": width, "height": 900, "deviceScaleFactor": 1, "mobile": width < 600}, session=session)
        browser.events.clear()
        browser.send("Page.navigate", {"url": url}, session=session)
        browser.wait_for("Page.loadEventFired")
        # Anything the page does at load has run once a round trip through the
        # page's own task queue is done.
        browser.send("Runtime.evaluate", {"expression": "new Promise(r => setTimeout(r, 0))", "awaitPromise": True},
                     session=session)
        value = browser.send("Runtime.evaluate", {"expression": "JSON.stringify((function(){return " + expression +
                                                  ";})())", "returnByValue": True}, session=session)
        if "exceptionDetails" in value:
            raise RuntimeError("the expression failed: %s" % json.dumps(value["exceptionDetails"]))
        result = json.loads(value["result"].get("value") or "null")
        title = browser.send("Runtime.evaluate", {"expression": "document.title", "returnByValue": True},
                             session=session)["result"].get("value")
        metrics = browser.send("Page.getLayoutMetrics", session=session)
        size = metrics.get("cssContentSize") or metrics["contentSize"]
        shot = browser.send("Page.captureScreenshot",
                            {"format": "png", "captureBeyondViewport": True,
                             "clip": {"x": 0, "y": 0, "width": size["width"],
                                      "height": min(size["height"], 16000), "scale": 1}},
                            session=session)
        with open(screenshot, "wb") as out:
            out.write(base64.b64decode(shot["data"]))

        console, exceptions, requests = [], [], []
        for event in browser.events:
            method, params = event.get("method"), event.get("params", {})
            if method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert"):
                console.append(" ".join(str(a.get("value", a.get("description", ""))) for a in params.get("args", [])))
            elif method == "Log.entryAdded" and params["entry"].get("level") == "error":
                console.append(params["entry"].get("text", ""))
            elif method == "Runtime.exceptionThrown":
                details = params.get("exceptionDetails", {})
                exceptions.append(details.get("exception", {}).get("description") or details.get("text", ""))
            elif method == "Network.requestWillBeSent":
                request_url = params["request"]["url"]
                if request_url != url:
                    requests.append(request_url)
        print(json.dumps({"title": title, "console_errors": console, "exceptions": exceptions,
                          "requests": requests, "result": result}))
        return 0
    finally:
        if browser is not None:
            browser.close()
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
