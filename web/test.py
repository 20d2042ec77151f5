#!/usr/bin/env python3
"""The browser player in headless Chromium: the demo's play-through gives the native player's last frame, shown
enlarged and centred; a save made in the page is loaded again after the browser is closed and opened on the
same profile; a person's click, key and Menu button reach the player, and the page plays the game's sound.

Usage: web/test.py SITE NATIVE_BUILD   (make web-test)
"""
import base64
import fcntl
import http.server
import json
import os
import select
import struct
import subprocess
import sys
import tempfile
import threading
import urllib.parse
import wave
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
PLAYTHROUGH = ROOT / 'tests/games/demo-references/playthrough.input'
FRAMES = 700
SAVE_AT = 350
INPUT_FRAMES = 300  # five seconds on the real clock: time enough for the input test's clicks
SIZE = (800, 600)
# The browser's window: room for the game twice enlarged, with black bars around (the window's own bars
# take part of it in headless Chromium too).
WINDOW = (1700, 1400)
SIZE_LIMIT = 10 * 1024 * 1024  # the player and the demo together, as a page downloads them
TIMEOUT = 240  # seconds for one page run; 700 frames take about 12 s of the page's timer


class Reports:
    """What the page sends back: its log lines, the first frame's time, the last frame, the status."""

    def __init__(self):
        self.lines, self.first_frame_ms, self.frame, self.status = [], None, None, None
        self.shown, self.ended = threading.Event(), threading.Event()


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
                reports.shown.set()
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


class Chromium:
    """Headless Chromium on the page, with the options that keep it off the network, and its DevTools
    protocol on a pair of pipes (the browser reads commands on its descriptor 3, answers on 4)."""

    def __init__(self, url, profile):
        commands_in, self.commands = os.pipe()
        self.answers, answers_out = os.pipe()

        def pipes_as_3_and_4():
            # Moved above 4 first: either pipe end may itself be 3 or 4.
            reading, writing = (fcntl.fcntl(fd, fcntl.F_DUPFD, 10) for fd in (commands_in, answers_out))
            os.dup2(reading, 3)
            os.dup2(writing, 4)

        self.process = subprocess.Popen(
            ['chromium', '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
             '--disable-background-networking', '--disable-component-update', '--disable-sync',
             '--autoplay-policy=no-user-gesture-required', f'--window-size={WINDOW[0]},{WINDOW[1]}',
             '--remote-debugging-pipe', f'--user-data-dir={profile}', url],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(3, 4), preexec_fn=pipes_as_3_and_4)
        os.close(commands_in)
        os.close(answers_out)
        self.pending, self.last_id, self.session = b'', 0, None

    def call(self, method, **params):
        """One command, answered (events that arrive meanwhile are passed over)."""
        self.last_id += 1
        message = {'id': self.last_id, 'method': method, 'params': params}
        if self.session:
            message['sessionId'] = self.session
        os.write(self.commands, json.dumps(message).encode() + b'\0')
        while True:
            while b'\0' not in self.pending:
                if not select.select([self.answers], [], [], TIMEOUT)[0]:
                    raise RuntimeError(f'the browser did not answer {method} in {TIMEOUT} s')
                chunk = os.read(self.answers, 1 << 16)
                if not chunk:
                    raise RuntimeError(f'the browser closed its protocol pipe during {method}')
                self.pending += chunk
            text, self.pending = self.pending.split(b'\0', 1)
            answer = json.loads(text)
            if answer.get('id') == self.last_id:
                if 'error' in answer:
                    raise RuntimeError(f'{method}: {answer["error"]}')
                return answer['result']

    def on_page(self, method, **params):
        """A command to the page itself (the first one attaches to it)."""
        if not self.session:
            page = next(t for t in self.call('Target.getTargets')['targetInfos'] if t['type'] == 'page')
            self.session = self.call('Target.attachToTarget', targetId=page['targetId'], flatten=True)['sessionId']
        return self.call(method, **params)

    def evaluate(self, expression):
        return self.on_page('Runtime.evaluate', expression=expression, returnByValue=True)['result'].get('value')

    def screenshot(self, png):
        """What the page shows, as a PNG, with the page's buttons and status line hidden."""
        self.evaluate("for (const id of ['bar', 'status']) document.getElementById(id).style.visibility = 'hidden'")
        png.write_bytes(base64.b64decode(self.on_page('Page.captureScreenshot', format='png')['data']))

    def click(self, x, y):
        for kind in ('mouseMoved', 'mousePressed', 'mouseReleased'):
            self.on_page('Input.dispatchMouseEvent', type=kind, x=x, y=y, button='left', clickCount=1)

    def type_key(self, text, code, key_code):
        self.on_page('Input.dispatchKeyEvent', type='keyDown', text=text, key=text, code=code,
                     windowsVirtualKeyCode=key_code)
        self.on_page('Input.dispatchKeyEvent', type='keyUp', key=text, code=code, windowsVirtualKeyCode=key_code)

    def close(self):
        # SIGTERM: the browser closes as a person would close it, writing its storage out.
        self.process.terminate()
        self.process.wait(30)
        os.close(self.commands)
        os.close(self.answers)


