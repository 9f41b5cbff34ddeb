"""The pieces a browser test of kerf serve's page needs: recordings of the stream builder in a
temporary root, a real `kerf serve` on a free loopback port, headless Chromium through Selenium,
and the command-line oracles (`kerf frame`, `kerf cut`) with a PSNR comparison of pictures (PIL).

Paths come from the environment CTest sets: KERF_BIN (the kerf program), KERF_MAKE_SAMPLE (the
sample recording's maker) and KERF_CLIP (the MPEG-2 clip it carries)."""
import io
import math
import os
import re
import shutil
import subprocess
import tempfile

CHROMIUM, CHROMEDRIVER = "/usr/bin/chromium", "/usr/bin/chromedriver"


def missing_browser():
    """Why the browser tests cannot run here, or None."""
    for path in (CHROMIUM, CHROMEDRIVER):
        if not os.path.exists(path):
            return path + " is not installed (scripts/install-deps.sh installs chromium and chromium-driver)"
    try:
        import PIL  # noqa: F401
        import selenium  # noqa: F401
    except ImportError as e:
        return f"{e.name} is not installed (scripts/install-deps.sh installs python3-selenium and python3-pil)"
    return None


def run(*args, **kw):
    return subprocess.run([str(a) for a in args], check=True, capture_output=True, **kw)


class Root:
    """A temporary root folder `rec` holding the sample recording under several names."""
    NAMES = ["ニュース7 2026-12-01.ts", "天気予報 2026-12-02.ts", "映画「カットの日」.ts", "2026/drama 01.ts"]

    def __init__(self):
        self.tmp = tempfile.mkdtemp(prefix="kerfweb-")
        self.path = os.path.join(self.tmp, "rec")
        os.makedirs(os.path.join(self.path, "2026"))
        os.makedirs(os.path.join(self.path, "cuts"))
        first = os.path.join(self.path, self.NAMES[0])
        run(os.environ["KERF_MAKE_SAMPLE"], os.environ["KERF_CLIP"], first)
        for name in self.NAMES[1:]:
            shutil.copyfile(first, os.path.join(self.path, name))

    def file(self, rel):
        return os.path.join(self.tmp, rel)

    def remove(self):
        shutil.rmtree(self.tmp, ignore_errors=True)


class Server:
    """`kerf serve --root ROOT` on a free loopback port; `address` is what it printed (with the token)."""

    def __init__(self, root, *extra, port=0):
        kerf = os.environ["KERF_BIN"]
        self.proc = subprocess.Popen([kerf, "serve", "--root", root.path, "--listen", f"127.0.0.1:{port}",
                                      "--token-file", os.path.join(root.tmp, "token"), *extra],
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        line = self.proc.stdout.readline()
        found = re.search(r"(http://127\.0\.0\.1:(\d+))/\?token=([0-9a-f]{64})", line)
        if not found:
            self.stop()
            raise RuntimeError("kerf serve did not print its address: " + line)
        self.base, self.port, self.token = found.group(1), int(found.group(2)), found.group(3)
        self.address = line[found.start():found.end()]

    def api(self, method, target, body=None):
        """A request with the bearer token: (status, parsed JSON or bytes)."""
        import http.client
        import json
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
        headers = {"Authorization": "Bearer " + self.token}
        if body is not None:
            headers["Content-Type"] = "application/json"
            body = json.dumps(body)
        conn.request(method, target, body, headers)
        reply = conn.getresponse()
        data = reply.read()
        conn.close()
        is_json = reply.getheader("Content-Type", "").startswith("application/json")
        return reply.status, json.loads(data) if is_json else data

    def answer(self, target, timeout=60):
        """A GET of a long read (a scan), asked again while it answers 202 (still running)."""
        import time
        end = time.monotonic() + timeout
        while True:
            status, data = self.api("GET", target)
            if status not in (202, 503) or time.monotonic() > end:
                return status, data
            time.sleep(0.2)

    def stop(self, kill=False):
        """SIGTERM, as a service manager stops it (it may wait out an idle keep-alive connection
        of the browser), or SIGKILL, as a crash."""
        self.proc.kill() if kill else self.proc.terminate()
        self.proc.wait(30)


def browser(width=1280, height=900):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--hide-scrollbars", "--lang=en", f"--window-size={width},{height}"):
        options.add_argument(arg)
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    driver.set_script_timeout(30)
    return driver


def gray(image, size=(240, 160)):
    """An image file's bytes (PNG, BMP, JPEG) as grey samples of one size."""
    from PIL import Image
    return Image.open(io.BytesIO(image)).convert("L").resize(size, Image.BILINEAR).tobytes()


def psnr(a, b):
    x, y = gray(a), gray(b)
    mse = sum((p - q) ** 2 for p, q in zip(x, y)) / len(x)
    return 99.0 if mse == 0 else 10 * math.log10(255 * 255 / mse)


def kerf_frame(recording, at, programme=None):
    """`kerf frame` of the recording at a position, as BMP bytes (the whole decoded picture)."""
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "f.bmp")
        run(os.environ["KERF_BIN"], "frame", recording, "--at", at, "-o", out, "--full",
            *(["--programme", str(programme)] if programme else []))
        with open(out, "rb") as f:
            return f.read()


def kerf_cut(recording, ranges, out, *options):
    """`kerf cut` of stretches given as (start, end) positions; the output's bytes."""
    args = [os.environ["KERF_BIN"], "cut", recording, "-o", out, *options]
    for start, end in ranges:
        args += ["--range", f"{start}-{end}"]
    run(*args)
    with open(out, "rb") as f:
        return f.read()
