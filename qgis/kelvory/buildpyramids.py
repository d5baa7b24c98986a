"""The algorithm that builds pyramids in many files at once: hands its parameters to
kelvory-batch and turns the command's events into QGIS's progress, log and outputs."""

import html
import os
import shlex

from qgis.core import (
    QgsApplication,
    QgsProcessing,
    QgsProcessingAlgorithm,
    QgsProcessingContext,
    QgsProcessingException,
    QgsProcessingOutputNumber,
    QgsProcessingParameterBoolean,
    QgsProcessingParameterDefinition,
    QgsProcessingParameterEnum,
    QgsProcessingParameterFile,
    QgsProcessingParameterFileDestination,
    QgsProcessingParameterMultipleLayers,
    QgsProcessingParameterNumber,
    QgsProviderRegistry,
)
from qgis.PyQt.QtCore import QCoreApplication, QThread, QUrl
from qgis.PyQt.QtGui import QIcon

from .batch import (COMPRESSION, OUTCOMES, RESAMPLING, BatchNotFound, BatchRun, Tally,
                    command_environment, command_line, help_file, option_name, shown, write_report)
from .texts import HELP, OUTCOME_WORDS, later, missing_batch, tr

LAYERS = "LAYERS"
FILES = "FILES"
FOLDERS = "FOLDERS"
LISTS = "LISTS"
RESAMPLING_NAME = "RESAMPLING"
DEST = "DEST"
COMPRESSION_NAME = "COMPRESSION"
FORCE = "FORCE"
EXTERNAL = "EXTERNAL"
COG = "COG"
JOBS = "JOBS"
CLASSIC = "CLASSIC"
FAIL_ON_ERROR = "FAIL_ON_ERROR"
REPORT = "REPORT"
SUMMARY = "SUMMARY"

PATH_INPUTS = (FILES, FOLDERS, LISTS)
ENUMS = {RESAMPLING_NAME: RESAMPLING, COMPRESSION_NAME: COMPRESSION}
# Output names by the command's outcomes.
OUTPUTS = {outcome: outcome.replace(" ", "_").upper() for outcome in OUTCOMES}
# Exit statuses that come with every file's outcome: all worked out, or not.
SETTLED = (0, 1)
INTERRUPTED = 130
ICON = os.path.join(os.path.dirname(__file__), "algorithm.svg")
TAGS = later("pyramids,overviews,gdaladdo,tiff,geotiff,cog,raster,batch,folder,many files")


def _idle():
    # qgis_process runs the algorithm on the main thread and learns of a cancel only
    # through Qt's events; the window runs it on a worker thread and cancels directly.
    app = QCoreApplication.instance()
    if app is not None and QThread.currentThread() == app.thread():
        QCoreApplication.processEvents()


def _layer_file(layer):
    """The file a raster layer reads, or None with why it is not one."""
    if layer.providerType() != "gdal":
        return None, tr("not a file but a “{0}” layer").format(layer.providerType())
    parts = QgsProviderRegistry.instance().decodeUri("gdal", layer.source())
    path = parts.get("path") or ""
    # Inside an archive, or one of several images in a file: the file is not the layer's own.
    if parts.get("vsiPrefix") or parts.get("layerName") or not os.path.isfile(path):
        return None, tr("not a file of its own on this computer's disks: {0}").format(layer.source())
    return path, None


