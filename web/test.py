#!/usr/bin/env python3
"""The browser player in headless Chromium: the demo's play-through gives the native player's last frame, and a
save made in the page is loaded again after the browser is closed and opened on the same profile.

Usage: web/test.py SITE NATIVE_BUILD   (make web-test)
"""
import http.server
import os
import subprocess
import sys
import tempfile
import threading
import urllib.parse
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
PLAYTHROUGH = ROOT / 'tests/games/demo-references/playthrough.input'
FRAMES = 700
SAVE_AT = 350
SIZE = (800, 600)
# The browser's window: larger than the game, so the page shows it at one pixel a pixel with black bars
# around (the window's own bars take part of it in headless Chromium too).
WINDOW = (1000, 900)
SIZE_LIMIT = 10 * 1024 * 1024  # the player and the demo together, as a page downloads them
TIMEOUT = 240  # seconds for one page run; 700 frames take about 12 s of the page's timer


class Reports:
    """What the page sends back: its log lines, the first frame's time, the last frame, the status."""

    def __init__(self):
        self.lines, self.first_frame_ms, self.frame, self.status = [], None, None, None
        self.ended = threading.Event()


def serve(site):
    """A server for the site on a port of its own for the whole test: the browser keeps its storage per
    address, port included. `server.reports` takes what the page of the current run sends."""
    class Handler(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=str(site), **kwargs)

        def do_GET(self):
            if urllib.parse.urlsplit(self.path).path == '/test/start':
                return self.send_start_page()
            return super().do_GET()

        def send_start_page(self):
            """A blank page that opens the player's page once the browser has started: its first frame is
            timed from the page's opening, as when a person follows a link, without the browser's own start."""
            body = (b'<!doctype html><title>start</title><script>onload = () => setTimeout(() => '
                    b'location.replace("/index.html" + location.search), 300)</script>')
            self.send_response(200)
            self.send_header('Content-Type', 'text/html')
            self.send_header('Content-Length', str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def translate_path(self, path):
            # The play-through input is served beside the site, from the tests.
            if urllib.parse.urlsplit(path).path == '/test/playthrough.input':
                return str(PLAYTHROUGH)
            return super().translate_path(path)

        def do_POST(self):
            reports = self.server.reports
            url = urllib.parse.urlsplit(self.path)
            body = self.rfile.read(int(self.headers.get('Content-Length', 0)))
            what = url.path.removeprefix('/report/')
            if what == 'log':
                reports.lines.append(body.decode('utf-8', 'replace'))
            elif what == 'first-frame':
                reports.first_frame_ms = float(body)
            elif what == 'frame':
                query = urllib.parse.parse_qs(url.query)
                reports.frame = (int(query['width'][0]), int(query['height'][0]), body)
            elif what == 'end':
                reports.status = int(body)
                reports.ended.set()
            self.send_response(204)
            self.end_headers()

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
    server.reports = Reports()
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def chromium(url, profile):
    """Headless Chromium on the page, with the options that keep it off the network."""
    return subprocess.Popen(
        ['chromium', '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--autoplay-policy=no-user-gesture-required', f'--window-size={WINDOW[0]},{WINDOW[1]}',
         f'--user-data-dir={profile}', url],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def run_page(server, profile, query):
    reports = server.reports = Reports()
    url = f'http://127.0.0.1:{server.server_port}/test/start?report&{query}'
    browser = chromium(url, profile)
    try:
        if not reports.ended.wait(TIMEOUT):
            sys.exit(f'web-test: the page did not end its run in {TIMEOUT} s ({url})\n' + '\n'.join(reports.lines))
    finally:
        browser.terminate()
        browser.wait(30)
    return reports


def rgb_of_png(png):
    """The picture's pixels as 8-bit RGB, by ImageMagick."""
    return subprocess.run(['convert', str(png), '-depth', '8', 'rgb:-'], check=True, capture_output=True).stdout


def picture_on_canvas(reports, what):
    """The game's picture cut out of the canvas (centred at one pixel a pixel), after checking that the bars
    around it are black."""
    width, height, rgba = reports.frame
    x0, y0 = (width - SIZE[0]) // 2, (height - SIZE[1]) // 2
    if x0 < 0 or y0 < 0:
        sys.exit(f'web-test: {what}: the canvas is {width} x {height}, smaller than the game')
    rgb, bars = bytearray(), 0
    for y in range(height):
        row = rgba[y * width * 4:(y + 1) * width * 4]
        inside = y0 <= y < y0 + SIZE[1]
        for x in range(width):
            pixel = row[x * 4:x * 4 + 3]
            if inside and x0 <= x < x0 + SIZE[0]:
                rgb += pixel
            elif pixel != b'\0\0\0':
                bars += 1
    if bars:
        sys.exit(f'web-test: {what}: {bars} pixels around the picture are not black')
    return bytes(rgb)


def to_16_bits(rgb):
    shifts = (3, 2, 3) * (len(rgb) // 3)
    return bytes(v >> shift for v, shift in zip(rgb, shifts))


def compare(reports, reference, what):
    if reports.status != 0:
        sys.exit(f'web-test: {what}: the run ended with status {reports.status}\n' + '\n'.join(reports.lines))
    # The screen holds 16-bit colours (5, 6 and 5 bits); SDL and the PNG writer widen them to 8 bits
    # each their own way, so the pixels are compared as the 16-bit colours they show.
    rgb = to_16_bits(picture_on_canvas(reports, what))
    reference = to_16_bits(reference)
    width = SIZE[0]
    differing = sum(1 for i in range(0, len(rgb), 3) if rgb[i:i + 3] != reference[i:i + 3])
    if differing:
        first = next(i for i in range(0, len(rgb), 3) if rgb[i:i + 3] != reference[i:i + 3]) // 3
        sys.exit(f'web-test: {what}: {differing} pixels differ from the native player\'s, the first at '
                 f'({first % width}, {first // width}): page {tuple(rgb[first * 3:first * 3 + 3])}, '
                 f'native {tuple(reference[first * 3:first * 3 + 3])}')
    if os.environ.get('WEB_TEST_VERBOSE'):
        print('\n'.join(reports.lines))
    print(f'web-test: {what}: the last frame equals the native player\'s ({reports.frame[0]} x {reports.frame[1]} '
          f'canvas, the picture centred)')


def main():
    site, native = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    size = sum((site / name).stat().st_size for name in ('tarnvik.wasm', 'tarnvik.js', 'demo.pik'))
    print(f'web-test: the player and the demo take {size / 1048576:.1f} MB')
    if size >= SIZE_LIMIT:
        sys.exit(f'web-test: more than {SIZE_LIMIT // 1048576} MB to download')
    with tempfile.TemporaryDirectory(prefix='tarnvik-web-test-') as tmp:
        tmp = Path(tmp)
        env = dict(os.environ, XDG_DATA_HOME=str(tmp / 'data'), XDG_CONFIG_HOME=str(tmp / 'config'))
        subprocess.run([str(native / 'tarnvik'), '--headless', '--frames', str(FRAMES), '--input', str(PLAYTHROUGH),
                        '--archive', str(native / 'demo.pik'), '--settings', str(tmp / 'native.ini'),
                        '--screenshot', str(tmp / 'native.png')], check=True, env=env, capture_output=True)
        reference = rgb_of_png(tmp / 'native.png')

        profile = tmp / 'chromium'
        server = serve(site)
        play = f'virtual-clock&frames={FRAMES}&input=/test/playthrough.input'
        slot = '/persist/data/tarnvik/saves/demo/slot-1.sav'
        whole = run_page(server, profile, f'{play}&save-at={SAVE_AT},{slot}')
        compare(whole, reference, 'the play-through')
        print(f'web-test: first frame {whole.first_frame_ms:.0f} ms after the page was opened')
        # The browser closed and opened again on the same profile: the save is still there.
        loaded = run_page(server, profile, f'{play}&load-slot=1')
        compare(loaded, reference, f'the play-through loaded from the save of frame {SAVE_AT}')


if __name__ == '__main__':
    main()