def run_page(server, profile, query, screenshot=None, while_playing=None, at_end=None):
    """One run of the page. `screenshot`, if given, receives what the page shows at its end;
    `while_playing(browser)` runs once the first frame is shown, `at_end(browser)` after the run
    (its result is the report's `found`)."""
    reports = server.reports = Reports()
    url = f'http://127.0.0.1:{server.server_port}/test/start?report&{query}'
    browser = Chromium(url, profile)
    try:
        if while_playing and reports.shown.wait(TIMEOUT):
            while_playing(browser)
        if not reports.ended.wait(TIMEOUT):
            sys.exit(f'web-test: the page did not end its run in {TIMEOUT} s ({url})\n' + '\n'.join(reports.lines))
        if screenshot:
            browser.screenshot(screenshot)
        reports.found = at_end(browser) if at_end else None
    finally:
        browser.close()
    return reports


def rgb_of_png(png):
    """The picture's pixels as 8-bit RGB, by ImageMagick."""
    return subprocess.run(['convert', str(png), '-depth', '8', 'rgb:-'], check=True, capture_output=True).stdout


def picture_on_canvas(reports, what):
    """The game's picture as the canvas holds it (one pixel a pixel), as 8-bit RGB."""
    width, height, rgba = reports.frame
    if (width, height) != SIZE:
        sys.exit(f'web-test: {what}: the canvas is {width} x {height}, not the game\'s {SIZE[0]} x {SIZE[1]}')
    rgb = bytearray(width * height * 3)
    for channel in range(3):
        rgb[channel::3] = rgba[channel::4]
    return bytes(rgb)


