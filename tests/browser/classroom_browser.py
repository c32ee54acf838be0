#!/usr/bin/python3
"""A class through the classroom page in headless Chromium, against the development host.

usage: classroom_browser.py [--shots DIR] [--measure] -- KV_HOST_COMMAND...

Starts host/web/devhost.py with the given kv_host, checks that a WebSocket with a foreign origin
or without the token is refused, then drives the page: enters a room and sees the roster, chats,
draws a stroke and sees it echoed, sees the camera tile painted with the simulated engine's frame
(checked by pixel), and plays a recording until the progress moves and the stored data is
delivered; then serves the starter page of docs/page-scripts.md with --page and goes through a
student's own round in it (hand up, answer, nickname), with a misspelt command warned of in the
browser's console. --shots writes classroom.png and playback.png (scripts/demo); --measure also states
the frame rates the host sustains at three sizes. Exit status 1 when a check failed.
"""
import argparse
import http.client
import os
import re
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import frame_hash  # noqa: E402  (the documented frame pattern)
from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

CHROME_FLAGS = ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--no-first-run",
                "--window-size=1440,1100"]
failures = []


def check(what, passed):
    print(f"[{'ok' if passed else 'FAILED'}] {what}", flush=True)
    if not passed:
        failures.append(what)
    return passed


def wait(what, condition, timeout=20):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return check(what, True) and value
        time.sleep(0.1)
    return check(f"{what} (within {timeout} s)", False)


def start_host(command, extra=()):
    label = "kv_client.dll under Wine" if command[0] == "wine" else "native kv_host"
    host = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "host", "web", "devhost.py"),
                             "--label", label, *extra, "--", *command], stdout=subprocess.PIPE,
                            text=True)
    line = host.stdout.readline()
    # A fresh loopback address every run (docs/page-scripts.md, "Safety").
    match = re.search(r"open (http://(127\.\d+\.\d+\.\d+):(\d+)/\?token=(\S+))", line)
    if not match:
        host.kill()
        raise SystemExit(f"the host did not print its address: {line!r}")
    return host, match.group(1), (match.group(2), int(match.group(3))), match.group(4)


def stop_host(host, folder):
    """Ends the host and removes the folder it was given."""
    host.terminate()
    try:
        host.wait(30)
    except subprocess.TimeoutExpired:
        host.kill()
    subprocess.run(["rm", "-rf", folder], check=False)


def handshake(address, origin, token):
    """The status of a WebSocket opening handshake (101 accepted, 403 refused)."""
    connection = http.client.HTTPConnection(*address, timeout=10)
    connection.request("GET", f"/ws?token={token}", headers={
        "Origin": origin, "Upgrade": "websocket", "Connection": "Upgrade",
        "Sec-WebSocket-Key": "dGhlIHNhbXBsZSBub25jZQ==", "Sec-WebSocket-Version": "13"})
    status = connection.getresponse().status
    connection.close()
    return status


def get_status(address, path, host):
    connection = http.client.HTTPConnection(*address, timeout=10)
    connection.request("GET", path, headers={"Host": host})
    status = connection.getresponse().status
    connection.close()
    return status


TOLERANCE = 3  # levels per channel


