"""The "Build pyramids" algorithm: hands its parameters to kelvory-batch and turns the
command's events into QGIS's progress, log and outputs."""

import os
import shlex
import time

from qgis.core import (
    QgsApplication,
    QgsProcessing,
    QgsProcessingAlgorithm,
    QgsProcessingException,
    QgsProcessingOutputNumber,
    QgsProcessingParameterBoolean,
    QgsProcessingParameterDefinition,
    QgsProcessingParameterEnum,
    QgsProcessingParameterFile,
    QgsProcessingParameterFileDestination,
    QgsProcessingParameterMultipleLayers,
    QgsProcessingParameterNumber,
)
from qgis.PyQt.QtCore import QCoreApplication, QThread

from .batch import (COMPRESSION, OUTCOMES, RESAMPLING, BatchNotFound, BatchRun, Tally,
                    command_environment, command_line, option_name, shown, write_report)
from .texts import texts

# Output names by the command's outcomes.
OUTPUTS = {outcome: outcome.replace(" ", "_").upper() for outcome in OUTCOMES}
INPUTS = ("FILES", "FOLDERS", "LISTS")
ENUMS = {"RESAMPLING": RESAMPLING, "COMPRESSION": COMPRESSION}
# Exit statuses that come with every file's outcome.
SETTLED = (0, 1)
INTERRUPTED = 130


def _texts():
    return texts(QgsApplication.locale())


def _idle():
    # qgis_process runs the algorithm on the main thread and learns of a cancel only
    # through Qt's events; the window runs it on a worker thread and cancels directly.
    app = QCoreApplication.instance()
    if app is not None and QThread.currentThread() == app.thread():
        QCoreApplication.processEvents()