def check_page_shows(png, picture, what):
    """The page shows the canvas enlarged by the largest whole multiple that fits its view, every game pixel
    as a square of that many screen pixels, centred, with black around."""
    view = subprocess.run(['identify', '-format', '%w %h', str(png)], check=True, capture_output=True, text=True)
    view_width, view_height = map(int, view.stdout.split())
    shown = rgb_of_png(png)
    scale = min(view_width // SIZE[0], view_height // SIZE[1])
    if scale < 2:
        sys.exit(f'web-test: {what}: the page\'s view of {view_width} x {view_height} is too small for the test')
    left, top = (view_width - SIZE[0] * scale) // 2, (view_height - SIZE[1] * scale) // 2
    stride = view_width * 3
    black_row = bytes(stride)
    for y in range(view_height):
        row = shown[y * stride:(y + 1) * stride]
        game_y = (y - top) // scale
        if not 0 <= y - top < SIZE[1] * scale:
            if row != black_row:
                sys.exit(f'web-test: {what}: row {y} above or below the picture is not black')
            continue
        source = picture[game_y * SIZE[0] * 3:(game_y + 1) * SIZE[0] * 3]
        expected = b''.join(source[x * 3:x * 3 + 3] * scale for x in range(SIZE[0]))
        middle = row[left * 3:(left + SIZE[0] * scale) * 3]
        if row[:left * 3] != bytes(left * 3) or row[(left + SIZE[0] * scale) * 3:] != bytes(stride - len(middle) - left * 3):
            sys.exit(f'web-test: {what}: row {y} beside the picture is not black')
        if middle != expected:
            x = next(i for i in range(0, len(middle), 3) if middle[i:i + 3] != expected[i:i + 3]) // 3
            sys.exit(f'web-test: {what}: the page shows ({left + x}, {y}) as {tuple(middle[x * 3:x * 3 + 3])}, '
                     f'not the enlarged canvas\'s {tuple(expected[x * 3:x * 3 + 3])}')
    print(f'web-test: {what}: the page shows the picture {scale} times enlarged, centred in its {view_width} x '
          f'{view_height} view with black around')


# Where the input test clicks, in the game's pixels, and what it types.
CLICK = (123, 77)


# Listens to what the page plays: the loudest sample that SDL's audio node hands to the browser.
LISTEN = """(() => {
  const node = Module.SDL2.audio.scriptProcessorNode, play = node.onaudioprocess;
  window.loudest = 0;
  node.onaudioprocess = (e) => {
    play(e);
    for (let c = 0; c < e.outputBuffer.numberOfChannels; c++)
      for (const v of e.outputBuffer.getChannelData(c)) window.loudest = Math.max(window.loudest, Math.abs(v));
  };
})()"""


def play_by_hand(browser):
    """A person's input through the browser: a click on the (enlarged) game, a typed letter, and the
    page's Menu button pressed twice (the player's menu opened and closed). The page's sound is
    listened to from here on."""
    browser.evaluate(LISTEN)
    left, top, width = browser.evaluate(
        "(() => { const r = document.getElementById('canvas').getBoundingClientRect(); "
        "return [r.left, r.top, r.width]; })()")
    scale = width / SIZE[0]
    browser.click(left + (CLICK[0] + 0.5) * scale, top + (CLICK[1] + 0.5) * scale)
    browser.type_key('q', 'KeyQ', 81)
    menu = browser.evaluate(
        "(() => { const r = document.getElementById('menu').getBoundingClientRect(); "
        "return [r.left + r.width / 2, r.top + r.height / 2]; })()")
    for _ in range(2):
        browser.click(*menu)


def after_hand(browser):
    return {'recording': browser.evaluate("FS.readFile('/tmp/session.input', { encoding: 'utf8' })"),
            'loudest': browser.evaluate('window.loudest')}


def check_heard(loudest, native_loudest):
    """The page played the game's sound: its loudest sample is the native player's over the same frames
    (the same mixer; the browser may resample, so within 2%)."""
    if not loudest or abs(loudest - native_loudest) > 0.02 * native_loudest:
        sys.exit(f'web-test: the page\'s loudest sample is {loudest}, the native player\'s {native_loudest:.4f}')
    print(f'web-test: the page played the sound: its loudest sample {loudest:.4f}, the native player\'s '
          f'{native_loudest:.4f}')


def loudest_of_wav(wav, seconds):
    with wave.open(str(wav)) as w:
        count = min(w.getnframes(), int(seconds * w.getframerate()))
        data = w.readframes(count)
    samples = struct.unpack(f'<{len(data) // 2}h', data)
    return max(abs(v) for v in samples) / 32768


def check_recorded_by_hand(reports, recording):
    """The player's recording of that session holds the click at the game's pixel, the letter and
    the menu's opening and closing."""
    if reports.status != 0 or not recording:
        sys.exit(f'web-test: the input run ended with status {reports.status} and recorded '
                 f'{recording!r}\n' + '\n'.join(reports.lines))
    events = [line.split()[1:] for line in recording.splitlines() if line[:1].isdigit()]
    wanted = {'the click': ['move', str(CLICK[0]), str(CLICK[1])], 'the press': ['down', 'left'],
              'the letter': ['char', 'q']}
    for what, event in wanted.items():
        if event not in events:
            sys.exit(f'web-test: the recording of the input run lacks {what} ({" ".join(event)}):\n{recording}')
    if events.count(['menu']) != 2:
        sys.exit(f'web-test: the Menu button was pressed twice, the recording holds {events.count(["menu"])} '
                 f'menu lines:\n{recording}')
    print(f'web-test: a click at the game\'s ({CLICK[0]}, {CLICK[1]}) on the enlarged page, a typed letter and '
          f'the Menu button reached the player')


def open_game(server, profile, archive):
    """Another game chosen with "Open game…": the page keeps the archive in the browser's storage and starts
    again playing it (the player's log names the archive it runs)."""
    reports = server.reports = Reports()
    browser = Chromium(f'http://127.0.0.1:{server.server_port}/test/start?report&log=info', profile)
    try:
        if not reports.shown.wait(TIMEOUT):
            sys.exit('web-test: the page for opening a game showed no frame\n' + '\n'.join(reports.lines))
        document = browser.on_page('DOM.getDocument')['root']['nodeId']
        chooser = browser.on_page('DOM.querySelector', nodeId=document, selector='#open')['nodeId']
        reports.shown.clear()
        browser.on_page('DOM.setFileInputFiles', nodeId=chooser, files=[str(archive)])
        kept = '/persist/games/' + archive.name.replace(' ', '_')
        if not reports.shown.wait(TIMEOUT) or not any(f'(archive {kept})' in line for line in reports.lines):
            sys.exit(f'web-test: after opening {archive.name} the page does not play {kept}\n' + '\n'.join(reports.lines))
    finally:
        browser.close()
    print(f'web-test: "{archive.name}" chosen with "Open game…" is kept as {kept} and played')


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
                 f'native {tuple(reference[first * 3:first * 3 + 3])}\n' + '\n'.join(reports.lines))
    if os.environ.get('WEB_TEST_VERBOSE'):
        print('\n'.join(reports.lines))
    print(f'web-test: {what}: the last frame equals the native player\'s')


