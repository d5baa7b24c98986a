"""The dialogs' field for the files, folders and list files: paths joined by ";", with a
button that adds more through a file or folder dialog. QGIS's own multiple-input field
would open every TIFF file given to it as a raster layer (which leaves NAME.tif.aux.xml
beside it) and expand a folder into every file below it, which the command is to walk
by its own rules."""

import os

from qgis.core import QgsSettings
from qgis.PyQt.QtWidgets import QFileDialog, QHBoxLayout, QLineEdit, QToolButton, QWidget

from processing.gui.wrappers import WidgetWrapper

from .texts import tr

SEPARATOR = ";"
FILTERS = {"files": "TIFF (*.tif *.tiff *.TIF *.TIFF);;*", "lists": "*.txt;;*"}


def _title(kind):
    return {"files": tr("Add TIFF files"), "folders": tr("Add a folder"), "lists": tr("Add list files")}[kind]


class PathListWrapper(WidgetWrapper):

    def createWidget(self, kind="files", **kwargs):
        self._kind = kind
        widget = QWidget()
        layout = QHBoxLayout(widget)
        layout.setContentsMargins(0, 0, 0, 0)
        self._edit = QLineEdit()
        self._edit.setPlaceholderText(tr("paths separated by ;"))
        button = QToolButton()
        button.setText("…")
        button.setToolTip(_title(kind))
        button.clicked.connect(self._add)
        layout.addWidget(self._edit)
        layout.addWidget(button)
        return widget

    def _add(self):
        settings = QgsSettings()
        start = settings.value("/Processing/LastInputPath", "")
        title = _title(self._kind)
        if self._kind == "folders":
            chosen = QFileDialog.getExistingDirectory(self.widget, title, start)
            chosen = [chosen] if chosen else []
        else:
            chosen = QFileDialog.getOpenFileNames(self.widget, title, start, FILTERS[self._kind])[0]
        if chosen:
            settings.setValue("/Processing/LastInputPath",
                              chosen[0] if self._kind == "folders" else os.path.dirname(chosen[0]))
            self.setValue(self.value() + chosen)

    def setValue(self, value):
        if isinstance(value, str):
            value = value.split(SEPARATOR)
        self._edit.setText(SEPARATOR.join(str(path) for path in value or [] if path))

    def value(self):
        return [path.strip() for path in self._edit.text().split(SEPARATOR) if path.strip()]
