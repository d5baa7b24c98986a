from qgis.core import QgsApplication

from .provider import KelvoryProvider


class KelvoryPlugin:

    def __init__(self):
        self.provider = None

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
