"""kelvory-batch as the Processing algorithm runs it: where the command is, its command
line, its --events stream and what the events add up to. No QGIS here, so the plugin's
own logic is tested without one; the folder and list rules stay in the command."""

import csv
import json
import os
import queue
import shutil
import signal
import subprocess
import threading
import time

PROGRAM = "kelvory-batch.exe" if os.name == "nt" else "kelvory-batch"

# GDAL's names, in the order of the command's help; nearest is its default.
RESAMPLING = ("nearest", "average", "bilinear", "cubic", "cubicspline", "lanczos",
              "gauss", "mode", "rms")
# gdaladdo's COMPRESS_OVERVIEW values offered; JPEG takes 8-bit data only, and gdaladdo
# says so in the file's reason.
COMPRESSION = ("DEFLATE", "LZW", "ZSTD", "JPEG", "PACKBITS", "NONE")
# "done": built or copied; "up to date": it needed nothing.
OUTCOMES = ("done", "up to date", "kept", "failed", "not found", "busy", "stopped", "not started")
REPORT_COLUMNS = ("path", "outcome", "reason", "reason_code", "levels_before",
                  "levels_after", "seconds")

# How long a command told to stop may take before it is ended outright: it ends its own
# tools at once, so only a hung one takes longer.
STOP_GRACE_SECONDS = 30


class BatchNotFound(Exception):
    """No command to run: chosen is the setting's command that is not there (else None),
    places the files looked for when the setting is empty, PATH aside."""

    def __init__(self, chosen, places=()):
        super().__init__(chosen, places)
        self.chosen = chosen
        self.places = list(places)


def find_batch(chosen, plugin_dir, search_path=None, installed_folder=None):
    """The command to run: the one chosen in the settings, else the one two folders above
    the plugin when the plugin sits in Kelvory's own folder (its qgis/kelvory), else the
    one in the folder an installer recorded, else the first on the PATH."""
    if chosen:
        if _runnable(chosen):
            return chosen
        raise BatchNotFound(chosen)
    places = []
    # A plugin installed from the zip lives among QGIS's plugins, where no Kelvory is.
    plugin_parent = os.path.dirname(os.path.realpath(plugin_dir))
    if os.path.basename(plugin_parent) == "qgis":
        places.append(os.path.join(os.path.dirname(plugin_parent), PROGRAM))
    if installed_folder:
        places.append(os.path.join(installed_folder, PROGRAM))
    for place in places:
        if _runnable(place):
            return place
    found = shutil.which(PROGRAM, path=search_path)
    if found:
        return found
    raise BatchNotFound(None, places)


def help_file(batch):
    """Kelvory's user guide installed beside the command's real file, or None."""
    guide = os.path.join(os.path.dirname(os.path.realpath(batch)), "kelvory.pdf")
    return guide if os.path.isfile(guide) else None


def _runnable(path):
    return os.path.isfile(path) and os.access(path, os.X_OK)


def installed_folder():
    """The folder Kelvory's Windows installer recorded, or None."""
    if os.name != "nt":
        return None
    import winreg
    try:
        with winreg.OpenKey(winreg.HKEY_LOCAL_MACHINE, r"Software\Kelvory", 0,
                            winreg.KEY_READ | winreg.KEY_WOW64_64KEY) as key:
            return winreg.QueryValueEx(key, "InstallDir")[0]
    except OSError:
        return None


def option_name(value, options):
    """An enumeration's option given by name (any case) or by position, as models, batch
    runs and scripts pass them; None when unset."""
    if value is None or value == "":
        return None
    text = str(value).strip()
    if text.isdigit():
        if int(text) < len(options):
            return options[int(text)]
    else:
        for option in options:
            if option.lower() == text.lower():
                return option
    raise ValueError(value)


def command_line(batch, files=(), folders=(), lists=(), resampling="nearest", dest=None,
                 jobs=0, classic=False, compression=None, force=False, external=False, cog=False):
    argv = [batch, "--events", "-r", resampling]
    if dest:
        argv += ["--dest", dest]
    if jobs:
        argv += ["--jobs", str(jobs)]
    if classic:
        argv.append("--classic")
    if force:
        argv.append("--force")
    if external:
        argv.append("--external")
    if cog:
        argv.append("--cog")
    if compression:
        argv += ["--config", "COMPRESS_OVERVIEW", compression]
    for list_file in lists:
        argv += ["--list", list_file]
    # Paths after "--", so that a file named "-x.tif" is not taken for an option.
    return argv + ["--", *files, *folders]


def command_environment(language, environ):
    """The environment for the command, whose reasons are then in QGIS's language: it takes
    its language from the first of LC_ALL, LC_MESSAGES and LANG that is set."""
    environment = dict(environ)
    name = "LC_ALL" if environment.get("LC_ALL") else "LC_MESSAGES"
    environment[name] = "ru_RU.UTF-8" if language.lower().startswith("ru") else "C.UTF-8"
    return environment