class BuildPyramids(QgsProcessingAlgorithm):

    def __init__(self, find_batch):
        super().__init__()
        self._find_batch = find_batch

    def createInstance(self):
        return BuildPyramids(self._find_batch)

    def name(self):
        return "buildpyramids"

    def displayName(self):
        return _texts()["algorithm"]

    def shortDescription(self):
        return _texts()["summary"]

    def shortHelpString(self):
        return _texts()["help"]

    def initAlgorithm(self, config=None):
        t = _texts()
        for name in INPUTS:
            paths = QgsProcessingParameterMultipleLayers(name, t[name], QgsProcessing.TypeFile, optional=True)
            paths.setMetadata({"widget_wrapper": {"class": __package__ + ".paths.PathListWrapper",
                                                  "kind": name.lower()}})
            self.addParameter(paths)
        # Names, not positions, are the values, so that GDAL's names work from scripts;
        # checkParameterValues lets positions and any letter case through as well.
        self.addParameter(QgsProcessingParameterEnum(
            "RESAMPLING", t["RESAMPLING"], options=list(RESAMPLING), defaultValue=RESAMPLING[0],
            usesStaticStrings=True))
        self.addParameter(QgsProcessingParameterFile(
            "DEST", t["DEST"], behavior=QgsProcessingParameterFile.Folder, optional=True))
        self.addParameter(QgsProcessingParameterEnum(
            "COMPRESSION", t["COMPRESSION"], options=list(COMPRESSION), optional=True,
            usesStaticStrings=True))
        for name in ("FORCE", "EXTERNAL", "COG"):
            self.addParameter(QgsProcessingParameterBoolean(name, t[name], defaultValue=False))
        advanced = [
            QgsProcessingParameterNumber("JOBS", t["JOBS"], QgsProcessingParameterNumber.Integer,
                                         defaultValue=0, minValue=0, maxValue=256),
            QgsProcessingParameterBoolean("CLASSIC", t["CLASSIC"], defaultValue=False),
        ]
        for parameter in advanced:
            parameter.setFlags(parameter.flags() | QgsProcessingParameterDefinition.FlagAdvanced)
            self.addParameter(parameter)
        # Optional, so that qgis_process runs without one; the dialogs still write it.
        self.addParameter(QgsProcessingParameterFileDestination(
            "REPORT", t["REPORT"], fileFilter="CSV (*.csv)", optional=True, createByDefault=True))
        for name in OUTPUTS.values():
            self.addOutput(QgsProcessingOutputNumber(name, t[name]))

    def checkParameterValues(self, parameters, context):
        t = _texts()
        if not any(parameters.get(name) for name in INPUTS):
            return False, t["no inputs"]
        for name, options in ENUMS.items():
            try:
                option_name(parameters.get(name), options)
            except ValueError:
                return False, t["bad option"].format(t[name], parameters.get(name), ", ".join(options))
        # The command refuses the pair too, but in its own option names.
        if (self.parameterAsFile(parameters, "DEST", context)
                and self.parameterAsBool(parameters, "EXTERNAL", context)):
            return False, t["external with dest"]
        rest = {name: value for name, value in parameters.items() if name not in ENUMS}
        return super().checkParameterValues(rest, context)

    def processAlgorithm(self, parameters, context, feedback):
        t = _texts()
        try:
            batch = self._find_batch()
        except BatchNotFound as error:
            raise QgsProcessingException(t["not found"].format(", ".join(error.places)))
        argv = command_line(
            batch,
            files=self._paths(parameters, "FILES", context),
            folders=self._paths(parameters, "FOLDERS", context),
            lists=self._paths(parameters, "LISTS", context),
            resampling=option_name(parameters.get("RESAMPLING"), RESAMPLING) or RESAMPLING[0],
            dest=self.parameterAsFile(parameters, "DEST", context),
            jobs=self.parameterAsInt(parameters, "JOBS", context),
            classic=self.parameterAsBool(parameters, "CLASSIC", context),
            compression=option_name(parameters.get("COMPRESSION"), COMPRESSION),
            force=self.parameterAsBool(parameters, "FORCE", context),
            external=self.parameterAsBool(parameters, "EXTERNAL", context),
            cog=self.parameterAsBool(parameters, "COG", context))
        report = self.parameterAsFileOutput(parameters, "REPORT", context)
        feedback.pushCommandInfo(t["command"].format(" ".join(shlex.quote(arg) for arg in argv)))

        run = BatchRun(argv, command_environment(QgsApplication.locale(), os.environ))
        tally = Tally()
        shown_at = 0.0
        for event in run.events(feedback.isCanceled, _idle):
            tally.add(event)
            kind = event.get("event")
            if kind == "plan":
                feedback.pushInfo(t["plan"].format(tally.planned))
            elif kind == "progress" and time.monotonic() - shown_at >= 1:
                # At most once a second: the window's log and qgis_process print every text.
                shown_at = time.monotonic()
                feedback.setProgressText("{}% · {}".format(event["percent"], shown(event["path"])))
            elif kind == "file":
                self._log_file(event, t, feedback)
            feedback.setProgress(tally.percent())

        if report:
            write_report(report, tally.files)
        if tally.planned == 0:
            feedback.pushWarning(t["no files"])
        counts = tally.counts()
        # Stopped by a cancel here or by a signal from elsewhere, the command still
        # reports every file, so the outputs count what was done.
        if run.status == INTERRUPTED:
            feedback.pushWarning(t["stop summary"].format(counts["stopped"], counts["not started"]))
        elif run.status not in SETTLED:
            raise QgsProcessingException(t["ended"].format(run.status, run.error_text()))
        results = {OUTPUTS[outcome]: counts[outcome] for outcome in OUTCOMES}
        if report:
            results["REPORT"] = report
        return results

    def _paths(self, parameters, name, context):
        # An unset list comes back as one empty path.
        return [path for path in self.parameterAsFileList(parameters, name, context) if path]

    @staticmethod
    def _log_file(event, t, feedback):
        outcome = event["outcome"]
        line = "{}: {}".format(t["outcomes"].get(outcome, outcome), event["path"])
        if event.get("reason"):
            line += ": " + event["reason"]
        # A reason may quote the path too.
        line = shown(line)
        if outcome in ("done", "up to date"):
            before, after = event.get("levels_before"), event.get("levels_after")
            feedback.pushInfo("{} ({})".format(line, t["levels"].format(before, after, event.get("seconds") or 0)))
        elif outcome == "kept":
            feedback.pushInfo(line)
        elif outcome == "stopped":
            feedback.pushWarning(line)
        elif outcome != "not started":
            # Files never reached after a stop are many and in the report; the summary
            # counts them.
            feedback.reportError(line, False)
