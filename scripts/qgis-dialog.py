"""Drives the plugin's algorithm dialog inside QGIS, for the window test and the
README's picture: qgis --code scripts/qgis-dialog.py, told what to do by the environment:
  KELVORY_PARAMETERS  the dialog's values, as JSON
  KELVORY_PICTURE     where to save a picture of the dialog once it is shown
  KELVORY_CANCEL      when set: press Run, and Cancel once a gdaladdo runs and the
                      progress bar has moved
  KELVORY_LOG         where to write what happened and the dialog's log at the end
QGIS is closed at the end, or after two minutes whatever happened."""

import json
import os
import time

import processing
from qgis.core import QgsApplication
from qgis.PyQt.QtCore import QTimer
from qgis.PyQt.QtWidgets import QProgressBar, QTextEdit

state = {"started": time.monotonic(), "notes": []}


def later(seconds, step):
    QTimer.singleShot(int(seconds * 1000), step)


def gdaladdo_running():
    for pid in os.listdir("/proc"):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
                if cmdline.read().split(b"\0")[0].endswith(b"/gdaladdo"):
                    return True
        except OSError:
            pass
    return False


def open_dialog():
    parameters = json.loads(os.environ.get("KELVORY_PARAMETERS", "{}"))
    dialog = processing.createAlgorithmDialog("kelvory:buildpyramids", parameters)
    if dialog is None:
        finish("no kelvory:buildpyramids")
        return
    dialog.resize(1000, 640)
    dialog.show()
    state["dialog"] = dialog
    later(1.5, shown)


def shown():
    if os.environ.get("KELVORY_PICTURE"):
        state["dialog"].grab().save(os.environ["KELVORY_PICTURE"])
    if os.environ.get("KELVORY_CANCEL"):
        state["dialog"].runButton().click()
        wait_for_progress()
    else:
        finish("shown")


def wait_for_progress():
    progress = state["dialog"].findChild(QProgressBar, "progressBar").value()
    if gdaladdo_running() and progress > 0:
        state["notes"].append(f"progress before the cancel: {progress}%")
        state["dialog"].cancelButton().click()
        state["cancelled"] = time.monotonic()
        wait_for_end()
    else:
        later(0.05, wait_for_progress)


def wait_for_end():
    if state["dialog"].cancelButton().isEnabled():
        later(0.05, wait_for_end)
        return
    state["notes"].append(f"ended {time.monotonic() - state['cancelled']:.2f} s after the cancel")
    finish("cancelled")


def finish(outcome):
    dialog = state.get("dialog")
    log = dialog.findChild(QTextEdit, "txtLog").toPlainText() if dialog else ""
    if os.environ.get("KELVORY_LOG"):
        with open(os.environ["KELVORY_LOG"], "w", encoding="utf-8") as record:
            record.write("\n".join([outcome] + state["notes"] + [log]))
    # A dialog left open when QGIS ends takes QGIS down with it.
    if dialog:
        dialog.close()
    QgsApplication.exit(0)


def give_up():
    if "dialog" not in state or state["dialog"].isVisible():
        finish("timed out")


later(1, open_dialog)
later(120, give_up)
