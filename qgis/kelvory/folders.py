"""The folders' field in the algorithm's dialogs: folder paths joined by ";", with a
button that adds one picked in a folder dialog. It passes each folder itself, which the
command then walks by its own rules."""

from qgis.core import QgsApplication, QgsSettings
from qgis.PyQt.QtWidgets import QFileDialog, QHBoxLayout, QLineEdit, QToolButton, QWidget

from processing.gui.wrappers import WidgetWrapper

from .texts import texts

SEPARATOR = ";"


class FolderListWrapper(WidgetWrapper):

    def createWidget(self, **kwargs):
        widget = QWidget()
        layout = QHBoxLayout(widget)
        layout.setContentsMargins(0, 0, 0, 0)
        self._edit = QLineEdit()
        self._edit.setPlaceholderText(SEPARATOR.join(["/maps/ortho", "/maps/topo"]))
        button = QToolButton()
        button.setText("…")
        button.setToolTip(texts(QgsApplication.locale())["add folder"])
        button.clicked.connect(self._add_folder)
        layout.addWidget(self._edit)
        layout.addWidget(button)
        return widget

    def _add_folder(self):
        settings = QgsSettings()
        start = settings.value("/Processing/LastInputPath", "")
        folder = QFileDialog.getExistingDirectory(self.widget, texts(QgsApplication.locale())["add folder"], start)
        if folder:
            settings.setValue("/Processing/LastInputPath", folder)
            self.setValue(self.value() + [folder])

    def setValue(self, value):
        if isinstance(value, str):
            value = [value] if value else []
        self._edit.setText(SEPARATOR.join(str(folder) for folder in value or []))

    def value(self):
        return [folder.strip() for folder in self._edit.text().split(SEPARATOR) if folder.strip()]
