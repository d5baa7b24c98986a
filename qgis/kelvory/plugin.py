from qgis.core import QgsApplication
from qgis.PyQt.QtCore import QCoreApplication

from .provider import KelvoryProvider
from .texts import install_translator


class KelvoryPlugin:

    def __init__(self):
        self.provider = None
        self.translator = install_translator()

    def initProcessing(self):
        # QGIS calls this before initGui in the window; qgis_process calls only this.
        if self.provider is None:
            self.provider = KelvoryProvider()
            QgsApplication.processingRegistry().addProvider(self.provider)

    def initGui(self):
        self.initProcessing()

    def unload(self):
        if self.provider is not None:
            QgsApplication.processingRegistry().removeProvider(self.provider)
            self.provider = None
        if self.translator is not None:
            QCoreApplication.removeTranslator(self.translator)
            self.translator = None
