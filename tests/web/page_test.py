"""kerf serve's page in headless Chromium, against a real server over recordings of the stream
builder: signing in with the printed address, finding a recording, moving (strip and keys) with the
picture checked against `kerf frame`, a cut checked byte for byte against `kerf cut`, stopping a
cut, refusing the recording itself as output, a phone-wide screen and an expired token."""
import base64
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
        # The page redraws its lists as answers come in: an element found a moment ago may be gone
        # when it is read, which only means "not yet" here.
        from selenium.common.exceptions import StaleElementReferenceException
        from selenium.webdriver.support.ui import WebDriverWait
        return WebDriverWait(self.driver, timeout, 0.02, ignored_exceptions=[StaleElementReferenceException]).until(
            lambda d: condition(), "waited for " + what)

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
        """Does a move; waits until the picture of the new position is on screen; returns the
        position and the picture (as PNG), read at one moment."""
        seq = int(self.attr("picture", "data-seq") or 0)
        action()
        return self.until(lambda: self.driver.execute_script("""
            const p = document.querySelector('[data-testid=picture]');
            const at = 'p:' + (+document.querySelector('[data-testid=pos-packet]').dataset.packet).toString(16).toUpperCase();
            if (p.dataset.loaded !== '1' || +p.dataset.seq <= arguments[0] || p.dataset.at !== at) return null;
            const c = document.createElement('canvas');
            [c.width, c.height] = [p.naturalWidth, p.naturalHeight];
            c.getContext('2d').drawImage(p, 0, 0);
            return [parseInt(at.slice(2), 16), c.toDataURL('image/png')];""", seq), "the picture of the move")

    def keys(self, *keys, shift=False):
        """Key presses where the page's keys apply (the focus out of any text field)."""
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.keys import Keys
        self.driver.execute_script("document.activeElement?.blur()")
        chain = ActionChains(self.driver)
        if shift:
            chain.key_down(Keys.SHIFT)
        chain.send_keys(*keys)
        if shift:
            chain.key_up(Keys.SHIFT)
        chain.perform()

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
    def test_sign_in_and_find(self):
        d = self.driver
        d.get(self.server.address)
        self.assertEqual(d.current_url.split("#")[0], self.server.base + "/")   # the token left the address
        cookie = d.get_cookie(f"kerf_token_{self.server.port}")
        self.assertEqual((cookie["value"], cookie["httpOnly"]), (self.server.token, True))
        d.get(self.server.base + "/#/")
        rows = lambda: dict(d.execute_script("return [...document.querySelectorAll('li[data-testid=recording]')].map((e) => [e.dataset.path, e.dataset.pending])"))
        self.until(lambda: {"rec/" + n: "0" for n in kerfweb.Root.NAMES[:3]}.items() <= rows().items(), "the measured recordings of the root")
        self.el("filter").send_keys("12-02")
        self.until(lambda: [e.get_attribute("data-path") for e in d.find_elements("css selector", "li[data-testid=recording]")
                            if e.is_displayed()] == ["rec/" + kerfweb.Root.NAMES[1]], "the filter")
        self.until(lambda: d.find_element("css selector", f"li[data-path='rec/{kerfweb.Root.NAMES[1]}'] a").click() or True,
                   "the recording's link clicked")
        self.until(lambda: d.execute_script("return document.body.dataset.view") == "rec", "the recording's view")
        self.assertEqual(self.attr("rec-title", "title"), "rec/" + kerfweb.Root.NAMES[1])

    def test_moves_show_kerf_frames_picture(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.keys import Keys
        self.open_recording()
        info = self.server.api("GET", "/api/info?path=" + quote(REC))[1]
        packets = info["packets"]
        second = packets / (info["totalMs"] / 1000)
        keys = [h["packet"] for h in self.server.answer("/api/scan?programme=1&path=" + quote(REC))[1]["headers"]]
        strip = self.el("strip")

        def click_strip(fraction):
            return lambda: ActionChains(self.driver).move_to_element_with_offset(
                strip, int((fraction - 0.5) * strip.size["width"]), 0).click().perform()
        # (what, move, expected packet given the previous one, tolerance in packets)
        moves = [
            ("End", lambda: self.keys(Keys.END), lambda p: packets - 1, second),
            ("Home", lambda: self.keys(Keys.HOME), lambda p: 0, 0),
            ("right", lambda: self.keys(Keys.ARROW_RIGHT), lambda p: p + second, second / 50),
            ("Shift+right", lambda: self.keys(Keys.ARROW_RIGHT, shift=True), lambda p: p + 10 * second, second / 50),
            ("ten rights at once", lambda: self.keys(*[Keys.ARROW_RIGHT] * 10), lambda p: p + 10 * second, second / 50),
            ("left", lambda: self.keys(Keys.ARROW_LEFT), lambda p: p - second, second / 50),
            (".", lambda: self.keys("."), lambda p: min(k for k in keys if k > p), 0),
            (",", lambda: self.keys(","), lambda p: max(k for k in keys if k < p), 0),
            (", again", lambda: self.keys(","), lambda p: max(k for k in keys if k < p), 0),
            ("strip at 1/4", click_strip(0.25), lambda p: packets / 4, packets / 25),
            ("strip at 3/4", click_strip(0.75), lambda p: packets * 3 / 4, packets / 25),
        ]
        before, changed = None, 0
        for what, action, expected, tolerance in moves:
            with self.subTest(what):
                previous = int(self.attr("pos-packet", "data-packet"))
                packet, png = self.move(action)
                self.assertLessEqual(abs(packet - expected(previous)), tolerance + 1, f"{what}: from {previous} to {packet}")
                shown = base64.b64decode(png.split(",", 1)[1])
                oracle = kerfweb.kerf_frame(self.root.file(REC), f"p:{packet:X}", 1)
                same = kerfweb.psnr(shown, oracle)
                self.assertGreater(same, 32, what)
                if before is not None and kerfweb.psnr(oracle, before) < 30:   # a new picture, not the last one kept
                    self.assertGreater(same, kerfweb.psnr(shown, before) + 3, f"{what}: the picture did not change")
                    changed += 1
                before = oracle
        self.assertGreaterEqual(changed, 6)

    def test_two_stretches_snapped_and_joined_cut_as_kerf_cut(self):
        from selenium.webdriver.common.keys import Keys
        self.open_recording()
        for second in (2, 15):   # stretches from 2 s to 12 s and from 15 s to 25 s
            self.keys(Keys.HOME, *[Keys.ARROW_RIGHT] * second, "i")
            self.keys(Keys.ARROW_RIGHT, shift=True)
            self.keys("o", "a")
        self.until(lambda: len(self.driver.find_elements("css selector", "tr[data-testid=stretch]")) == 2, "two stretches")
        self.assertTrue(self.el("snap").is_selected())
        rows = self.driver.find_elements("css selector", "tr[data-testid=stretch]")
        ranges = [(f"p:{int(r.get_attribute('data-first')):X}", f"p:{int(r.get_attribute('data-last')):X}") for r in rows]
        for row in rows:   # the snapped ends enclose the asked ones
            snapped = row.find_element("css selector", "[data-testid=stretch-snapped]")
            self.assertLessEqual(int(snapped.get_attribute("data-first")), int(row.get_attribute("data-first")))
        self.set_out_name("rec/cuts/joined.ts")
        if not self.el("join").is_selected():
            self.el("join").click()
        self.el("btn-cut").click()
        self.assertEqual(self.cut_state(), "done", self.el("outcome").text)
        oracle = kerfweb.kerf_cut(self.root.file(REC), ranges, self.root.file("oracle.ts"), "--snap", "--join", "--programme", "1")
        with open(self.root.file("rec/cuts/joined.ts"), "rb") as f:
            self.assertTrue(f.read() == oracle, "the page's cut differs from kerf cut's")
        self.assertEqual(self.driver.find_element("css selector", "li[data-testid=output]").get_attribute("data-bytes"), str(len(oracle)))

    def test_stop_a_waiting_cut(self):
        # Long cuts through the API (1000 short stretches each, one to five seconds each by the load)
        # keep the root's one place busy, eight of them long enough for the page's cut to wait in the
        # queue until it is stopped: a lasting state, not a race.
        ranges = [{"start": f"p:{i * 90:X}", "end": f"p:{i * 90 + 9:X}"} for i in range(1000)]
        blockers = [self.server.api("POST", "/api/cuts", {"path": REC, "join": True, "ranges": ranges, "output": f"rec/cuts/long{n}.ts"})
                    for n in range(8)]
        self.assertEqual([status for status, _ in blockers], [202] * 8, blockers)
        try:
            self.open_recording()
            self.one_stretch()
            self.set_out_name("rec/cuts/stopped.ts")
            self.el("btn-cut").click()
            self.until(lambda: self.attr("progress", "data-state") == "queued", "the cut to wait")
            self.assertTrue(self.el("queue").is_displayed())
            self.el("btn-stop").click()
            self.assertEqual(self.cut_state(), "stopped")
            self.assertIn(self.server.api("GET", blockers[-1][1]["url"])[1]["state"], ("queued", "running"))
        finally:
            for _, cut in reversed(blockers):
                self.server.api("DELETE", cut["url"])
        self.assertFalse(os.path.exists(self.root.file("rec/cuts/stopped.ts")))

    def test_recording_as_output_refused_by_page_and_server(self):
        # The server refuses it whatever the page does: a request from the page's origin with its cookie.
        self.driver.get(self.server.base + "/")
        refused = self.driver.execute_async_script("""const [body, done] = arguments;
            fetch('/api/cuts', {method: 'POST', headers: {'Content-Type': 'application/json'}, body: JSON.stringify(body)})
              .then(r => r.json().then(j => done([r.status, j.code])));""", {"path": REC, "output": REC, "ranges": [{"end": "p:100"}]})
        self.assertEqual(refused, [409, "output_is_input"])
        self.open_recording()
        self.one_stretch()
        self.set_out_name(REC)
        self.until(lambda: self.el("out-error").text != "", "the name to be refused")
        self.assertFalse(self.el("btn-cut").is_enabled())
        # A hard link is the recording under another name: only the server can tell, and the page says what it said.
        os.link(self.root.file(REC), self.root.file("rec/cuts/same.ts"))
        self.set_out_name("rec/cuts/same.ts")
        self.el("overwrite").click()
        self.el("btn-cut").click()
        self.until(lambda: self.attr("outcome", "data-state") == "refused", "the server's refusal")
        self.assertEqual(self.attr("outcome-message", "data-code"), "output_is_input")
        self.assertNotEqual(self.el("outcome-message").text, "")

    def test_phone_width(self):
        d = self.driver
        d.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {"width": 390, "height": 844, "deviceScaleFactor": 3, "mobile": True})
        try:
            d.get(self.server.base + "/#/")
            self.until(lambda: d.find_elements("css selector", "li[data-testid=recording] img"), "the recordings")
            self.assertLessEqual(d.execute_script("return document.documentElement.scrollWidth"), 390, "the list scrolls sideways")
            self.open_recording()
            self.assertLessEqual(d.execute_script("return document.documentElement.scrollWidth"), 390, "the recording scrolls sideways")
            for testid in ("programme", "picture", "strip", "pos-time", "btn-in", "btn-out", "btn-add", "snap", "out-name", "join", "btn-cut"):
                with self.subTest(testid):
                    e = self.el(testid)
                    d.execute_script("arguments[0].scrollIntoView({block: 'center'})", e)
                    box = d.execute_script("const r = arguments[0].getBoundingClientRect(); return [r.left, r.right, r.width]", e)
                    self.assertTrue(box[0] >= 0 and box[1] <= 390 and box[2] > 0, f"{testid} at {box}")
        finally:
            d.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})

    def test_keyboard_alone_reaches_every_control_by_its_label(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.keys import Keys
        self.open_recording()
        self.one_stretch()
        names, order = {}, []
        for _ in range(60):   # round the page, and on to the cut button
            ActionChains(self.driver).send_keys(Keys.TAB).perform()
            focused = self.driver.switch_to.active_element
            order.append(focused.get_attribute("data-testid"))
            names[order[-1]] = focused.accessible_name
            if order[-1] == "btn-cut" and "strip" in order:
                break
        for testid in ("lang", "programme", "strip", "btn-in", "btn-out", "btn-add", "snap", "stretch-start", "stretch-end",
                       "stretch-go-start", "stretch-go-end", "stretch-remove", "out-name", "join", "overwrite", "btn-cut"):
            with self.subTest(testid):
                self.assertRegex(names.get(testid) or "", r"\w\w", f"{testid}: not reached by Tab, or without a label")
        ActionChains(self.driver).send_keys(Keys.ENTER).perform()   # the focus is on the cut button
        self.assertEqual(self.cut_state(), "done")

    def test_lost_connection_said_and_tried_again(self):
        from selenium.webdriver.common.keys import Keys
        self.open_recording()
        port = self.server.port
        self.server.stop(kill=True)
        self.keys(Keys.END)
        self.until(lambda: self.el("banner").is_displayed() and self.attr("banner", "data-kind") == "offline", "the lost connection")
        type(self).server = kerfweb.Server(self.root, "--jobs", "1", port=port)   # the same address and token
        self.until(lambda: not self.el("banner").is_displayed(), "the connection back")
        self.until(lambda: self.attr("picture", "data-loaded") == "1" and
                   self.attr("picture", "data-at") == f"p:{int(self.attr('pos-packet', 'data-packet')):X}", "the picture at the end")

    def test_wrong_token_says_how_to_get_a_new_address(self):
        d = self.driver
        name = f"kerf_token_{self.server.port}"
        d.add_cookie({"name": name, "value": "0" * 64, "path": "/", "httpOnly": True, "sameSite": "Strict"})
        try:
            d.get(rec_url(self.server, REC))
            d.refresh()
            self.until(lambda: self.el("banner").is_displayed() and self.attr("banner", "data-kind") == "auth", "the token's message")
            self.assertIn("kerf serve", self.el("banner").text)
        finally:
            d.get(self.server.address)


if __name__ == "__main__":
    why = kerfweb.missing_browser()
    if why:
        print("skipped: " + why)
        sys.exit(SKIP)
    sys.exit(0 if unittest.main(exit=False, verbosity=2).result.wasSuccessful() else 1)
