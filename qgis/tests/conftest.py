import os
import sys

# The plugin's package, as QGIS imports it from its plugin folder.
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
