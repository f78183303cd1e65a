#!/usr/bin/env python3
"""Runs frostweave-gimp inside GIMP without a person and checks what it does.

  pixels  gimp-console loads generated pictures (8-bit, 16-bit, RGBA, 32-bit float),
          selects an ellipse, calls plug-in-frostweave with a preset and a parameter string
          and exports the layer and the selection; the layer must equal `frostweave apply`
          with the same preset, parameters and selection mask inside the selection and the
          original outside it. A run with the last values ("Repeat") gives the same layer.
  errors  bad arguments fail with their message and leave the layer unchanged.
  undo    GIMP with its windows (under Xvfb): one Edit > Undo (ctrl+z) after the filter gives
          the original back exactly, and Redo the filtered layer.
  dialog  GIMP with its windows: the procedure called interactively opens the dialog with
          the last values, a screenshot is taken (--screenshot), Cancel leaves the layer
          unchanged, OK gives the pixels of the scripted run that set those values, Reset
          gives the defaults, a click on a preset gives that preset, and "Save preset..."
          writes a file that gives the same pixels again.

The plug-in is installed with scripts/install-gimp-plugin.sh into a temporary
GIMP2_DIRECTORY; HOME and the XDG folders point into it as well, so nothing of the user's
is read or written.

Usage: gimp_test.py CASE --build BUILD_DIR --source SOURCE_DIR [--screenshot PNG]
"""
import argparse
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

PRESET = 'frost-wreath.fwv'
ITEMS = 'RandomSeed=11 Scale=60 Diffuse=0xC8E0FF'
# Left, top, width, height of the ellipse, as fractions of the picture.
ELLIPSE = (0.15, 0.1, 0.7, 0.75)


# --- PNG files, enough for the pictures this test writes and GIMP exports -------------

def write_png(path, width, height, channels, depth, samples):
    colour = {1: 0, 2: 4, 3: 2, 4: 6}[channels]
    fmt = '>%dH' if depth == 16 else '%dB'
    row = width * channels
    raw = b''.join(b'\0' + struct.pack(fmt % row, *samples[y * row:(y + 1) * row])
                   for y in range(height))

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n')
        f.write(chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, depth, colour, 0, 0, 0)))
        f.write(chunk(b'IDAT', zlib.compress(raw, 6)))
        f.write(chunk(b'IEND', b''))


def read_png(path):
    """(width, height, channels, depth, samples) of a non-interlaced grey/RGB(A) PNG."""
    data = open(path, 'rb').read()
    pos, idat, header = 8, b'', None
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if interlace or colour not in (0, 2, 4, 6) or depth not in (8, 16):
        raise ValueError('%s: unsupported PNG layout' % path)
    channels = {0: 1, 4: 2, 2: 3, 6: 4}[colour]
    bpp = channels * depth // 8
    stride = width * bpp
    raw = zlib.decompress(idat)
    out = bytearray()
    prev = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 255
        out += line
        prev = line
    n = width * height * channels
    samples = struct.unpack('>%dH' % n, bytes(out)) if depth == 16 else tuple(out)
    return width, height, channels, depth, samples