def shown(path):
    """A path as text for the log: bytes that are not UTF-8 (which the command writes as
    \\udcXX, as os.fsdecode would) become U+FFFD."""
    return path.encode("utf-8", "surrogateescape").decode("utf-8", "replace")


class Tally:
    """What the events say so far: the files planned, the ones running with their
    percentages, and every settled file's event."""

    def __init__(self):
        self.planned = None
        self.running = {}
        self.files = []

    def add(self, event):
        kind = event.get("event")
        path = event.get("path")
        if kind == "plan":
            self.planned = event["files"]
        elif kind == "start":
            self.running[path] = 0
        elif kind == "progress" and path in self.running:
            self.running[path] = event["percent"]
        elif kind == "file":
            self.running.pop(path, None)
            self.files.append(event)

    def counts(self):
        counts = dict.fromkeys(OUTCOMES, 0)
        for event in self.files:
            counts[event["outcome"]] = counts.get(event["outcome"], 0) + 1
        return counts

    def percent(self):
        """How far the build has got, counting running files by their own percentage."""
        if not self.planned:
            return 100.0 if self.planned == 0 else 0.0
        done = len(self.files) + sum(self.running.values()) / 100
        return min(100.0, 100.0 * done / self.planned)


def write_report(path, files):
    """One row per file under a header, lines ended as QGIS's own CSV files are; paths
    keep their bytes, as the command wrote them, and reasons are worded for QGIS."""
    with open(path, "w", newline="", encoding="utf-8", errors="surrogateescape") as report:
        writer = csv.writer(report, lineterminator="\n")
        writer.writerow(REPORT_COLUMNS)
        for event in files:
            row = dict(event, reason=event.get("qgis_reason", event.get("reason")))
            writer.writerow(["" if row.get(column) is None else row[column] for column in REPORT_COLUMNS])


class BatchRun:
    """One kelvory-batch with its events read as they come. events() yields them and, once
    is_canceled() says so, asks the command to stop the way Ctrl-C does, then yields
    what it reports on the way out; idle() runs at least ten times a second meanwhile."""

    def __init__(self, argv, env=None):
        options = {}
        self._asks_to_stop = True
        if os.name == "nt":
            import ctypes
            # Ctrl-Break reaches the command only through a console it shares with us
            # (qgis_process); under the QGIS window it gets none and is ended instead.
            self._asks_to_stop = bool(ctypes.windll.kernel32.GetConsoleWindow())
            options["creationflags"] = (subprocess.CREATE_NEW_PROCESS_GROUP if self._asks_to_stop
                                        else subprocess.CREATE_NO_WINDOW)
        self.process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, env=env, **options)
        self.status = None
        self.stopped = False
        self._errors = []
        self._lines = queue.Queue()
        # Threads, since pipes cannot be polled on Windows; each ends with its pipe.
        self._readers = [
            threading.Thread(target=self._read, args=(self.process.stdout, self._lines.put), daemon=True),
            threading.Thread(target=self._read, args=(self.process.stderr, self._errors.append), daemon=True),
        ]
        for reader in self._readers:
            reader.start()

    @staticmethod
    def _read(pipe, put):
        with pipe:
            for line in pipe:
                put(line)
        put(None)

    def events(self, is_canceled=lambda: False, idle=lambda: None):
        ended = False
        stop_deadline = None
        try:
            while True:
                idle()
                if is_canceled() and not self.stopped:
                    self.stop()
                    stop_deadline = time.monotonic() + STOP_GRACE_SECONDS
                if stop_deadline is not None and time.monotonic() > stop_deadline:
                    self.process.kill()
                    stop_deadline = None
                try:
                    line = self._lines.get(timeout=0.1)
                except queue.Empty:
                    continue
                if line is None:
                    ended = True
                    break
                try:
                    event = json.loads(line)
                except ValueError:
                    continue
                if isinstance(event, dict):
                    yield event
        finally:
            # A caller that gives up on the events stops the command rather than leave
            # it building behind QGIS's back.
            if not ended:
                self.stop()
                try:
                    self.process.wait(STOP_GRACE_SECONDS)
                except subprocess.TimeoutExpired:
                    self.process.kill()
            self.status = self.process.wait()
            self._readers[1].join()

    def stop(self):
        self.stopped = True
        try:
            if not self._asks_to_stop:
                self.process.terminate()
            elif os.name == "nt":
                os.kill(self.process.pid, signal.CTRL_BREAK_EVENT)
            else:
                self.process.send_signal(signal.SIGTERM)
        except OSError:
            pass  # it has just ended

    def error_text(self):
        return b"".join(line for line in self._errors if line).decode("utf-8", "replace").strip()
