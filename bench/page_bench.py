#!/usr/bin/python3
"""kerf serve's page in headless Chromium against a real kerf serve on the loopback, over the
sample recording (30 s, three programmes):
- from a key press (`.`, the next key picture) and from a click at a random place of the strip to
  the new picture on screen: the page's own window.kerfTimings (from the event's time stamp to the
  picture's load), split into the pictures the page held already (fetched ahead) and the others;
- the first paint of a recording's page over fresh loads: first-contentful-paint (Paint Timing) and
  the large picture's render time (Largest Contentful Paint, the picture being the largest);
- as the peer of the moves, the server's answer alone: the same pictures (of another programme, so
  none is held anywhere) asked over HTTP by this process, one after the other.
With --shots DIR it saves the recording page at desktop and phone width as small PNGs.

  KERF_BIN=build/native/bin/kerf KERF_MAKE_SAMPLE=build/native/bin/kerf_make_sample \\
    KERF_CLIP=sample/clip.m2v bench/page_bench.py [--moves 50] [--loads 10] [--shots docs]"""
import argparse
import os
import random
import statistics
import subprocess
import sys
import time
from urllib.parse import quote

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
import kerfweb  # noqa: E402
from page_test import rec_url, REC  # noqa: E402

# Waits (in the page) until the large picture is on screen; its render time as Largest Contentful
# Paint saw it, and the first contentful paint, in ms from the navigation's start.
PAINTS = """const done = arguments[arguments.length - 1];
  const picture = document.querySelector('[data-testid=picture]');
  const fcp = () => performance.getEntriesByName('first-contentful-paint')[0]?.startTime;
  const look = () => new PerformanceObserver((list, o) => {
      const e = list.getEntries().filter((e) => e.element === picture).pop();
      if (e) { o.disconnect(); done([fcp(), e.renderTime || e.startTime]); }
    }).observe({type: 'largest-contentful-paint', buffered: true});
  if (picture.dataset.loaded === '1') look();
  else new MutationObserver((m, o) => { if (picture.dataset.loaded === '1') { o.disconnect(); look(); } })
    .observe(picture, {attributes: true});"""
SEQ = "return [document.querySelector('[data-testid=picture]').dataset.loaded, +document.querySelector('[data-testid=picture]').dataset.seq]"


def line(what, values):
    if not values:
        return print(f"{what:<52} none")
    p95 = sorted(values)[max(0, round(0.95 * len(values)) - 1)]
    print(f"{what:<52} median {statistics.median(values):6.1f} ms   95th percentile {p95:6.1f} ms   (n={len(values)})")


def open_recording(driver, server):
    driver.get("about:blank")
    driver.get(rec_url(server, REC))
    return driver.execute_async_script(PAINTS)


def wait_picture(driver, seq):
    from selenium.webdriver.support.ui import WebDriverWait
    WebDriverWait(driver, 30, 0.005).until(lambda d: (lambda s: s[0] == "1" and s[1] > seq)(d.execute_script(SEQ)))


def moves(driver, count, strip):
    """count moves, each waited for; (milliseconds, held) of each."""
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys
    driver.execute_script("document.activeElement?.blur()")
    ActionChains(driver).send_keys(Keys.HOME).perform()
    bar = driver.find_element("css selector", "[data-testid=strip]")
    chance = random.Random(1)
    for i in range(count):
        seq = driver.execute_script(SEQ)[1]
        if strip:
            x = int((chance.random() - 0.5) * (bar.size["width"] - 4))
            ActionChains(driver).move_to_element_with_offset(bar, x, 0).click().perform()
        else:   # back to the start when the end is near, so that every move shows a new picture
            ActionChains(driver).send_keys(Keys.HOME if i % 40 == 39 else ".").perform()
        wait_picture(driver, seq)
    return driver.execute_script("return [window.kerfTimings.slice(-arguments[0]), window.kerfTimingsHeld.slice(-arguments[0])]", count)


def report_moves(what, timings):
    ms, held = timings
    line(what, ms)
    line("  of which held by the page already", [m for m, h in zip(ms, held) if h])
    line("  of which asked of the server", [m for m, h in zip(ms, held) if not h])


def shots(server, folder):
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys
    for name, width, height in (("serve-desktop.png", 1280, 800), ("serve-phone.png", 390, 844)):
        driver = kerfweb.browser(width, height)
        try:
            metrics = {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": width < 600}
            driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", metrics)
            driver.get(server.address)
            driver.execute_script("localStorage.clear()")   # Japanese, as it starts
            open_recording(driver, server)
            # Two stretches kept, in and out marks of a third, the position between them.
            for keys in ((Keys.HOME, *[Keys.ARROW_RIGHT] * 3, "i"), (*[Keys.ARROW_RIGHT] * 6, "o", "a"),
                         (*[Keys.ARROW_RIGHT] * 6, "i"), (*[Keys.ARROW_RIGHT] * 7, "o", "a"), (*[Keys.ARROW_RIGHT] * 3, "i"),
                         (*[Keys.ARROW_RIGHT] * 2,)):
                seq = driver.execute_script(SEQ)[1]
                ActionChains(driver).send_keys(*keys).perform()
                if keys[-1] not in ("i", "a"):
                    wait_picture(driver, seq)
            driver.execute_script("document.activeElement?.blur(); window.scrollTo(0, 0)")
            metrics["height"] = min(driver.execute_script("return document.documentElement.scrollHeight"), 2400)
            driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", metrics)
            path = os.path.join(folder, name)
            driver.save_screenshot(path)
            subprocess.run(["convert", path, "-strip", "-dither", "None", "-colors", "128", "PNG8:" + path], check=True)
            print(f"{path}: {os.path.getsize(path)} bytes")
        finally:
            driver.quit()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--moves", type=int, default=50)
    parser.add_argument("--loads", type=int, default=10)
    parser.add_argument("--shots", metavar="DIR")
    args = parser.parse_args()
    root = kerfweb.Root()
    server = kerfweb.Server(root)
    driver = kerfweb.browser()
    try:
        driver.get(server.address)
        open_recording(driver, server)   # the first load has the recording measured and scanned
        loads = [open_recording(driver, server) for _ in range(args.loads)]
        line("first contentful paint of a recording's page", [fcp for fcp, _ in loads])
        line("large picture on screen, from navigation", [pic for _, pic in loads])
        report_moves(f"key '.' to new picture ({args.moves} moves)", moves(driver, args.moves, False))
        report_moves(f"strip click to new picture ({args.moves} moves)", moves(driver, args.moves, True))
        # The peer: the server's answer alone, a request from this process for each picture of
        # the second programme (the same pictures under another programme, none asked before).
        width = driver.execute_script("return document.querySelector('[data-testid=picture]').naturalWidth")
        keys = [h["packet"] for h in server.answer("/api/scan?programme=2&path=" + quote(REC))[1]["headers"]]
        alone = []
        for packet in keys[:args.moves]:
            start = time.perf_counter()
            status, _ = server.api("GET", f"/api/frame?path={quote(REC)}&at=p:{packet:X}&programme=2&width={width}")
            alone.append(1000 * (time.perf_counter() - start))
        line(f"peer: the picture's HTTP request alone ({width} wide)", alone)
        if args.shots:
            shots(server, args.shots)
    finally:
        driver.quit()
        server.stop()
        root.remove()


if __name__ == "__main__":
    main()