def main():
    site, native = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    size = sum((site / name).stat().st_size for name in ('tarnvik.wasm', 'tarnvik.js', 'demo.pik'))
    print(f'web-test: the player and the demo take {size / 1048576:.1f} MB')
    if size >= SIZE_LIMIT:
        sys.exit(f'web-test: more than {SIZE_LIMIT // 1048576} MB to download')
    # The browser's helper processes may still be closing their files in the profile when it is removed.
    with tempfile.TemporaryDirectory(prefix='tarnvik-web-test-', ignore_cleanup_errors=True) as tmp:
        tmp = Path(tmp)
        env = dict(os.environ, XDG_DATA_HOME=str(tmp / 'data'), XDG_CONFIG_HOME=str(tmp / 'config'))
        subprocess.run([str(native / 'tarnvik'), '--headless', '--frames', str(FRAMES), '--input', str(PLAYTHROUGH),
                        '--archive', str(native / 'demo.pik'), '--settings', str(tmp / 'native.ini'),
                        '--screenshot', str(tmp / 'native.png')], check=True, env=env, capture_output=True)
        # The sound of the input test's frames without input (the title's music), for the page's to match.
        subprocess.run([str(native / 'tarnvik'), '--headless', '--frames', str(INPUT_FRAMES), '--archive',
                        str(native / 'demo.pik'), '--settings', str(tmp / 'native-sound.ini'), '--audio-out',
                        str(tmp / 'native.wav')], check=True, env=env, capture_output=True)
        reference = rgb_of_png(tmp / 'native.png')

        profile = tmp / 'chromium'
        server = serve(site)
        play = f'virtual-clock&frames={FRAMES}&input=/test/playthrough.input&log=info'
        slot = '/persist/data/tarnvik/saves/demo/slot-1.sav'
        whole = run_page(server, profile, f'{play}&save-at={SAVE_AT},{slot}', screenshot=tmp / 'page.png')
        compare(whole, reference, 'the play-through')
        check_page_shows(tmp / 'page.png', picture_on_canvas(whole, 'the play-through'), 'the play-through')
        print(f'web-test: first frame {whole.first_frame_ms:.0f} ms after the page was opened')
        # The browser closed and opened again on the same profile: the save is still there.
        loaded = run_page(server, profile, f'{play}&load-slot=1')
        compare(loaded, reference, f'the play-through loaded from the save of frame {SAVE_AT}')
        # A person's input on the real clock, recorded by the player and read back from the page's files.
        by_hand = run_page(server, profile, f'frames={INPUT_FRAMES}&record=/tmp/session.input', while_playing=play_by_hand,
                           at_end=after_hand)
        check_recorded_by_hand(by_hand, by_hand.found['recording'])
        check_heard(by_hand.found['loudest'], loudest_of_wav(tmp / 'native.wav', INPUT_FRAMES / 60))
        # Another game from an archive of the person's own (a name with Polish letters and a blank).
        chosen = tmp / 'Gra źródłowa.pik'
        chosen.write_bytes((native / 'demo.pik').read_bytes())
        open_game(server, profile, chosen)


if __name__ == '__main__':
    main()
