#!/usr/bin/env python3
"""The soak's driver (started by bench/soak/run.sh inside a private X server and session bus).

Makes a mixed music folder, starts velora on it (velora starts its engine), then sends random
commands from a printed seed until the time is up: remote calls straight to the engine through
libxmms, taps on the window's controls with xdotool, and now and then a folder reload through
the open-folder dialog (which restarts the engine on the folder, one of whose files has gone by
then). Once a second it checks both processes and asks velora, over its desktop interface, for
the playback status: a call not answered within 1 s is a wedge.
"""
import argparse
import collections
import ctypes
import os
import random
import shutil
import signal
import subprocess
import sys
import threading
import time

WEDGE_S = 1.0


def log(msg):
    print(msg, flush=True)


def run(cmd, timeout=10):
    try:
        return subprocess.run(cmd, capture_output=True, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None


def make_media(music, rng):
    """Every format the engine plays, a file that is not audio, a truncated file."""
    tone = "sine=frequency={}:sample_rate=44100:duration=25"
    kinds = [("01-tone.m4a", ["-c:a", "aac", "-b:a", "96k"]),
             ("02-tone.aac", ["-c:a", "aac", "-b:a", "96k", "-f", "adts"]),
             ("03-tone.mp3", ["-c:a", "libmp3lame", "-b:a", "128k"]),
             ("04-tone.ogg", ["-c:a", "libvorbis"]),
             ("05-tone.flac", ["-c:a", "flac"]),
             ("06-tone.opus", ["-c:a", "libopus", "-ar", "48000"]),
             ("07-tone.wav", ["-c:a", "pcm_s16le"]),
             ("08-tone.wv", ["-c:a", "wavpack"]),
             ("09-tone.aiff", ["-c:a", "pcm_s16be"])]
    os.makedirs(music, exist_ok=True)
    made = []
    for i, (name, codec) in enumerate(kinds):
        out = os.path.join(music, name)
        cmd = ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
               tone.format(220 + 55 * i), "-ac", "2"] + codec + [out]
        if subprocess.run(cmd).returncode == 0:
            made.append(out)
    with open(os.path.join(music, "10-noise.mp3"), "wb") as f:  # not audio at all
        f.write(bytes(rng.randrange(256) for _ in range(65536)))
    with open(made[0], "rb") as f:  # an MP4 cut short in its middle
        data = f.read()
    with open(os.path.join(music, "11-cut.m4a"), "wb") as f:
        f.write(data[: len(data) // 2])
    return sorted(os.path.join(music, n) for n in os.listdir(music))


class Remote:
    """libxmms calls on session 0, each timed."""

    def __init__(self, lib):
        self.lib = ctypes.CDLL(lib)
        self.lib.xmms_remote_set_eq_band.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_float]
        self.lib.xmms_remote_set_eq_preamp.argtypes = [ctypes.c_int, ctypes.c_float]
        self.busy = None  # (name, start) of the call under way, for the watchdog

    def call(self, name, *args):
        fn = getattr(self.lib, "xmms_remote_" + name)
        self.busy = (name, time.monotonic())
        result = fn(0, *args)
        self.busy = None
        return result


def rss_kib(pid, field="VmRSS"):
    """Resident KiB: VmRSS in all, or RssAnon, the part a leak grows (RssFile is pages of files
    mapped in, such as the fonts' glyphs as more of them are drawn, which the kernel can drop)."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def sizes(pid):
    """(VmRSS, RssAnon) in KiB; None for what cannot be read."""
    return (rss_kib(pid), rss_kib(pid, "RssAnon"))


def alive(pid):
    try:
        os.kill(pid, 0)
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split(")")[-1].split()[0] != "Z"
    except OSError:
        return False


def read_skin(path):
    """The element rectangles of skins.conf: name -> (x, y, w, h)."""
    rects = {}
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if "=" not in line or line.startswith("#"):
                continue
            key, value = line.strip().split("=", 1)
            fields = value.split(",")
            if len(fields) >= 4 and all(v.strip().lstrip("-").isdigit() for v in fields[:4]):
                rects[key] = tuple(int(v) for v in fields[:4])
    return rects


class Soak:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.home = os.environ["HOME"]
        self.user = run(["id", "-un"]).stdout.strip()
        self.pidfile = os.path.join(os.environ["XDG_RUNTIME_DIR"], "xmms_%s.0.pid" % self.user)
        self.sent = collections.Counter()
        self.wedges = []
        self.events = []  # crashes and unexpected restarts
        self.reloads = 0
        self.reload_until = 0.0  # an engine restart up to then is one we asked for
        self.velora = None
        self.remote_lib = Remote(os.path.join(args.stage, "lib", "libxmms.so"))
        self.velora_starts = 0
        self.engine_pid = None
        self.engine_rss = {}  # pid -> [first sample, last sample, first seen]
        self.in_reload = False
        self.last_taps = []
        self.window = None
        self.start = time.monotonic()

    def elapsed(self):
        return time.monotonic() - self.start

    def note(self, what):
        self.events.append("%7.1f s  %s" % (self.elapsed(), what))
        log("  ! " + what)

    def wedge(self, what, seconds):
        self.wedges.append("%7.1f s  %s (%.2f s)" % (self.elapsed(), what, seconds))
        log("  ! wedge: %s took %.2f s" % (what, seconds))

    # --- processes -------------------------------------------------------------------------

    def start_velora(self):
        logf = open(os.path.join(self.home, "velora-%d.log" % self.velora_starts), "w")
        self.velora = subprocess.Popen([os.path.join(self.args.stage, "bin", "velora")],
                                       stdout=logf, stderr=subprocess.STDOUT)
        self.velora_starts += 1
        self.window = None
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and self.window is None:
            r = run(["xdotool", "search", "--onlyvisible", "--pid", str(self.velora.pid)], 5)
            ids = r.stdout.split() if r else []
            for w in ids:
                g = run(["xdotool", "getwindowgeometry", "--shell", w], 5)
                if g and "WIDTH=240" in g.stdout:
                    self.window = w
            time.sleep(0.2)
        if self.window is None:
            raise SystemExit("velora showed no 240-pixel window within 60 s")

    def engine_now(self):
        try:
            with open(self.pidfile) as f:
                pid = int(f.read().strip() or 0)
        except (OSError, ValueError):
            return None
        return pid if pid > 0 and alive(pid) else None

    def tick(self):
        if time.monotonic() >= self.next_check:
            self.check()
            self.next_check = time.monotonic() + 1

    def check(self):
        """Once a second: both processes, velora's answer, resident sizes."""
        code = self.velora.poll()
        if code is not None:
            self.note("velora ended (status %d); started again" % code)
            self.start_velora()
        pid = self.engine_now()
        now = time.monotonic()
        if pid != self.engine_pid:
            expected = now < self.reload_until
            if pid is None and not expected:
                self.note("the engine (pid %s) is gone" % self.engine_pid)
            elif pid is not None and self.engine_pid is not None and not expected:
                self.note("the engine was restarted unasked (pid %s -> %d)" % (self.engine_pid, pid))
            if pid is not None or not expected:
                self.engine_pid = pid
        if pid is not None:
            sample = sizes(pid)
            entry = self.engine_rss.setdefault(pid, [None, None, now])
            if sample[0] is not None and now - entry[2] >= 5:
                entry[0] = entry[0] or sample
                entry[1] = sample
        self.close_strays()
        # A desktop's question, answered by velora's own event loop.
        t = time.monotonic()
        r = run(["dbus-send", "--session", "--print-reply", "--reply-timeout=%d" % (WEDGE_S * 1000),
                 "--dest=org.mpris.MediaPlayer2.velora", "/org/mpris/MediaPlayer2",
                 "org.freedesktop.DBus.Properties.Get", "string:org.mpris.MediaPlayer2.Player",
                 "string:PlaybackStatus"], 30)
        took = time.monotonic() - t
        if r is None or r.returncode != 0:
            if r is not None and "ServiceUnknown" in r.stderr:
                return  # no desktop interface (a tree without it): nothing to ask
            self.wedge("velora's PlaybackStatus", took)
        self.sent["velora: PlaybackStatus"] += 1

    # --- commands --------------------------------------------------------------------------

    def remote(self, name, *args):
        t = time.monotonic()
        result = self.remote_lib.call(name, *args)
        took = time.monotonic() - t
        self.sent["remote: " + name] += 1
        if took > WEDGE_S:
            self.wedge("xmms_remote_" + name, took)
        return result

    def tap(self, name, x=None, y=None):
        if self.window is None or name not in self.skin:
            return
        ex, ey, ew, eh = self.skin[name]
        x = ex + ew // 2 if x is None else x
        y = ey + eh // 2 if y is None else y
        run(["xdotool", "mousemove", "--window", self.window, str(x), str(y), "click", "1"], 10)
        self.sent["tap: " + name] += 1
        self.last_taps = (self.last_taps + ["%s (%d, %d)" % (name, x, y)])[-4:]

    def random_remote(self):
        rng = self.rng
        kind = rng.choice(["play", "pause", "stop", "next", "prev", "jump", "seek", "volume",
                           "eq", "band", "preamp", "shuffle", "repeat", "poll", "poll"])
        if kind in ("play", "pause", "stop"):
            self.remote(kind)
        elif kind == "next":
            self.remote("playlist_next")
        elif kind == "prev":
            self.remote("playlist_prev")
        elif kind == "jump":
            length = self.remote("get_playlist_length")
            # Now and then a position past either end, as a careless client sends it.
            self.remote("set_playlist_pos", rng.randrange(-2, max(length, 1) + 2))
        elif kind == "seek":
            self.remote("jump_to_time", rng.randrange(0, 30000))
        elif kind == "volume":
            self.remote("set_main_volume", rng.randrange(0, 101))
        elif kind == "eq":
            self.remote("toggle_eq_active")
        elif kind == "band":
            self.remote("set_eq_band", rng.randrange(10), rng.uniform(-20, 20))
        elif kind == "preamp":
            self.remote("set_eq_preamp", rng.uniform(-20, 20))
        elif kind == "shuffle":
            self.remote("toggle_shuffle")
        elif kind == "repeat":
            self.remote("toggle_repeat")
        else:
            for q in ("is_playing", "is_paused", "get_output_time", "get_playlist_pos"):
                self.remote(q)

    def random_tap(self):
        rng = self.rng
        # Controls that open a dialog, a menu (the font size), another window mode or end velora
        # are left out: the folder reload below is the one dialog the soak drives, and it closes
        # it again.
        common = ["prev", "play", "stop", "next", "pos_A", "pos_B", "posbar", "VL_BTN",
                  "btn_plistwin", "btn_lrcwin", "btn_eqwin", "audio3d_btn", "bassbooster"]
        panels = {"btn_plistwin": ["shuf_BTN", "repeat_BTN", "plist_Bar", "plistwin"],
                  "btn_lrcwin": ["showlrc_BTN", "textcodec_BTN", "lrcwin_show"],
                  "btn_eqwin": ["EQE_BTN", "EQ_BTN_ZERO", "EQ", "EQ_Preamp"]}
        choices = [(None, c) for c in common]
        choices += [(tab, c) for tab, cs in panels.items() for c in cs for _ in (1, 2)]
        tab, name = rng.choice(choices)
        if name not in self.skin:
            return
        # A panel's controls share places with other panels' (the folder and colour buttons
        # among them): its tab first, so the tap lands on the control meant.
        if tab:
            self.tap(tab)
        x, y, w, h = self.skin[name]
        if name in ("posbar", "VL_BTN"):
            self.tap(name, x + rng.randrange(max(w, 1)), y + h // 2)
        elif name == "plistwin":  # an entry of the list, above the tabs
            self.tap(name, x + rng.randrange(20, max(w - 30, 21)), y + rng.randrange(28, 140))
        elif name == "EQ":  # one of the ten band sliders
            self.tap(name, x + 18 * rng.randrange(10) + w // 2, y + rng.randrange(max(h, 1)))
        elif name in ("EQ_Preamp", "plist_Bar"):
            self.tap(name, x + w // 2, y + rng.randrange(max(h, 1)))
        else:
            self.tap(name)

    def close_strays(self):
        """A window velora opened that the soak did not mean to (a tap gone astray) is closed,
        and said: it would hold the main window for the rest of the run."""
        r = run(["xdotool", "search", "--onlyvisible", "--name", "."], 5)
        for w in (r.stdout.split() if r else []):
            if w == self.window:
                continue
            n = run(["xdotool", "getwindowname", w], 5)
            name = n.stdout.strip() if n else "?"
            if name == "Open Folder" and self.in_reload:
                continue
            self.note("a window \"%s\" was open; closed with Escape (the last taps: %s)"
                      % (name, ", ".join(self.last_taps)))
            run(["xdotool", "key", "--window", w, "Escape"], 5)

    def folder_reload(self):
        """Open folder, OK: velora writes the folder as the playlist and restarts the engine."""
        music = os.path.join(self.home, "music")
        vanishing = os.path.join(music, "00-vanishing.mp3")
        shutil.copy(os.path.join(music, "03-tone.mp3"), vanishing)
        old_engine = self.engine_now()
        self.tap("btn_plistwin")
        self.in_reload = True
        self.tap("OP_BTN")
        self.sent["reload: open folder"] += 1
        t = time.monotonic()
        dialog = None
        while dialog is None and time.monotonic() - t < 10:
            r = run(["xdotool", "search", "--onlyvisible", "--name", "Open Folder"], 5)
            ids = r.stdout.split() if r else []
            dialog = ids[0] if ids else None
            if dialog is None:
                self.tick()
                time.sleep(0.1)
        if dialog is None:
            self.note("the open-folder dialog did not show within 10 s")
            os.remove(vanishing)
            self.in_reload = False
            return
        g = run(["xdotool", "getwindowgeometry", "--shell", dialog], 5)
        geo = dict(l.split("=", 1) for l in g.stdout.split() if "=" in l) if g else {}
        w, h = int(geo.get("WIDTH", 220)), int(geo.get("HEIGHT", 240))
        self.reload_until = time.monotonic() + 30
        run(["xdotool", "mousemove", "--window", dialog, str(w // 2), str(h - 14), "click", "1"])
        t = time.monotonic()
        while time.monotonic() - t < 10:
            r = run(["xdotool", "search", "--onlyvisible", "--name", "Open Folder"], 5)
            if r and not r.stdout.split():
                break
            self.tick()
            time.sleep(0.1)
        else:
            self.note("the open-folder dialog did not close on OK; closed with Escape")
            run(["xdotool", "key", "--window", dialog, "Escape"])
        self.reloads += 1
        self.in_reload = False
        # Gone once a new engine has the folder: its playlist now names a missing file.
        t = time.monotonic()
        while time.monotonic() - t < 20 and self.engine_now() in (None, old_engine):
            self.tick()
            time.sleep(0.1)
        os.remove(vanishing)

    # --- the run ---------------------------------------------------------------------------

    def watchdog(self):
        """Reports a remote call stuck far past the wedge limit while it is still stuck."""
        reported = None
        while not self.done:
            busy = self.remote_lib.busy
            if busy and time.monotonic() - busy[1] > 10 and busy != reported:
                log("  ! xmms_remote_%s has not returned for 10 s" % busy[0])
                reported = busy
            time.sleep(0.5)

    def run(self):
        try:
            self.soak()
        finally:
            self.end_processes()

    def end_processes(self):
        """velora and the engine it runs now end with the soak, however it ends."""
        if self.velora and self.velora.poll() is None:
            self.velora.send_signal(signal.SIGTERM)
            try:
                self.velora.wait(10)
            except subprocess.TimeoutExpired:
                self.velora.kill()
        pid = self.engine_now()
        if pid:
            self.remote_lib.call("quit")
            for _ in range(20):
                if not alive(pid):
                    break
                time.sleep(0.1)
            if alive(pid):
                os.kill(pid, signal.SIGKILL)

    def soak(self):
        args = self.args
        log("soak: seed %d, %d s, commands: %s" % (args.seed, args.seconds, args.kinds))
        music = os.path.join(self.home, "music")
        files = make_media(music, self.rng)
        xmms = os.path.join(self.home, ".xmms")
        os.makedirs(xmms, exist_ok=True)
        with open(os.path.join(xmms, "config"), "w") as f:
            f.write("[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=TRUE\n")
        with open(os.path.join(xmms, "pelmar_cfg"), "w") as f:
            f.write("[pelskin]\nshowlrc=true\nstorage_card=%s\nstorage_internal=%s\n"
                    % (music, music))
        with open(os.path.join(xmms, "xmms.m3u"), "w") as f:
            for p in files[:6] + [os.path.join(music, "gone.ogg")] + files[6:]:
                f.write(p + "\n")
        log("playlist: %d entries (%s), one missing"
            % (len(files) + 1, ", ".join(os.path.basename(p) for p in files)))
        self.start_velora()
        skin = os.path.join(self.home, "skins", "default", "skins.conf")
        self.skin = read_skin(skin) if os.path.exists(skin) else {}
        if not self.skin:
            log("no skin found at %s: taps are left out" % skin)
        t = time.monotonic()
        while self.engine_now() is None and time.monotonic() - t < 30:
            time.sleep(0.2)
        self.engine_pid = self.engine_now()
        if self.engine_pid is None:
            raise SystemExit("velora started no engine within 30 s")
        log("velora pid %d, engine pid %d" % (self.velora.pid, self.engine_pid))
        self.remote("play")
        time.sleep(5)  # settled: the sizes below are those of a player at work
        self.check()
        velora_start = sizes(self.velora.pid)
        velora_pid = self.velora.pid
        self.done = False
        threading.Thread(target=self.watchdog, daemon=True).start()

        self.start = time.monotonic()
        deadline = self.start + args.seconds
        self.next_check = self.start + 1
        next_reload = self.start + self.rng.expovariate(1 / 90.0)
        commands = 0
        velora_warm = None  # after a minute of commands: every panel drawn, caches filled
        self.velora_minutes = []
        kinds = args.kinds.split(",")
        taps = self.skin and "taps" in kinds
        reloads = self.skin and "reloads" in kinds
        while time.monotonic() < deadline:
            now = time.monotonic()
            if now - self.start >= 60 * (len(self.velora_minutes) + 1):
                self.velora_minutes.append(sizes(self.velora.pid))
            if velora_warm is None and now - self.start >= 60:
                velora_warm = sizes(self.velora.pid)
            self.tick()
            if now >= next_reload and reloads:
                self.folder_reload()
                next_reload = time.monotonic() + self.rng.expovariate(1 / 90.0)
            elif taps and ("remote" not in kinds or self.rng.random() < 0.25):
                self.random_tap()
            elif "remote" in kinds:
                self.random_remote()
            else:
                time.sleep(0.1)
                continue
            commands += 1
            time.sleep(self.rng.uniform(0, 0.04))  # at most about 50 a second
        self.done = True
        self.check()
        velora_end = sizes(self.velora.pid)
        self.report(commands, velora_pid, (velora_start, velora_warm, velora_end))

    def report(self, commands, velora_pid, velora_rss):
        secs = time.monotonic() - self.start
        log("")
        log("== soak: seed %d, %.0f s, %d commands (%.1f a second), %d folder reloads"
            % (self.args.seed, secs, commands, commands / secs, self.reloads))
        for name, n in sorted(self.sent.items()):
            log("  %-32s %6d" % (name, n))
        log("wedges (calls not answered within %.0f s): %d" % (WEDGE_S, len(self.wedges)))
        for w in self.wedges:
            log("  " + w)
        log("crashes and unexpected restarts: %d (velora started %d times)"
            % (len(self.events), self.velora_starts))
        for e in self.events:
            log("  " + e)

        def one(k, text):
            return "?" if k is None else text % k

        def mib(k):  # a (resident, anonymous) pair
            k = k or (None, None)
            return "%s (anon %s)" % (one(k[0] and k[0] / 1024.0, "%.2f MiB"),
                                     one(k[1] and k[1] / 1024.0, "%.2f"))

        def growth(a, b):
            if not a or not b or None in a or None in b:
                return "?"
            return "%+d KiB (anon %+d)" % (b[0] - a[0], b[1] - a[1])

        same = self.velora.pid == velora_pid
        start, warm, end = velora_rss
        log("resident size, velora: start %s, end %s, growth %s; after the first minute %s, "
            "growth since %s%s"
            % (mib(start), mib(end), growth(start, end), mib(warm), growth(warm, end),
               "" if same else " (velora was started again meanwhile)"))
        log("resident size, velora, each minute (MiB, anon): %s"
            % ", ".join("%s %s" % (one(k[0] and k[0] / 1024.0, "%.2f"),
                                   one(k[1] and k[1] / 1024.0, "%.2f"))
                        for k in self.velora_minutes))
        engines = [(v[2], pid, v[0], v[1]) for pid, v in self.engine_rss.items()]
        engines.sort()
        for seen, pid, first, last in engines:
            log("resident size, engine pid %d (from %.0f s): first %s, last %s, growth %s"
                % (pid, max(0.0, seen - self.start), mib(first), mib(last), growth(first, last)))


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--stage", required=True)
    p.add_argument("--seconds", type=int, default=600)
    p.add_argument("--seed", type=int, default=None)
    p.add_argument("--kinds", default="remote,taps,reloads",
                   help="which commands to send (to tell which of them a growth follows)")
    args = p.parse_args()
    if args.seed is None:
        args.seed = random.randrange(1 << 31)
    Soak(args).run()


if __name__ == "__main__":
    main()
