#!/usr/bin/python3
"""End-to-end tests of the real program: started under Xvfb with a window manager and driven
through AT-SPI, as a screen reader or a user would. Sound is checked at the monitor of the
private null sink that OPT_PULSE_SINK names (scripts/test.sh starts it).

Usage: e2e.py PROGRAM_FOLDER   (the built program folder: executable, sounds, skin, cursor)
"""
import array
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

BUILT = os.path.abspath(sys.argv[1])
EXE = "orvo-peln-tandrick"
SUPPORT_TAIL = "\r\rPlease email screenshot of this message to "


def wait_for(what, timeout=30.0, step=0.05):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = what()
        if value:
            return value
        time.sleep(step)
    return None


class Rig:
    """Xvfb, a session bus with the accessibility bus, and openbox."""

    def __init__(self):
        self.procs = []
        self.dir = tempfile.mkdtemp(prefix="opt-e2e-")
        # About one start in a hundred opens the home page; without a browser opener that is an
        # error box before the window shows. The programs here find one that opens nothing.
        self.bin = os.path.join(self.dir, "bin")
        os.makedirs(self.bin)
        with open(os.path.join(self.bin, "xdg-open"), "w") as f:
            f.write("#!/bin/sh\nexit 0\n")
        os.chmod(os.path.join(self.bin, "xdg-open"), 0o755)
        # A display of our own: the first free number from 50 that a new server can take.
        for number in range(50, 100):
            if os.path.exists("/tmp/.X11-unix/X%d" % number) or os.path.exists("/tmp/.X%d-lock" % number):
                continue
            xvfb = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                                     "-noreset"], stderr=subprocess.DEVNULL)
            os.environ["DISPLAY"] = ":%d" % number
            if wait_for(lambda: xvfb.poll() is not None or subprocess.run(
                    ["xprop", "-root"], capture_output=True).returncode == 0) and xvfb.poll() is None:
                self.procs.append(xvfb)
                break
            xvfb.kill()
            xvfb.wait()
        else:
            raise AssertionError("the X server did not start")
        rfd, wfd = os.pipe()
        self.procs.append(subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=%d" % wfd],
            pass_fds=[wfd], stderr=subprocess.DEVNULL))
        os.close(wfd)
        address = b""
        while not address.endswith(b"\n"):
            address += os.read(rfd, 256)
        os.close(rfd)
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = address.decode().strip()
        ok = wait_for(lambda: subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"], capture_output=True).returncode == 0)
        assert ok, "the accessibility bus did not start"
        self.procs.append(subprocess.Popen(["openbox", "--sm-disable"], stderr=subprocess.DEVNULL))
        ok = wait_for(lambda: subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                             capture_output=True).stdout.count(b"window id") > 0)
        assert ok, "the window manager did not start"

    def close(self):
        for p in reversed(self.procs):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(self.dir, ignore_errors=True)