def make_picture(path, width, height, channels, depth):
    """Smooth colours with fine detail: every sample differs from its neighbours, and 16-bit
    samples use all their bits."""
    top = 65535 if depth == 16 else 255
    samples = []
    for y in range(height):
        for x in range(width):
            r = (x * 977 + y * 131) * top // (width * 977 + height * 131)
            g = (y * 1013 + (x * y) % 97) * top // (height * 1013 + 97)
            b = ((x * 7919 + y * 104729) % 65521) * top // 65521
            samples += [r, g, b]
            if channels == 4:
                samples.append(1 + ((x * 37 + y * 11) % 255) * (top - 1) // 254)
    write_png(path, width, height, channels, depth, samples)


# --- GIMP -------------------------------------------------------------------------------

class Gimp:
    """A private GIMP profile with the plug-in installed from the build."""

    def __init__(self, args, work):
        self.args = args
        self.work = work
        home = os.path.join(work, 'home')
        self.profile = os.path.join(work, 'gimp-profile')
        os.makedirs(home, exist_ok=True)
        self.env = dict(os.environ)
        self.env.update({
            'GIMP2_DIRECTORY': self.profile, 'HOME': home,
            'XDG_CONFIG_HOME': os.path.join(home, '.config'),
            'XDG_CACHE_HOME': os.path.join(home, '.cache'),
            'XDG_DATA_HOME': os.path.join(home, '.local', 'share'),
            # GLib's leaks at exit are not the plug-in's.
            'ASAN_OPTIONS': 'detect_leaks=0:' + os.environ.get('ASAN_OPTIONS', ''),
            'NO_AT_BRIDGE': '1', 'GTK_MODULES': '',
        })
        subprocess.run([os.path.join(args.source, 'scripts', 'install-gimp-plugin.sh'),
                        args.build], env=self.env, check=True, stdout=subprocess.DEVNULL)
        if not os.access(os.path.join(self.profile, 'plug-ins', 'frostweave-gimp',
                                      'frostweave-gimp'), os.X_OK):
            raise SystemExit('the install script did not install into GIMP2_DIRECTORY')

    def batch(self, *commands, timeout=300):
        cmd = [self.args.gimp_console, '-i', '-d', '-f', '-s', '--stack-trace-mode=never',
               '--batch-interpreter=plug-in-script-fu-eval']
        for c in commands:
            cmd += ['-b', c]
        cmd += ['-b', '(gimp-quit 0)']
        r = subprocess.run(cmd, env=self.env, capture_output=True, text=True, timeout=timeout)
        return r.stdout + r.stderr


def scheme_string(s):
    return '"' + s.replace('\\', '\\\\').replace('"', '\\"') + '"'


def ellipse_of(width, height):
    l, t, w, h = ELLIPSE
    return int(l * width), int(t * height), int(w * width), int(h * height)


def load_and_select(path, width, height):
    x, y, w, h = ellipse_of(width, height)
    p = scheme_string(path)
    return ('(gimp-context-set-antialias FALSE) (gimp-context-set-feather FALSE) '
            '(set! img (car (gimp-file-load RUN-NONINTERACTIVE %s %s))) '
            '(set! layer (car (gimp-image-get-active-layer img))) '
            '(gimp-image-select-ellipse img CHANNEL-OP-REPLACE %d %d %d %d) ' % (p, p, x, y, w, h))


def export(drawable, path):
    p = scheme_string(path)
    # Interlace off, compression 9, no chunks, colours of transparent pixels kept.
    return '(file-png-save2 RUN-NONINTERACTIVE img %s %s %s 0 9 0 0 0 0 0 0 1) ' % (drawable, p, p)


def selection_mask():
    """A new layer, black, white where selected: the mask the tool is given."""
    return ('(set! mask (car (gimp-layer-new img (car (gimp-image-width img)) '
            '(car (gimp-image-height img)) RGB-IMAGE "mask" 100 LAYER-MODE-NORMAL))) '
            '(gimp-image-insert-layer img mask 0 0) '
            '(gimp-context-set-background (list 0 0 0)) '
            '(gimp-drawable-fill mask FILL-BACKGROUND) '
            '(gimp-drawable-edit-fill mask FILL-WHITE) ')


def check_pixels(args, gimp, work):
    presets = os.path.join(args.source, 'presets')
    preset = os.path.join(presets, PRESET)
    cases = [('rgb8', 3, 8, None), ('rgb16', 3, 16, None), ('rgba8', 4, 8, None),
             ('float', 3, 16, 'PRECISION-FLOAT-GAMMA')]
    width, height = 96, 72
    commands, runs = [], []
    for name, channels, depth, precision in cases:
        src, out, mask, tool = (os.path.join(work, name + suffix)
                                for suffix in ('.png', '-gimp.png', '-mask.png', '-tool.png'))
        make_picture(src, width, height, channels, depth)
        script = '(let* ((img 0) (layer 0) (mask 0)) ' + load_and_select(src, width, height)
        if precision:
            script += '(gimp-image-convert-precision img %s) ' % precision
            script += '(set! layer (car (gimp-image-get-active-layer img))) '
        script += '(plug-in-frostweave RUN-NONINTERACTIVE img layer %s %s) ' % (
            scheme_string(preset), scheme_string(ITEMS))
        if precision:
            script += '(gimp-image-convert-precision img PRECISION-U16-GAMMA) '
            script += '(set! layer (car (gimp-image-get-active-layer img))) '
        script += export('layer', out) + selection_mask() + export('mask', mask)
        commands.append(script + '(gimp-image-delete img))')
        runs.append((name, src, out, mask, tool, depth))
    # "Repeat" takes the last run's settings (all runs above had the same) from GIMP.
    repeat = os.path.join(work, 'rgb8-repeat.png')
    commands.append('(let* ((img 0) (layer 0)) %s (plug-in-frostweave RUN-WITH-LAST-VALS img '
                    'layer "" "") %s (gimp-image-delete img))'
                    % (load_and_select(runs[0][1], width, height), export('layer', repeat)))
    log = gimp.batch(*commands)
    failures = []
    for name, src, out, mask, tool, depth in runs:
        if not os.path.exists(out) or not os.path.exists(mask):
            failures.append('%s: GIMP wrote no result:\n%s' % (name, log))
            continue
        run = [args.frostweave, 'apply', src, '-o', tool, '--quiet', '--preset', preset,
               '--selection', mask]
        for item in ITEMS.split():
            run += ['--set', item]
        subprocess.run(run, check=True)
        failures += compare_with_tool(name, src, out, tool, mask, depth)
    if not os.path.exists(repeat) or read_png(repeat) != read_png(runs[0][2]):
        failures.append('a run with the last values differs from the run that set them')
    return failures


def compare_with_tool(name, src, out, tool, mask, depth):
    original, got, want, sel = (read_png(p) for p in (src, out, tool, mask))
    w, h, n = original[0], original[1], original[2]
    if got[:4] != (w, h, n, depth):
        return ['%s: GIMP exported %s, expected %dx%d, %d channels, %d bits'
                % (name, got[:4], w, h, n, depth)]
    if want[:4] != got[:4]:
        return ['%s: the tool wrote %s, GIMP %s' % (name, want[:4], got[:4])]
    selected = changed = 0
    bad = []
    for y in range(h):
        for x in range(w):
            i = (y * w + x) * n
            inside = any(sel[4][(y * w + x) * sel[2] + c] for c in range(min(3, sel[2])))
            ref = want[4] if inside else original[4]
            if got[4][i:i + n] != ref[i:i + n]:
                bad.append((x, y, got[4][i:i + n], ref[i:i + n], inside))
            selected += inside
            changed += inside and got[4][i:i + n] != original[4][i:i + n]
    problems = []
    if bad:
        problems.append('%s: %d pixels differ from the tool (first: %s)' % (name, len(bad), bad[:3]))
    if selected == 0 or selected == w * h:
        problems.append('%s: the ellipse selected %d of %d pixels' % (name, selected, w * h))
    if changed < selected // 4:
        problems.append('%s: the filter changed only %d of %d selected pixels'
                        % (name, changed, selected))
    print('%s: %d selected pixels, %d changed, %d differ from the tool'
          % (name, selected, changed, len(bad)))
    return problems


def check_errors(args, gimp, work):
    width, height = 64, 48
    src = os.path.join(work, 'errors.png')
    make_picture(src, width, height, 3, 8)
    cases = [('/nonexistent/missing.fwv', '', "cannot open preset '/nonexistent/missing.fwv'"),
             ('', 'NoSuchField=3', 'unknown field "NoSuchField"'),
             ('', 'RandomSeed=4 RenderMode=300', 'RenderMode=300: expected a whole number from 0 to 255')]
    commands = []
    for i, (preset, items, _) in enumerate(cases):
        commands.append('(let* ((img 0) (layer 0)) %s (plug-in-frostweave RUN-NONINTERACTIVE '
                        'img layer %s %s))' % (load_and_select(src, width, height),
                                                scheme_string(preset), scheme_string(items)))
        # The failed command ends at the error; the next one exports what is left.
        out = os.path.join(work, 'errors-%d.png' % i)
        commands.append('(let* ((img (vector-ref (cadr (gimp-image-list)) 0)) '
                        '(layer (car (gimp-image-get-active-layer img)))) %s '
                        '(gimp-image-delete img))' % export('layer', out))
    log = gimp.batch(*commands)
    failures = []
    original = read_png(src)
    for i, (_, items, says) in enumerate(cases):
        out = os.path.join(work, 'errors-%d.png' % i)
        if 'Frostweave: ' not in log or says not in log:
            failures.append('no error message "%s" in GIMP\'s output' % says)
        if not os.path.exists(out):
            failures.append('case %d: nothing exported:\n%s' % (i, log))
        elif read_png(out)[4] != original[4]:
            failures.append('case %d (%s): the layer changed' % (i, items))
    print('errors: %d cases, %d failures' % (len(cases), len(failures)))
    return failures


# --- GIMP with its windows ------------------------------------------------------------------

class GimpWindows:
    """GIMP with its windows on the current X display, driven through the Script-Fu server
    (commands) and xdotool (keys, as a person presses them)."""

    def __init__(self, gimp):
        self.gimp = gimp
        with socket.socket() as s:
            s.bind(('127.0.0.1', 0))
            self.port = s.getsockname()[1]
        server = '(plug-in-script-fu-server RUN-NONINTERACTIVE "127.0.0.1" %d "")' % self.port
        self.log = open(os.path.join(gimp.work, 'gimp-windows.log'), 'w')
        self.process = subprocess.Popen(
            [gimp.args.gimp, '-s', '-d', '-f', '--stack-trace-mode=never',
             '--batch-interpreter=plug-in-script-fu-eval', '-b', server],
            env=gimp.env, stdout=self.log, stderr=subprocess.STDOUT, start_new_session=True)
        deadline = time.time() + 180
        while True:
            try:
                self.sock = socket.create_connection(('127.0.0.1', self.port), timeout=600)
                break
            except OSError:
                if time.time() > deadline or self.process.poll() is not None:
                    self.close()
                    raise SystemExit('GIMP did not start its Script-Fu server:\n' + self.output())
                time.sleep(0.5)

    def run(self, script):
        """(ok, text) of one Script-Fu command."""
        data = script.encode()
        self.sock.sendall(b'G' + struct.pack('>H', len(data)) + data)
        header = self._read(4)
        _, error, length = struct.unpack('>cBH', header)
        return error == 0, self._read(length).decode(errors='replace')

    def _read(self, n):
        out = b''
        while len(out) < n:
            chunk = self.sock.recv(n - len(out))
            if not chunk:
                raise SystemExit('GIMP closed the Script-Fu connection:\n' + self.output())
            out += chunk
        return out

    def output(self):
        self.log.flush()
        with open(self.log.name) as f:
            return f.read()[-4000:]

    def close(self):
        if getattr(self, 'sock', None):
            self.sock.close()
        # GIMP's plug-ins (the Script-Fu server) outlive a stopped GIMP: end its whole group.
        for sig, wait in ((signal.SIGTERM, 20), (signal.SIGKILL, 5)):
            try:
                os.killpg(self.process.pid, sig)
                self.process.wait(timeout=wait)
                break
            except ProcessLookupError:
                break
            except subprocess.TimeoutExpired:
                continue
        try:
            os.killpg(self.process.pid, signal.SIGKILL)  # anything left of the group
        except ProcessLookupError:
            pass
        self.log.close()


def xdotool(*words):
    r = subprocess.run(['xdotool'] + list(words), capture_output=True, text=True)
    return r.stdout.split()


def wait_for_window(name, timeout=120):
    deadline = time.time() + timeout
    while time.time() < deadline:
        found = xdotool('search', '--onlyvisible', '--name', name)
        if found:
            return found[-1]
        time.sleep(0.5)
    return None


def press(window, keys):
    xdotool('windowfocus', '--sync', window)
    time.sleep(0.3)
    xdotool('key', '--clearmodifiers', keys)


def open_picture(windows, path, width, height):
    """Loads the picture into a display and selects the ellipse; the image is `img`."""
    ok, text = windows.run('(begin (define img 0) (define layer 0) %s '
                           '(gimp-display-new img) (gimp-displays-flush) img)'
                           % load_and_select(path, width, height))
    return ok, text


def check_undo(args, gimp, work):
    width, height = 80, 60
    src, after, undone, redone = (os.path.join(work, n) for n in (
        'undo.png', 'undo-after.png', 'undo-undone.png', 'undo-redone.png'))
    make_picture(src, width, height, 3, 16)
    windows = GimpWindows(gimp)
    failures = []
    try:
        ok, text = open_picture(windows, src, width, height)
        if not ok:
            return ['cannot open the picture: ' + text]
        ok, text = windows.run('(begin (plug-in-frostweave RUN-NONINTERACTIVE img layer %s %s) '
                               '(gimp-displays-flush) %s)' % (
                                   scheme_string(os.path.join(args.source, 'presets', PRESET)),
                                   scheme_string(ITEMS), export('layer', after)))
        if not ok:
            return ['the filter failed: ' + text]
        window = wait_for_window('undo')
        if not window:
            return ['no image window:\n' + windows.output()]
        for keys, path in (('ctrl+z', undone), ('ctrl+y', redone)):
            press(window, keys)
            time.sleep(2)
            ok, text = windows.run('(begin %s)' % export('layer', path))
            if not ok:
                failures.append('export after %s failed: %s' % (keys, text))
    finally:
        windows.close()
    if failures:
        return failures
    original, filtered, back, again = (read_png(p)[4] for p in (src, after, undone, redone))
    if filtered == original:
        failures.append('the filter changed nothing')
    if back != original:
        failures.append('one undo did not restore the original (%d samples differ)'
                        % sum(a != b for a, b in zip(back, original)))
    if again != filtered:
        failures.append('redo did not bring the filtered layer back')
    print('undo: filtered %s, undo restores %s, redo %s' % (
        filtered != original, back == original, again == filtered))
    return failures


def scripted_run(windows, src, width, height, preset, items, out):
    """The filter on a fresh copy of `src` with the same ellipse, as a script calls it."""
    return windows.run('(let* ((img 0) (layer 0)) %s (plug-in-frostweave RUN-NONINTERACTIVE '
                       'img layer %s %s) %s (gimp-image-delete img))'
                       % (load_and_select(src, width, height), scheme_string(preset),
                          scheme_string(items), export('layer', out)))


def click_first_preset(dialog):
    # The presets sit in name order at the dialog's top right (aurora-ice first).
    xdotool('mousemove', '--window', dialog, '397', '80', 'click', '1')
    time.sleep(1)


def save_preset(dialog, name):
    press(dialog, 'alt+s')
    chooser = wait_for_window('^Save Frostweave Preset$', timeout=30)
    if not chooser:
        return False
    press(chooser, 'ctrl+a')
    xdotool('type', '--delay', '50', name)
    xdotool('key', 'Return')
    time.sleep(2)
    return True


def check_dialog(args, gimp, work):
    src = os.path.join(work, 'dialog.png')
    shutil.copy(os.path.join(args.source, 'cli', 'sample', 'window.png'), src)
    width, height = read_png(src)[:2]
    presets = os.path.join(args.source, 'presets')
    saved = os.path.join(gimp.profile, 'frostweave', 'presets', 'saved-test.fwv')
    out = {n: os.path.join(work, 'dialog-%s.png' % n) for n in (
        'scripted', 'defaults', 'aurora', 'saved', 'cancelled', 'accepted', 'reset', 'picked')}
    windows = GimpWindows(gimp)
    failures = []
    try:
        # Scripted runs first; the last one's settings are the last values the dialog opens
        # with.
        for name, preset, items in (('defaults', '', ''),
                                    ('aurora', os.path.join(presets, 'aurora-ice.fwv'), ''),
                                    ('scripted', os.path.join(presets, PRESET), ITEMS)):
            ok, text = scripted_run(windows, src, width, height, preset, items, out[name])
            if not ok:
                return ['the scripted run failed: ' + text]
        cycles = [
            ('cancelled', lambda d: press(d, 'Escape'), True),
            ('accepted', lambda d: press(d, 'alt+o'), False),
            ('reset', lambda d: (press(d, 'alt+r'), time.sleep(1), press(d, 'alt+o')), False),
            ('picked', lambda d: (click_first_preset(d),
                                  save_preset(d, 'saved-test') or failures.append(
                                      'the Save preset chooser did not open'),
                                  press(d, 'alt+o')), False),
        ]
        for name, act, screenshot in cycles:
            ok, text = open_picture(windows, src, width, height)  # each on the original
            if not ok:
                return ['cannot open the picture: ' + text]
            failures += run_dialog(args, windows, act, out[name], screenshot)
            if failures:
                return failures
        if not os.path.exists(saved):
            return ['Save preset... wrote no %s' % saved]
        ok, text = scripted_run(windows, src, width, height, saved, '', out['saved'])
        if not ok:
            return ['the saved preset does not load: ' + text]
    finally:
        windows.close()
    pixels = {n: read_png(p)[4] for n, p in out.items()}
    original = read_png(src)[4]
    for got, want, what in (
            ('cancelled', None, 'Cancel left the layer unchanged'),
            ('accepted', 'scripted', 'OK with the last values gave the scripted run\'s pixels'),
            ('reset', 'defaults', 'Reset then OK gave the defaults\' pixels'),
            ('picked', 'aurora', 'a click on a preset then OK gave that preset\'s pixels'),
            ('saved', 'aurora', 'the preset saved from the dialog gives the same pixels')):
        same = pixels[got] == (pixels[want] if want else original)
        print('dialog: %s: %s' % (what, same))
        if not same:
            failures.append('not so: ' + what)
    if pixels['aurora'] == pixels['defaults'] or pixels['scripted'] == pixels['defaults']:
        failures.append('the presets change nothing: the checks above prove nothing')
    return failures


def run_dialog(args, windows, act, out, screenshot):
    """Opens the dialog on `img`, lets `act` work it and exports the layer to `out`."""
    call = threading.Thread(target=lambda: windows.run(
        '(plug-in-frostweave RUN-INTERACTIVE img layer "" "")'))
    call.start()
    dialog = wait_for_window('^Frostweave$')
    if not dialog:
        return ['the dialog did not open:\n' + windows.output()]
    time.sleep(8 if screenshot else 3)  # the preview and the thumbnails render
    failures = []
    if screenshot:
        shot = args.screenshot or os.path.join(os.path.dirname(out), 'dialog-shot.png')
        subprocess.run(['import', '-window', dialog, shot], check=True)
        w, h, colours = (int(v) for v in subprocess.run(
            ['identify', '-format', '%w %h %k', shot], capture_output=True, text=True,
            check=True).stdout.split())
        print('dialog: screenshot %s, %dx%d, %d colours' % (shot, w, h, colours))
        if w < 400 or h < 300 or colours < 200:
            failures.append('the screenshot looks empty (%dx%d, %d colours)' % (w, h, colours))
    act(dialog)
    call.join(timeout=300)
    if call.is_alive():
        return failures + ['the dialog did not close']
    ok, text = windows.run('(begin (gimp-displays-flush) %s)' % export('layer', out))
    if not ok:
        failures.append('export failed: ' + text)
    return failures

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('case', choices=['pixels', 'errors', 'undo', 'dialog'])
    parser.add_argument('--build', required=True)
    parser.add_argument('--source', required=True)
    parser.add_argument('--gimp-console', default='gimp-console-2.10')
    parser.add_argument('--gimp', default='gimp-2.10')
    parser.add_argument('--frostweave')
    parser.add_argument('--screenshot')
    args = parser.parse_args()
    args.frostweave = args.frostweave or os.path.join(args.build, 'bin', 'frostweave')
    if args.case in ('undo', 'dialog') and not os.environ.get('FW_GIMP_TEST_DISPLAY'):
        # A display of its own: keys go to GIMP's windows, not to those of tests running
        # beside it on the test command's display (Wine's dialogs).
        os.environ['FW_GIMP_TEST_DISPLAY'] = '1'
        os.execvp('xvfb-run', ['xvfb-run', '-a', '-s', '-screen 0 1280x1024x24',
                               sys.executable] + sys.argv)
    work = tempfile.mkdtemp(prefix='fw-gimp-%s-' % args.case)
    try:
        gimp = Gimp(args, work)
        check = {'pixels': check_pixels, 'errors': check_errors, 'undo': check_undo,
                 'dialog': check_dialog}[args.case]
        failures = check(args, gimp, work)
    finally:
        if not os.environ.get('FW_KEEP_GIMP_TEST'):
            shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print('FAIL:', f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