def pixel_matches_pattern(pixels, samples, width, height):
    """The frame number whose generated frame (the pattern of docs/console.md) the sampled RGBA
    pixels show, by BT.601 studio range; the browser's own conversion (VideoFrame) rounds
    differently from this integer one, by a few levels at most. None when no frame matches."""
    def rgb(data, x, y):
        n, r = width // 2, height // 2
        c = 298 * (data[y * width + x] - 16)
        chroma = min(y // 2, r - 1) * n + min(x // 2, n - 1)
        d = data[width * height + chroma] - 128
        e = data[width * height + n * r + chroma] - 128  # frame_hash's planes: V right after U
        clamp = lambda v: max(0, min(255, v >> 8))  # noqa: E731
        return [clamp(c + 409 * e + 128), clamp(c - 100 * d - 208 * e + 128),
                clamp(c + 516 * d + 128), 255]
    for frame in range(256):
        data = frame_hash.planar(width, height, frame)
        if all(abs(a - b) <= TOLERANCE for i, (x, y) in enumerate(samples)
               for a, b in zip(rgb(data, x, y), pixels[i])):
            return frame
    return None


def tile_pixels(driver, stream, samples):
    """The element that shows a tile's frames (a <video> where the browser can, else a canvas),
    its size and the RGBA of the sampled pixels."""
    return js(driver, """
        const [stream, samples] = arguments;
        const c = document.querySelector(`.tile[data-stream="${stream}"] .tile-canvas:not([hidden])`);
        const [width, height] = c.localName === 'video' ? [c.videoWidth, c.videoHeight] : [c.width, c.height];
        const g = Object.assign(document.createElement('canvas'), {width, height}).getContext('2d');
        g.drawImage(c, 0, 0);
        return [c.localName, width, height,
                samples.map(([x, y]) => Array.from(g.getImageData(x, y, 1, 1).data))];
    """, stream, samples)


def js(driver, script, *args):
    return driver.execute_script(script, *args)


def attribute(driver, selector, name):
    elements = driver.find_elements(By.CSS_SELECTOR, selector)
    return elements[0].get_attribute(name) if elements else None


def classroom(driver, shots):
    driver.find_element(By.ID, "enter").click()
    wait("the roster shows the teacher, three students and us",
         lambda: int(attribute(driver, "#roster", "data-count") or 0) >= 5
         and "Teacher" in driver.find_element(By.ID, "roster").text
         and "Mia (you)" in driver.find_element(By.ID, "roster").text)

    # Long enough that its echo comes as bytes after the event's line (a binary message).
    text = "é ☃ \"quoted\" back\\slash " * 250 + "Hello from the browser"
    driver.execute_script("document.getElementById('chat-text').value = arguments[0]", text)
    driver.find_element(By.ID, "chat-text").send_keys("\n")
    wait("our long chat message comes back whole",
         lambda: text in driver.find_element(By.ID, "chat").text)

    board = driver.find_element(By.ID, "board")
    actions = ActionChains(driver).move_to_element_with_offset(board, -200, -40).click_and_hold()
    for step in range(12):
        actions.move_by_offset(30, 12 if step % 2 else -8)
    actions.release().perform()
    wait("our stroke is echoed and drawn",
         lambda: attribute(driver, "#board", "data-strokes") == "1")

    driver.find_element(By.ID, "camera").click()
    wait("the camera tile is painted", lambda: int(
        attribute(driver, '.tile[data-stream="0"]', "data-drawn") or 0) >= 3)
    samples = [(0, 0), (101, 57), (320, 180), (639, 359), (5, 300)]
    pixels = tile_pixels(driver, 0, samples)
    check(f"the camera tile is a {pixels[0]} of 640 x 360 (got {pixels[1]} x {pixels[2]})",
          pixels[1:3] == [640, 360])
    frame = pixel_matches_pattern(pixels[3], samples, 640, 360)
    check(f"its pixels are the simulated engine's frame (frame {frame})", frame is not None)
    # Odd sizes take the canvas: the video's and VideoFrame's chroma planes round the other way.
    js(driver, "import('/page/js/bridge.js').then(({simulate}) => "
               "simulate('OnGetVideoData', 3, 321, 181, 0, 7, 2))")
    wait("a 321 x 181 frame is drawn", lambda: attribute(
        driver, '.tile[data-stream="3"]', "data-drawn"))
    samples = [(0, 0), (101, 57), (320, 180), (5, 179)]
    pixels = tile_pixels(driver, 3, samples)
    check(f"it is a canvas of 321 x 181 (a {pixels[0]} of {pixels[1]} x {pixels[2]})",
          pixels[:3] == ["canvas", 321, 181])
    check("its pixels are the frame's",
          pixel_matches_pattern(pixels[3], samples, 321, 181) is not None)

    if shots:  # the rest of the class, for the picture
        driver.find_element(By.CSS_SELECTOR, "#simulate summary").click()
        for what in ("teacher-chat", "teacher-stroke", "teacher-video", "student-joins",
                     "queue-opens", "you-queued", "question"):
            driver.find_element(By.CSS_SELECTOR, f'[data-sim="{what}"]').click()
            time.sleep(0.3)
        driver.find_element(By.CSS_SELECTOR, "#question .option:nth-child(2)").click()
        for what in ("summary", "network"):
            driver.find_element(By.CSS_SELECTOR, f'[data-sim="{what}"]').click()
            time.sleep(0.3)
        wait("the teacher's stroke and picture arrive",
             lambda: attribute(driver, "#board", "data-strokes") == "2"
             and attribute(driver, '.tile[data-stream="1"]', "data-drawn"))
        driver.find_element(By.CSS_SELECTOR, "#simulate summary").click()
        time.sleep(2.5)  # the tile's frame rate and the host's figures appear
        js(driver, "window.scrollTo(0, 0)")
        driver.save_screenshot(os.path.join(shots, "classroom.png"))
    driver.find_element(By.ID, "camera").click()


def playback(driver, shots):
    driver.find_element(By.ID, "tab-playback").click()
    driver.find_element(By.CSS_SELECTOR, "#open-form button:not([type])").click()
    wait("the recording opens", lambda: driver.find_element(By.ID, "playback-state").text == "Paused")
    driver.find_element(By.ID, "play").click()
    progress = lambda: int(attribute(driver, "#progress-text", "data-progress") or 0)  # noqa: E731
    first = wait("the progress moves", progress)
    wait("and keeps moving", lambda: progress() > (first or 0))
    sizes = {f"segment-{i}": os.path.getsize(os.path.join(ROOT, "host", "web", "recording",
                                                           f"segment-{i}")) for i in (1, 2, 3)}
    expected = [f"{key} {size} bytes delivered ({size} bytes)" for key, size in sizes.items()]
    wait("the stored data is answered with the recording folder's bytes and delivered",
         lambda: driver.find_element(By.ID, "storage").text.split("\n") == expected)
    wait("the playback picture is painted",
         lambda: attribute(driver, '.tile[data-stream="1000"]', "data-drawn"))
    if shots:
        time.sleep(1.5)
        js(driver, "window.scrollTo(0, 0)")
        driver.save_screenshot(os.path.join(shots, "playback.png"))
    driver.find_element(By.ID, "pause").click()


SIZES = ((640, 360), (1280, 720), (1920, 1080))


def measure_host(address, token, width, height, seconds=5):
    """Frames per second from the simulated engine through kv_host and the host to a WebSocket
    client that draws nothing: one frame raised at a time, the next once it is answered."""
    import asyncio
    import json
    import aiohttp
    sys.path.insert(0, os.path.join(ROOT, "host", "web"))
    import devhost
    devhost.keep_frame_memory()  # the client copies frames as the host does

    async def run():
        origin = "http://%s:%d" % address
        async with aiohttp.ClientSession() as session:
            async with session.ws_connect(f"{origin}/ws?token={token}", origin=origin,
                                          max_msg_size=0) as ws:
                frames, ident, start = 0, 0, time.monotonic()
                while time.monotonic() - start < seconds:
                    ident += 1
                    await ws.send_str(json.dumps({"id": ident, "simulate": "OnGetVideoData",
                                                  "args": [3, width, height, 0, ident % 256, 0]}))
                    while True:
                        message = await ws.receive(timeout=60)
                        if message.type == aiohttp.WSMsgType.BINARY:
                            frames += 1
                        elif message.type == aiohttp.WSMsgType.TEXT:
                            if json.loads(message.data).get("id") == ident:
                                break
                        else:
                            raise RuntimeError(f"the host closed the connection ({message.type})")
                return frames / (time.monotonic() - start)
    return asyncio.run(run())


def measure(driver):
    """Frames pushed through kv_host, the host and the WebSocket to the page as fast as it takes
    them, and how many of them it drew, for three sizes."""
    for width, height in SIZES:
        result = driver.execute_async_script("""
            const [width, height, done] = arguments;
            import('/page/js/bridge.js').then(async ({simulate}) => {
              const tile = () => Number(document.querySelector('.tile[data-stream="2"]')?.dataset.drawn || 0);
              await simulate('OnGetVideoData', 2, width, height, 0, 0, 0);
              await new Promise((r) => setTimeout(r, 300));
              const drawn0 = tile(), start = performance.now();
              let frames = 0;
              while (performance.now() - start < 5000) {
                await simulate('OnGetVideoData', 2, width, height, 0, frames % 256, 0);
                frames++;
              }
              await new Promise((r) => setTimeout(r, 300));
              const seconds = (performance.now() - start) / 1000;
              done([frames / seconds, (tile() - drawn0) / seconds]);
            });
        """, width, height)
        print(f"measured: {width} x {height}: {result[0]:.1f} frames/s to the page, "
              f"{result[1]:.1f} drawn/s by it", flush=True)


def starter_page(folder):
    """Writes the starter page of docs/page-scripts.md ("Your own page") into `folder`."""
    with open(os.path.join(ROOT, "docs", "page-scripts.md"), encoding="utf-8") as doc:
        text = doc.read()
    files = re.findall(r"File `([\w.]+)`:\n\n```\w+\n(.*?)```", text, re.S)
    for name, body in files:
        with open(os.path.join(folder, name), "w", encoding="utf-8") as out:
            out.write(body)
    return [name for name, _ in files]


def own_page(driver, command):
    """The starter page served with --page, and one round of a student's own actions through it:
    each answered the way a class answers it."""
    folder = tempfile.mkdtemp(prefix="kv-own-page-")
    check("the starter page is in the docs", starter_page(folder) == ["index.html", "main.js"])
    host, url, _, _ = start_host(command, ["--page", folder])
    try:
        driver.get(url)
        roster = lambda: driver.find_element(By.ID, "roster").text  # noqa: E731
        wait("the starter page shows the roster", lambda: "Teacher" in roster()
             and "Me (42)" in roster())
        # The page's own bridge module, for what the starter page has no button for.
        js(driver, """window.seen = [];
                      import('/page/js/bridge.js').then((bridge) => {
                        window.bridge = bridge;
                        bridge.on('OnMyAnswer', (answer) => window.seen.push(answer));
                      });""")
        wait("the bridge module is shared", lambda: js(driver, "return !!window.bridge"))
        js(driver, "window.bridge.call('live.applyMicrophone')")
        wait("a hand up reaches the queue",
             lambda: "Me (42)" in driver.find_element(By.ID, "queue").text)
        js(driver, """window.bridge.simulate('OnAddQuestion', JSON.stringify(
                        {questionId: 31, type: 1, optionNum: 4, correctOptions: [1]}))
                      .then(() => window.bridge.call('live.myAnswer',
                        JSON.stringify({questionId: 31, selectedOptions: [1]})));""")
        wait("an answer brings OnMyAnswer", lambda: js(
            driver, "return window.seen.length === 1 && window.seen[0].correct === true"))
        js(driver, "window.bridge.call('live.setNickname', 'Mia')")
        wait("a nickname shows in the roster", lambda: "Mia" in roster())
        js(driver, "window.bridge.call('live.sendChatMesage', 42, 'hi', 0)")
        wait("a misspelt command leaves a warning in the browser's console", lambda: any(
            entry["level"] == "WARNING" and "sendChatMesage" in entry["message"]
            and "sendChatMessage" in entry["message"] for entry in driver.get_log("browser")))
    finally:
        stop_host(host, folder)


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--shots")
    parser.add_argument("--measure", action="store_true")
    parser.add_argument("command", nargs="+")
    options = parser.parse_args(argv)
    started = time.monotonic()
    host, url, address, token = start_host(options.command)
    profile = tempfile.mkdtemp(prefix="kv-chromium-")
    driver = None
    try:
        own = "http://%s:%d" % address
        check("our page's origin with the token is accepted", handshake(address, own, token) == 101)
        check("a foreign origin is refused",
              handshake(address, "http://evil.example", token) == 403)
        check("a connection without the token is refused", handshake(address, own, "") == 403)
        check("a foreign Host is refused on a plain page",
              get_status(address, "/", "evil.example") == 403)
        chrome = webdriver.ChromeOptions()
        chrome.binary_location = "/usr/bin/chromium"
        for flag in CHROME_FLAGS + [f"--user-data-dir={profile}"]:
            chrome.add_argument(flag)
        chrome.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=chrome)
        driver.get(url)
        wait("the page connects", lambda: attribute(driver, "body", "data-connection") == "open")
        classroom(driver, options.shots)
        # A dropped connection shows and comes back by itself.
        js(driver, """const send = WebSocket.prototype.send;
                      WebSocket.prototype.send = function (data) {
                        WebSocket.prototype.send = send;
                        send.call(this, data);
                        setTimeout(() => this.close(), 300);
                      };""")
        # (In the pictures' class your hand is up already, so the class would refuse a second.)
        driver.find_element(By.ID, "mic-cancel" if options.shots else "mic-apply").click()
        wait("a dropped connection shows and reconnects",
             lambda: attribute(driver, "body", "data-drops") == "1"
             and attribute(driver, "body", "data-connection") == "open")
        playback(driver, options.shots)
        if options.measure:
            driver.set_script_timeout(120)
            measure(driver)
        errors = driver.find_element(By.ID, "errors").text
        check(f"the page reported no error ({errors!r})",
              not [e for e in driver.find_elements(By.CSS_SELECTOR, "#errors li.error")])
        if not options.measure:
            own_page(driver, options.command)
    finally:
        if driver is not None:
            driver.quit()
        if options.measure and not failures:
            for width, height in SIZES:
                print(f"measured: {width} x {height}: "
                      f"{measure_host(address, token, width, height):.1f} frames/s through the host "
                      "to a WebSocket client (no browser)", flush=True)
        stop_host(host, profile)
    print(f"{len(failures)} failed, {time.monotonic() - started:.1f} s")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