class Recorder:
    """What the null sink plays, from its monitor, as 16-bit stereo at 44.1 kHz."""

    def __init__(self):
        sink = os.environ.get("OPT_PULSE_SINK")
        assert sink, "no private sound server: run through scripts/test.sh"
        self.proc = subprocess.Popen(
            ["parec", "-d", sink + ".monitor", "--format=s16le", "--rate=44100",
             "--channels=2", "--latency-msec=20", "--raw"], stdout=subprocess.PIPE)
        os.set_blocking(self.proc.stdout.fileno(), False)
        self.data = bytearray()

    def collect(self):
        while True:
            chunk = self.proc.stdout.read(65536)
            if not chunk:
                break
            self.data += chunk

    def peak(self, start=0, end=None):
        """Peak of frames start..end (negative: counted from the end), after collecting."""
        self.collect()
        frames = len(self.data) // 4
        end = frames if end is None else end
        start, end = (start + frames if start < 0 else start), (end + frames if end < 0 else end)
        samples = array.array("h", bytes(self.data[start * 4:end * 4]))
        return max((abs(s) for s in samples), default=0) / 32768.0

    def holes_and_largest_step(self):
        """The holes inside the sound (2 ms or more of silence on both sides, as frame and
        length), the largest sample-to-sample step on either side outside their edges and its
        frame, and the sound's last frame, after collecting. A hole is the server's or a late
        answer of the program's; a step outside one is a cut in the sound."""
        self.collect()
        samples = array.array("h", bytes(self.data[:len(self.data) // 4 * 4]))
        frames = len(samples) // 2
        loud = [i for i in range(frames) if abs(samples[2 * i]) > 100 or abs(samples[2 * i + 1]) > 100]
        holes, run = [], 0
        for i in range(loud[0], loud[-1] + 1) if loud else ():
            if samples[2 * i] == 0 and samples[2 * i + 1] == 0:
                run += 1
                continue
            if run >= 88:
                holes.append((i - run, run))
            run = 0
        edges = {at for start, length in holes for at in (start, start + length)}
        step, at = max(((abs(samples[2 * i + c] - samples[2 * i - 2 + c]), i)
                        for i in range(1, frames) if i not in edges for c in (0, 1)), default=(0, 0))
        return holes, step / 32768.0, at, loud[-1] if loud else 0

    def sound_then_silence(self):
        """True once the recording holds sound followed by 0.5 s of silence. The monitor may
        deliver a second or more late, so this waits for it."""
        return bool(wait_for(lambda: self.peak() > 0.1 and self.peak(-22050) < 0.003, 6, 0.1))

    def close(self):
        self.proc.kill()
        self.proc.wait()


class Program:
    """A fresh program folder and settings location, and the program started in it."""

    def __init__(self, rig, name, sounds=None, settings=None, env=None):
        self.folder = os.path.join(rig.dir, name)
        self.config = os.path.join(rig.dir, name + "-config")
        os.makedirs(os.path.join(self.folder, "sounds"))
        shutil.copy2(os.path.join(BUILT, EXE), self.folder)
        os.makedirs(os.path.join(self.folder, "x"))
        shutil.copy2(os.path.join(BUILT, "x", "o.cjs"), os.path.join(self.folder, "x"))
        shutil.copy2(os.path.join(BUILT, "HAND-M.CUR"), self.folder)
        for sound in sounds or []:
            shutil.copy2(os.path.join(BUILT, "sounds", sound), os.path.join(self.folder, "sounds"))
        os.makedirs(self.config)
        self.settings_file = os.path.join(self.config, "Kestrani.ini")
        if settings:
            with open(self.settings_file, "w") as f:
                f.write("[Orvo%20Peln%20Tandrick]\n" + "".join("%s=%s\n" % kv for kv in settings.items()))
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   XDG_CONFIG_HOME=self.config, PATH=rig.bin + os.pathsep + os.environ["PATH"],
                   **(env or {}))
        self.proc = subprocess.Popen([os.path.join(self.folder, EXE)], cwd=self.folder, env=env,
                                     stderr=subprocess.PIPE)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.said()
        if "orvo-peln-tandrick:" in self.errors:
            print("    program said: " + self.errors.strip().replace("\n", "\n    "))

    def said(self):
        """What the ended program wrote on standard error."""
        self.proc.wait()
        if not hasattr(self, "errors"):
            self.errors = self.proc.stderr.read().decode(errors="replace")
        return self.errors

    def stored(self):
        try:
            with open(self.settings_file) as f:
                return dict(re.findall(r"^(\w+)=(.*)$", f.read(), re.M))
        except FileNotFoundError:
            return {}


def run():
    rig = Rig()
    import pyatspi  # after the session bus exists

    def app_of(program):
        def find():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                try:
                    if app is not None and app.get_process_id() == program.proc.pid:
                        return app
                except Exception:
                    pass
            return None
        app = wait_for(find)
        assert app, "the program did not show up on the accessibility bus"
        return app

    def descendants(node, depth=0):
        """The tree below node; parts that vanish while it is walked (a closed box) are passed over."""
        if node is None or depth > 25:
            return
        try:
            count = node.childCount
        except Exception:
            return
        yield node
        for i in range(count):
            try:
                child = node.getChildAtIndex(i)
            except Exception:
                continue
            yield from descendants(child, depth + 1)

    def showing(node):
        try:
            return node.getState().contains(pyatspi.STATE_SHOWING)
        except Exception:
            return False

    def fresh(node):
        """The client keeps a cache of the tree that a busy machine can leave stale (a window
        that appeared after the first look); drop it before each look."""
        try:
            node.clear_cache()
        except Exception:
            pass
        return node

    def find(app, roles, name=None, must_show=True, timeout=30.0):
        """The first node of one of the roles (and name) below app, waiting up to timeout for
        it to appear; None when it does not."""
        roles = roles if isinstance(roles, tuple) else (roles,)

        def look():
            for node in descendants(fresh(app)):
                try:
                    if node.getRole() in roles and (name is None or node.name == name) and (
                            not must_show or showing(node)):
                        return node
                except Exception:
                    continue
            return None
        return wait_for(look, timeout) if timeout else look()

    def alerts(app):
        found = []
        for n in descendants(fresh(app)):
            try:
                if n.getRole() == pyatspi.ROLE_ALERT and showing(n):
                    found.append(n)
            except Exception:
                pass
        return found

    def main_window(app):
        # A plain top-level widget shows as a filler, a decorated one as a frame.
        window = find(app, (pyatspi.ROLE_FILLER, pyatspi.ROLE_FRAME), "Orvo Peln Tandrick")
        assert window is not None, "the main window did not show up on the accessibility bus"
        return window

    def volume_slider(app):
        return find(app, pyatspi.ROLE_SLIDER)

    def press(node):
        assert node is not None, "nothing to press"
        node.queryAction().doAction(0)

    failures = []

    def scenario(fn):
        # Each scenario runs once; a failure is counted and the rest still run.
        try:
            fn()
        except Exception as e:
            failures.append(fn.__name__)
            print("FAIL!  : %s: %s" % (fn.__name__, str(e) or repr(e)))
            return
        print("PASS   : " + fn.__name__)

    three = ["03 Sine 50 Hz.mp3", "05 Sine 80 Hz.mp3", "12 Sine 100 Hz.mp3"]

    def first_start_with_three_tests():
        p = Program(rig, "first", three)
        try:
            app = app_of(p)
            frame = main_window(app)
            assert frame, "no main window"
            assert not alerts(app), "an error report was shown"
            combo = find(app, pyatspi.ROLE_COMBO_BOX)
            assert combo.name == "03 Sine 50 Hz", combo.name
            items = [n.name for n in descendants(combo) if n.getRole() == pyatspi.ROLE_LIST_ITEM]
            assert items == ["03 Sine 50 Hz", "05 Sine 80 Hz", "12 Sine 100 Hz"], items
            sliders = [n for n in descendants(app) if n.getRole() == pyatspi.ROLE_SLIDER]
            values = sorted(int(s.queryValue().currentValue) for s in sliders)
            assert values == [1, 50], values
            button = find(app, pyatspi.ROLE_PUSH_BUTTON, "Play Test")
            assert button, "no play button"
            assert p.stored().get("Combo1") == "0", p.stored()
        finally:
            p.stop()

    def empty_sounds_folder_reports_line_138():
        p = Program(rig, "empty", [])
        try:
            app = app_of(p)
            alert = wait_for(lambda: (alerts(app) or [None])[0])
            assert alert, "no error report"
            assert alert.name == "Application Error", alert.name
            label = next(n for n in descendants(alert) if n.getRole() == pyatspi.ROLE_LABEL and "line" in n.name)
            text = label.name
            assert text.startswith("Invalid property value\nin Thrumbox2021/08/31.Form1.Form_Load at line 138\n\n"
                                   "Please email screenshot of this message to "), repr(text)
            assert not find(app, (pyatspi.ROLE_FILLER, pyatspi.ROLE_FRAME), "Orvo Peln Tandrick",
                            timeout=0), "window shown before the report"
            press(find(alert, pyatspi.ROLE_PUSH_BUTTON, "OK"))
            assert main_window(app), "no main window after the report"
            combo = find(app, pyatspi.ROLE_COMBO_BOX)
            assert not [n for n in descendants(combo) if n.getRole() == pyatspi.ROLE_LIST_ITEM]
        finally:
            p.stop()

    def play_and_stop_are_heard():
        recorder = Recorder()
        p = Program(rig, "play", three, {"Volume": "100"})
        try:
            app = app_of(p)
            main_window(app)
            press(find(app, pyatspi.ROLE_PUSH_BUTTON, "Play Test"))
            assert find(app, pyatspi.ROLE_PUSH_BUTTON, "Stop"), "caption did not turn to Stop"
            time.sleep(1.0)
            press(find(app, pyatspi.ROLE_PUSH_BUTTON, "Stop"))
            assert find(app, pyatspi.ROLE_PUSH_BUTTON, "Play Test"), "caption did not return"
            assert recorder.sound_then_silence(), "no sound, or sound after Stop"
        finally:
            p.stop()
            recorder.close()

    def a_moved_slider_is_saved_at_once():
        p = Program(rig, "slider", three)
        try:
            app = app_of(p)
            main_window(app)
            volume = volume_slider(app)
            volume.queryValue().currentValue = 80
            assert wait_for(lambda: p.stored().get("Volume") == "80"), p.stored()
            assert p.proc.poll() is None
        finally:
            p.stop()

    def close_window(p):
        """Closes the program's window with the window manager's close key; returns when sent."""
        window = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(p.proc.pid)],
                                capture_output=True, text=True).stdout.split()[0]
        subprocess.run(["xdotool", "windowactivate", "--sync", window])
        start = time.monotonic()
        subprocess.run(["xdotool", "key", "alt+F4"])
        return start

    def closing_while_playing_ends_the_process():
        recorder = Recorder()
        p = Program(rig, "close", three, {"Volume": "100"})
        try:
            app = app_of(p)
            main_window(app)
            press(find(app, pyatspi.ROLE_PUSH_BUTTON, "Play Test"))
            time.sleep(0.8)
            close_window(p)
            assert wait_for(lambda: p.proc.poll() is not None, 10), "the process did not end"
            assert recorder.sound_then_silence(), "no sound, or sound after the close"
            # A 50 Hz tone at full volume moves at most about 0.5 % of full scale from one
            # sample to the next; the end of the process must not cut it mid-wave.
            holes, step, at, last = recorder.holes_and_largest_step()
            # A hole the server left is told; one the program made by answering late fails, and
            # the program says so itself.
            if holes:
                print("    %d hole(s) inside the sound, the first %d frames long at frame %d"
                      % (len(holes), holes[0][1], holes[0][0]))
                assert "ran dry" not in p.said(), p.said()
            assert step < 0.01, "a step of %.3f at frame %d, the sound's last at %d" % (step, at, last)
            assert "Pitch" in p.stored()
        finally:
            p.stop()
            recorder.close()

    def closing_while_the_server_hangs_ends_at_once():
        # A sound server that takes the connection and never answers: the press waits for it
        # (up to its limit), the close of the window does not.
        path = os.path.join(rig.dir, "mute-server")
        mute = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        mute.bind(path)
        mute.listen(4)
        p = Program(rig, "hang", three, env={"PULSE_SERVER": "unix:" + path})
        try:
            app = app_of(p)
            main_window(app)
            press(find(app, pyatspi.ROLE_PUSH_BUTTON, "Play Test"))
            time.sleep(0.3)
            start = close_window(p)
            assert wait_for(lambda: p.proc.poll() is not None, 10, 0.002), "the process did not end"
            took = time.monotonic() - start
            print("    the window closed with the server hanging: the process ended in %.0f ms"
                  % (took * 1000))
            # Far above the usual figure (see the line above), far below the press's own
            # limit on the server (2 s), which the close must not wait for.
            assert took < 1.0, "the close waited %.2f s for the server" % took
        finally:
            p.stop()
            mute.close()

    def a_logout_closes_like_the_close_box():
        p = Program(rig, "sigterm", three)
        try:
            app = app_of(p)
            main_window(app)
            volume = volume_slider(app)
            volume.queryValue().currentValue = 70
            os.kill(p.proc.pid, signal.SIGTERM)
            assert wait_for(lambda: p.proc.poll() is not None, 10), "the process did not end"
            assert p.proc.returncode == 0, p.proc.returncode
            assert p.stored().get("Volume") == "70", p.stored()
        finally:
            p.stop()

    scenarios = (first_start_with_three_tests, empty_sounds_folder_reports_line_138,
                 play_and_stop_are_heard, a_moved_slider_is_saved_at_once,
                 closing_while_playing_ends_the_process, closing_while_the_server_hangs_ends_at_once,
                 a_logout_closes_like_the_close_box)
    try:
        for fn in scenarios:
            scenario(fn)
    finally:
        rig.close()
    print("Totals: %d passed, %d failed" % (len(scenarios) - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *a: sys.exit(1))
    sys.exit(run())