class BuildPyramids(QgsProcessingAlgorithm):

    def __init__(self, find_batch):
        super().__init__()
        self._find_batch = find_batch

    def createInstance(self):
        return BuildPyramids(self._find_batch)

    def name(self):
        return "buildpyramids"

    def displayName(self):
        # QGIS's own "Build overviews (pyramids)" is beside it in the toolbox and in searches.
        return tr("Kelvory: build pyramids in many files at once")

    def group(self):
        return tr("Pyramids")

    def groupId(self):
        return "pyramids"

    def tags(self):
        # The English words too, so that a search in either language finds it.
        return sorted(set(TAGS.split(",")) | set(tr(TAGS).split(",")))

    def icon(self):
        return QIcon(ICON)

    def svgIconPath(self):
        return ICON

    def shortDescription(self):
        return tr("Builds overview pyramids in TIFF files, raster layers, whole folders and list files at once.")

    def shortHelpString(self):
        # Plain paragraphs: the dialog makes each line one, and qgis_process prints them as they are.
        return "\n".join(tr(paragraph) for paragraph in HELP)

    def helpString(self):
        return "".join("<p>{}</p>".format(html.escape(tr(paragraph))) for paragraph in HELP)

    def helpUrl(self):
        try:
            guide = help_file(self._find_batch())
        except BatchNotFound:
            return ""
        return QUrl.fromLocalFile(guide).toString() if guide else ""

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterMultipleLayers(
            LAYERS, tr("Raster layers"), QgsProcessing.TypeRaster, optional=True))
        labels = {FILES: tr("TIFF files"), FOLDERS: tr("Folders (every TIFF file below)"),
                  LISTS: tr("List files (one path per line)")}
        for name in PATH_INPUTS:
            paths = QgsProcessingParameterMultipleLayers(name, labels[name], QgsProcessing.TypeFile, optional=True)
            paths.setMetadata({"widget_wrapper": {"class": __package__ + ".paths.PathListWrapper",
                                                  "kind": name.lower()}})
            self.addParameter(paths)
        # Names, not positions, are the values, so that GDAL's names work from scripts;
        # checkParameterValues lets positions and any letter case through as well.
        self.addParameter(QgsProcessingParameterEnum(
            RESAMPLING_NAME, tr("Resampling"), options=list(RESAMPLING), defaultValue=RESAMPLING[0],
            usesStaticStrings=True))
        self.addParameter(QgsProcessingParameterFile(
            DEST, tr("Destination folder (sources stay untouched)"), behavior=QgsProcessingParameterFile.Folder,
            optional=True))
        self.addParameter(QgsProcessingParameterEnum(
            COMPRESSION_NAME, tr("Compression of the levels"), options=list(COMPRESSION), optional=True,
            usesStaticStrings=True))
        for name, label in ((FORCE, tr("Rebuild levels the files already have")),
                            (EXTERNAL, tr("Levels into an external .ovr file")),
                            (COG, tr("Rewrite COGs as COGs with their levels"))):
            self.addParameter(QgsProcessingParameterBoolean(name, label, defaultValue=False))
        advanced = [
            QgsProcessingParameterNumber(JOBS, tr("Files at once (0: one per processor)"),
                                         QgsProcessingParameterNumber.Integer, defaultValue=0, minValue=0,
                                         maxValue=256),
            QgsProcessingParameterBoolean(
                CLASSIC, tr("Classic TIFF only (no BigTIFF, big-endian or new sample types)"), defaultValue=False),
            QgsProcessingParameterBoolean(
                FAIL_ON_ERROR, tr("Fail the run when a file is not done or the run is cancelled"),
                defaultValue=False),
        ]
        for parameter in advanced:
            parameter.setFlags(parameter.flags() | QgsProcessingParameterDefinition.FlagAdvanced)
            self.addParameter(parameter)
        # Optional, so that qgis_process runs without them; the dialogs still write them.
        self.addParameter(QgsProcessingParameterFileDestination(
            REPORT, tr("Report"), fileFilter="CSV (*.csv)", optional=True, createByDefault=True))
        # An HTML file is an HTML output, which the dialog shows in its results viewer.
        self.addParameter(QgsProcessingParameterFileDestination(
            SUMMARY, tr("Summary"), fileFilter="HTML (*.html *.htm)", optional=True, createByDefault=True))
        counts = {
            "done": tr("Files built"), "up to date": tr("Files up to date (they needed nothing)"),
            "kept": tr("Files kept as they were"), "failed": tr("Files failed"), "not found": tr("Files not found"),
            "busy": tr("Files busy"), "stopped": tr("Files stopped"), "not started": tr("Files not started"),
        }
        for outcome, name in OUTPUTS.items():
            self.addOutput(QgsProcessingOutputNumber(name, counts[outcome]))

    def checkParameterValues(self, parameters, context):
        if not any(parameters.get(name) for name in (LAYERS,) + PATH_INPUTS):
            return False, tr("Give at least one raster layer, TIFF file, folder or list file.")
        labels = {RESAMPLING_NAME: tr("Resampling"), COMPRESSION_NAME: tr("Compression of the levels")}
        for name, options in ENUMS.items():
            try:
                option_name(parameters.get(name), options)
            except ValueError:
                return False, tr("{0}: unknown value {1}; the values are: {2}.").format(
                    labels[name], parameters.get(name), ", ".join(options))
        # The command refuses the pair too, but in its own option names.
        if (self.parameterAsFile(parameters, DEST, context)
                and self.parameterAsBool(parameters, EXTERNAL, context)):
            return False, tr("Levels into an external .ovr file go beside the files themselves, "
                             "not with a destination folder.")
        rest = {name: value for name, value in parameters.items() if name not in ENUMS}
        return super().checkParameterValues(rest, context)

    def processAlgorithm(self, parameters, context, feedback):
        try:
            batch = self._find_batch()
        except BatchNotFound as error:
            raise QgsProcessingException(missing_batch(error))
        layer_files, refused = [], []
        for layer in self.parameterAsLayerList(parameters, LAYERS, context):
            path, why = _layer_file(layer)
            if path:
                layer_files.append(path)
            else:
                refused.append({"event": "file", "path": layer.name(), "outcome": "failed", "reason": why,
                                "qgis_reason": why})
        argv = command_line(
            batch,
            files=layer_files + self._paths(parameters, FILES, context),
            folders=self._paths(parameters, FOLDERS, context),
            lists=self._paths(parameters, LISTS, context),
            resampling=option_name(parameters.get(RESAMPLING_NAME), RESAMPLING) or RESAMPLING[0],
            dest=self.parameterAsFile(parameters, DEST, context),
            jobs=self.parameterAsInt(parameters, JOBS, context),
            classic=self.parameterAsBool(parameters, CLASSIC, context),
            compression=option_name(parameters.get(COMPRESSION_NAME), COMPRESSION),
            force=self.parameterAsBool(parameters, FORCE, context),
            external=self.parameterAsBool(parameters, EXTERNAL, context),
            cog=self.parameterAsBool(parameters, COG, context))
        report = self.parameterAsFileOutput(parameters, REPORT, context)
        summary = self.parameterAsFileOutput(parameters, SUMMARY, context)
        tally = Tally()
        for event in refused:
            tally.add(event)
            self._log_file(event, feedback)

        feedback.pushCommandInfo(tr("Running {0}").format(" ".join(shlex.quote(arg) for arg in argv)))
        run = BatchRun(argv, command_environment(QgsApplication.locale(), os.environ))
        for event in run.events(feedback.isCanceled, _idle):
            tally.add(event)
            kind = event.get("event")
            if kind == "plan":
                feedback.pushInfo(tr("Files: {0}").format(tally.planned))
                # The layers refused count among the files.
                tally.planned += len(refused)
            elif kind == "file":
                self._log_file(event, feedback)
            feedback.setProgress(tally.percent())

        counts = tally.counts()
        if tally.planned == len(refused):
            feedback.pushWarning(tr("No TIFF files to build: the layers, folders and list files name none."))
        # Stopped by a cancel here or by a signal from elsewhere, the command still
        # reports every file, so the outputs count what was done.
        if run.status == INTERRUPTED:
            feedback.pushWarning(tr("Stopped: {0} cut short, {1} not started; the files not done are unchanged.")
                                 .format(counts["stopped"], counts["not started"]))
        elif run.status not in SETTLED:
            raise QgsProcessingException(tr("kelvory-batch ended with status {0}: {1}").format(
                run.status, run.error_text()))
        results = {OUTPUTS[outcome]: counts[outcome] for outcome in OUTCOMES}
        if report:
            write_report(report, tally.files)
            results[REPORT] = report
            if context.project() is not None:
                context.addLayerToLoadOnCompletion(
                    report, QgsProcessingContext.LayerDetails(tr("Report"), context.project(), REPORT))
        if summary:
            self._write_summary(summary, counts, tally.files)
            results[SUMMARY] = summary
        if self.parameterAsBool(parameters, FAIL_ON_ERROR, context) and (run.status != 0 or refused):
            raise QgsProcessingException(tr("Not every file is done: {0}.").format(self._counted(counts)))
        return results

    def _paths(self, parameters, name, context):
        # An unset list comes back as one empty path.
        return [path for path in self.parameterAsFileList(parameters, name, context) if path]

    @staticmethod
    def _counted(counts):
        return ", ".join("{} {}".format(count, tr(OUTCOME_WORDS[outcome]))
                         for outcome, count in counts.items() if count)

    @staticmethod
    def _line(event):
        # The command's words for QGIS leave the path out of the reason.
        line = "{}: {}".format(tr(OUTCOME_WORDS.get(event["outcome"], event["outcome"])), shown(event["path"]))
        reason = event.get("qgis_reason", event.get("reason"))
        return line + ": " + shown(reason) if reason else line

    @classmethod
    def _log_file(cls, event, feedback):
        # One line per file: its outcome, its path and why.
        outcome = event["outcome"]
        line = cls._line(event)
        if outcome in ("done", "up to date"):
            before, after = event.get("levels_before"), event.get("levels_after")
            feedback.pushInfo("{} ({})".format(
                line, tr("levels {0} → {1}, {2:.1f} s").format(before, after, event.get("seconds") or 0)))
        elif outcome == "kept":
            feedback.pushInfo(line)
        elif outcome == "stopped":
            feedback.pushWarning(line)
        elif outcome != "not started":
            # Files never reached after a stop are many and in the report; the summary
            # counts them.
            feedback.reportError(line, False)

    def _write_summary(self, path, counts, files):
        rows = "".join("<tr><td>{}</td><td>{}</td></tr>".format(html.escape(tr(OUTCOME_WORDS[outcome])), count)
                       for outcome, count in counts.items() if count)
        undone = [event for event in files if event["outcome"] not in ("done", "up to date", "kept")]
        items = "".join("<li>{}</li>".format(html.escape(self._line(event))) for event in undone)
        with open(path, "w", encoding="utf-8") as page:
            page.write('<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>{0}</title></head><body>'
                       "<h2>{0}</h2><table>{1}</table>".format(html.escape(self.displayName()), rows))
            if undone:
                page.write("<h3>{}</h3><ul>{}</ul>".format(html.escape(tr("Files not done")), items))
            page.write("</body></html>\n")
