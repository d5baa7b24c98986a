"""The plugin's words. English stands in the code; other languages come from Qt's
translation files, i18n/kelvory_LANG.qm, built from qgis/i18n/kelvory_LANG.ts, and are
chosen by QGIS's own language."""

import os

from qgis.core import QgsApplication
from qgis.PyQt.QtCore import QCoreApplication, QTranslator

CONTEXT = "Kelvory"


def tr(text):
    return QCoreApplication.translate(CONTEXT, text)


def later(text):
    """Marks words that are kept as they are and translated with tr() where they are shown."""
    return text


def language():
    return QgsApplication.locale()[:2].lower()


def install_translator():
    """The plugin's translator for QGIS's language, installed; None for English. Keep it
    while the plugin is loaded, and remove it on unload."""
    translator = QTranslator()
    words = os.path.join(os.path.dirname(__file__), "i18n", "kelvory_{}.qm".format(language()))
    if language() == "en" or not translator.load(words):
        return None
    QCoreApplication.installTranslator(translator)
    return translator


SETTING = later("kelvory-batch command (empty: the installed Kelvory's, else the first on the PATH)")

HELP = (
    later("Builds overview pyramids (levels of reduced resolution) inside TIFF files with Kelvory's "
          "kelvory-batch, which runs GDAL's gdaladdo on several files at once."),
    later("“Raster layers” takes the project's raster layers that are files; a layer that is not a file on "
          "disk is refused with its reason. “TIFF files”, “Folders” and “List files” name files by their paths: "
          "a folder adds every .tif and .tiff file below it, in every subfolder; a list file holds one path per "
          "line, a relative one taken from the list's own folder. In the dialog a field takes several paths, "
          "separated by semicolons."),
    later("Without a destination folder every file is updated in place through a temporary copy that replaces "
          "it only when gdaladdo has finished. With one, each file is copied there (files from a folder keep "
          "their subfolders) and only the copy gets the levels; a copy there that is newer than its source and "
          "has its levels is only checked. A file that already has enough levels is left as it is, unless "
          "“Rebuild levels the files already have” is set, which builds every level anew with the chosen "
          "resampling."),
    later("A file with an external .ovr, a read-only file and a file with other hard links are kept as they are "
          "in place, with the reason in the log; so is a Cloud Optimized GeoTIFF unless “Rewrite COGs as COGs "
          "with their levels” is set, which writes it anew as a COG with its levels (a COG's copy in a "
          "destination folder always is one). “Levels into an external .ovr file” writes the levels into "
          "NAME.tif.ovr and leaves the file itself untouched; not with a destination folder, and a file that has "
          "levels inside it is kept."),
    later("“Resampling” takes GDAL's names: average or cubic for imagery, nearest or mode for classified "
          "rasters. “Compression of the levels” is gdaladdo's COMPRESS_OVERVIEW; unset, levels inside a file "
          "take the file's own compression, those in a .ovr none."),
    later("Cancel stops the build safely: the running tools are ended and their copies removed; files not done "
          "stay exactly as they were. Run again to build the rest."),
    later("The outputs count the files by outcome. The report is a table (CSV) with one row per file: path, "
          "outcome, reason, reason code, levels before and after, seconds; the dialog opens it as a layer. The "
          "summary (HTML) gives the counts and the files not done with their reasons. With “Fail the run when a "
          "file is not done or the run is cancelled”, such a run ends as failed, and qgis_process exits with a "
          "status other than 0."),
)

# The outcomes' words, by the command's names for them.
OUTCOME_WORDS = {
    "done": later("done"), "up to date": later("up to date"), "kept": later("kept"),
    "failed": later("failed"), "not found": later("not found"), "busy": later("busy"),
    "stopped": later("stopped"), "not started": later("not started"),
}


def missing_batch(error):
    """Why no kelvory-batch runs, in terms of the setting that chooses it."""
    setting = tr("Settings ▸ Options ▸ Processing ▸ Providers ▸ Kelvory ▸ “{0}”").format(
        tr(SETTING).split(" (")[0])
    if error.chosen:
        return tr("kelvory-batch was not found: the command {1}, chosen in {0}, does not exist or cannot be "
                  "run.").format(setting, error.chosen)
    looked = tr("in {0}, nor ").format(tr(", in ").join(error.places)) if error.places else ""
    return tr("kelvory-batch was not found: {0} is empty, and there is none {1}on the PATH. Install Kelvory, "
              "or choose the command there.").format(setting, looked)
