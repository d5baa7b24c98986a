import os

from qgis.core import QgsProcessingProvider
from qgis.PyQt.QtGui import QIcon

from processing.core.ProcessingConfig import ProcessingConfig, Setting

from .batch import BatchNotFound, find_batch, installed_folder
from .buildpyramids import BuildPyramids
from .texts import SETTING, missing_batch, tr

HERE = os.path.dirname(__file__)
# The Processing option that names the command; empty, the plugin looks for it.
BATCH_SETTING = "KELVORY_BATCH"


class KelvoryProvider(QgsProcessingProvider):

    def id(self):
        return "kelvory"

    def name(self):
        return "Kelvory"

    def icon(self):
        return QIcon(self.svgIconPath())

    def svgIconPath(self):
        return os.path.join(HERE, "icon.svg")

    def warningMessage(self):
        # Shown in the toolbox and atop the dialog, before anyone presses Run.
        try:
            self.find_batch()
        except BatchNotFound as error:
            return missing_batch(error)
        return ""

    def load(self):
        ProcessingConfig.settingIcons[self.name()] = self.icon()
        ProcessingConfig.addSetting(Setting(
            self.name(), BATCH_SETTING, tr(SETTING), "",
            valuetype=Setting.FILE))
        ProcessingConfig.readSettings()
        self.refreshAlgorithms()
        return True

    def unload(self):
        ProcessingConfig.removeSetting(BATCH_SETTING)

    def loadAlgorithms(self):
        self.addAlgorithm(BuildPyramids(self.find_batch))

    @staticmethod
    def find_batch():
        return find_batch(ProcessingConfig.getSetting(BATCH_SETTING), HERE,
                          installed_folder=installed_folder())
